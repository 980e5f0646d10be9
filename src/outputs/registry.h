#pragma once

// Every kind of output a front end can run, each declared once: its name, its settings
// section and keys, the environment variables and command-line options that stand for
// them, how its part of a plan is read from the configuration, what it starts before the
// first box, how it is built for a box, where it sits in a set and how its news is shown.
// The factory, the command line's options and help and the window's news read this; a new
// kind is its file pair and one entry in the registry's list (or, for a test, add()).

#include "output.h"

#include "console/cmdline.h"
#include "console/config.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <any>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace dialkite {

// The program whose outputs are planned.
enum class FrontEnd { Desktop, Monitor, Collector };

// What a front end gives the outputs it builds.
struct OutputHooks {
    // A line for standard output (the monitor's and the collector's event lines).
    std::function<void(const QByteArray &line, const Event &event)> printLine;
    // Calls were stored (the window's history window shows them).
    std::function<void()> callsStored;
    // A call came, with its caller's name: the window tells the desktop
    // ([NOTIFY] DESKTOP=0 turns it off).
    std::function<void(const events::CallerId &call)> callArrived;
};

// What each kind asks for, in the kind's own type, and what the plan could not have.
class OutputPlan {
public:
    template <typename Part> void set(const QString &kind, Part part)
    {
        m_parts[kind] = std::move(part);
    }
    template <typename Part> const Part *get(const QString &kind) const
    {
        const auto at = m_parts.find(kind);
        return at == m_parts.end() ? nullptr : std::any_cast<Part>(&at->second);
    }
    bool has(const QString &kind) const { return m_parts.count(kind) > 0; }
    void remove(const QString &kind) { m_parts.erase(kind); }

    // What the settings asked for that could not be had, for the operator.
    QStringList problems;
    OutputHooks hooks;

private:
    std::map<QString, std::any> m_parts;
};

// What the kinds share among the boxes of a process (a writer thread, a connection, a
// server), made by the first box that needs it.
class SharedOutputs {
public:
    template <typename Thing>
    std::shared_ptr<Thing> get(const QString &key,
                               const std::function<std::shared_ptr<Thing>()> &make)
    {
        auto &slot = m_things[key];
        if (!slot)
            slot = make();
        return std::static_pointer_cast<Thing>(slot);
    }
    template <typename Thing> std::shared_ptr<Thing> find(const QString &key) const
    {
        const auto at = m_things.find(key);
        return at == m_things.end() ? nullptr : std::static_pointer_cast<Thing>(at->second);
    }

private:
    std::map<QString, std::shared_ptr<void>> m_things;
};

// Where an output sits in a set.
enum class OutputRole {
    Durable,  // keeps events where a killed program finds them; followers wait for it
    Direct,   // takes each event at once
    Follower, // takes an event once every durable output has it
};

// How the operator hears of an output's news: a message box of the window when `title`
// is set, and a line on standard error for the command line (and the window otherwise).
struct NewsShown {
    QString title;
    QString text; // the box's message; the news itself goes into its details
    QString line;
};

// A command-line option and the commands it is for ("monitor", "collect").
struct KindOption {
    QStringList commands;
    cmdline::Option option;
};

struct OutputKind {
    QString name;
    QString section; // its section of the settings file ("" for none)
    QStringList keys;
    QList<Config::Environment> environment;
    QList<KindOption> options;
    OutputRole role = OutputRole::Direct;
    // Reads the kind's part of the plan (plan->set(name, ...)) when the configuration asks
    // for it. A setting that cannot be had goes to plan->problems (the window says so and
    // goes on); a command line's mistake to `error`, and false.
    std::function<bool(const Config &, FrontEnd, OutputPlan *, QString *error)> read;
    // Starts what the kind shares before the first box (a page binds its port): `said`
    // for the operator; false and `error` when it cannot.
    std::function<bool(const OutputPlan &, SharedOutputs &, QString *said, QString *error)> start;
    // The kind's output for one box ("" for a lone box); none when the plan has no part
    // of it.
    std::function<std::unique_ptr<Output>(const OutputPlan &, SharedOutputs &, const QString &box)>
        build;
    // How its news is shown; a line "NAME: news" and no box when not given.
    std::function<NewsShown(Severity, const QString &)> news;
};

class OutputRegistry {
public:
    // Every kind, the built-in ones first, in the order a set takes them.
    static OutputRegistry &instance();

    // A kind of its own (a test's); false when one of that name is there.
    bool add(OutputKind kind);
    const std::vector<OutputKind> &kinds() const { return m_kinds; }
    const OutputKind *find(const QString &name) const;

    // The options the kinds give `command`.
    QList<cmdline::Option> options(const QString &command) const;
    // Every setting an environment variable stands for.
    QList<Config::Environment> environment() const;
    // How the news of the output `name` is shown.
    NewsShown news(const QString &name, Severity severity, const QString &text) const;

private:
    OutputRegistry();
    std::vector<OutputKind> m_kinds;
};

// The outputs a front end runs, as the configuration asks; nothing (and `error`) for a
// mistake of the command line.
std::optional<OutputPlan> planOutputs(const Config &config, FrontEnd frontEnd, OutputHooks hooks,
                                      QString *error);

} // namespace dialkite
