#pragma once

// One configuration value for a program: every setting it reads, built in one fixed
// order (defaults, then the settings file, then the environment, then the command line),
// each later source over the earlier ones. Names match regardless of case, as in the
// settings file.

#include "cmdline.h"
#include "settings.h"

#include <QString>
#include <map>
#include <optional>

namespace dialkite {

class Config {
public:
    enum class Source { Default, File, Environment, CommandLine };

    // A setting an environment variable stands for.
    struct Environment {
        QString section;
        QString key;
        const char *variable;
    };

    Config() = default;
    // The settings file's values, then `environment`'s variables that are set, then the
    // command line's values of `options` that stand for a setting.
    static Config build(const Profile &file, const QList<Environment> &environment,
                        const QList<cmdline::Option> &options = {},
                        const cmdline::Arguments &arguments = {});

    void set(Source source, const QString &section, const QString &key, const QString &value);
    // The value from the latest source that gives one ("" when none does).
    QString value(const QString &section, const QString &key) const;
    std::optional<Source> source(const QString &section, const QString &key) const;
    // Whether the command line gave this setting.
    bool given(const QString &section, const QString &key) const
    {
        return source(section, key) == Source::CommandLine;
    }
    // The value of one source only ("" when that source does not give one).
    QString valueFrom(Source source, const QString &section, const QString &key) const;

    // The settings file as read, for what is read whole (a section of port devices).
    const Profile &file() const { return m_file; }
    // Where the settings file is ("" when there is none).
    QString settingsPath;

private:
    static QString keyOf(const QString &section, const QString &key);

    Profile m_file;
    std::map<QString, std::map<Source, QString>> m_values;
};

} // namespace dialkite
