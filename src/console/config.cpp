#include "config.h"

namespace dialkite {

QString Config::keyOf(const QString &section, const QString &key)
{
    return section.trimmed().toUpper() + u'/' + key.trimmed().toUpper();
}

Config Config::build(const Profile &file, const QList<Environment> &environment,
                     const QList<cmdline::Option> &options, const cmdline::Arguments &arguments)
{
    Config config;
    config.m_file = file;
    for (const auto &[section, key, variable] : environment) {
        if (const QString value = qEnvironmentVariable(variable); !value.isEmpty())
            config.set(Source::Environment, section, key, value);
    }
    for (const cmdline::Option &option : options) {
        if (!option.key.isEmpty() && arguments.has(option.name))
            config.set(Source::CommandLine, option.section, option.key,
                       arguments.value(option.name));
    }
    return config;
}

void Config::set(Source source, const QString &section, const QString &key, const QString &value)
{
    m_values[keyOf(section, key)][source] = value;
}

std::optional<Config::Source> Config::source(const QString &section, const QString &key) const
{
    const auto at = m_values.find(keyOf(section, key));
    const bool stored = at != m_values.end() && !at->second.empty();
    if (stored && at->second.rbegin()->first > Source::File)
        return at->second.rbegin()->first;
    if (!m_file.value(section, key).isEmpty())
        return Source::File;
    return stored ? std::optional(Source::Default) : std::nullopt;
}

QString Config::value(const QString &section, const QString &key) const
{
    const auto at = m_values.find(keyOf(section, key));
    if (at != m_values.end() && !at->second.empty() && at->second.rbegin()->first > Source::File)
        return at->second.rbegin()->second;
    if (const QString fromFile = m_file.value(section, key); !fromFile.isEmpty())
        return fromFile;
    return at == m_values.end() || at->second.empty() ? QString() : at->second.begin()->second;
}

QString Config::valueFrom(Source source, const QString &section, const QString &key) const
{
    if (source == Source::File)
        return m_file.value(section, key);
    const auto at = m_values.find(keyOf(section, key));
    if (at == m_values.end())
        return {};
    const auto value = at->second.find(source);
    return value == at->second.end() ? QString() : value->second;
}

} // namespace dialkite
