#include "registry.h"

#include "action.h"

#include "capture.h"
#include "discovery.h"
#include "history.h"
#include "json.h"
#include "mqtt.h"
#include "page.h"
#include "windowfeed.h"

namespace dialkite {

OutputRegistry::OutputRegistry()
    // Durable ones first: the followers after them wait for what they keep.
    : m_kinds{captureKind(),   historyKind(),    mqttKind(),   linesKind(), pageKind(),
              discoveryKind(), windowFeedKind(), actionKind(), notifyKind()}
{}

OutputRegistry &OutputRegistry::instance()
{
    static OutputRegistry registry;
    return registry;
}

bool OutputRegistry::add(OutputKind kind)
{
    if (find(kind.name))
        return false;
    m_kinds.push_back(std::move(kind));
    return true;
}

const OutputKind *OutputRegistry::find(const QString &name) const
{
    for (const OutputKind &kind : m_kinds) {
        if (kind.name == name)
            return &kind;
    }
    return nullptr;
}

QList<cmdline::Option> OutputRegistry::options(const QString &command) const
{
    QList<cmdline::Option> options;
    for (const OutputKind &kind : m_kinds) {
        for (const KindOption &option : kind.options) {
            if (option.commands.contains(command))
                options << option.option;
        }
    }
    return options;
}

QList<Config::Environment> OutputRegistry::environment() const
{
    QList<Config::Environment> environment;
    for (const OutputKind &kind : m_kinds)
        environment += kind.environment;
    return environment;
}

NewsShown OutputRegistry::news(const QString &name, Severity severity, const QString &text) const
{
    const OutputKind *kind = find(name);
    if (kind && kind->news)
        return kind->news(severity, text);
    return {{}, {}, name + QStringLiteral(": ") + text};
}

std::optional<OutputPlan> planOutputs(const Config &config, FrontEnd frontEnd, OutputHooks hooks,
                                      QString *error)
{
    OutputPlan plan;
    plan.hooks = std::move(hooks);
    for (const OutputKind &kind : OutputRegistry::instance().kinds()) {
        if (kind.read && !kind.read(config, frontEnd, &plan, error))
            return std::nullopt;
    }
    return plan;
}

} // namespace dialkite
