#include "windowfeed.h"

namespace dialkite {

namespace {

// Constant at compile time: the registry is made during static initialisation.
constexpr QLatin1StringView kWindowFeed("history-window");
constexpr QLatin1StringView kNotify("notify");

} // namespace

WindowFeedOutput::WindowFeedOutput(std::function<void()> callsStored, QObject *parent)
    : Output(kWindowFeed, parent)
    , m_callsStored(std::move(callsStored))
{}

void WindowFeedOutput::consume(const Event &event)
{
    if (std::holds_alternative<events::CallerId>(event))
        m_callsStored();
}

NotifyOutput::NotifyOutput(std::function<void(const events::CallerId &)> callArrived,
                           QObject *parent)
    : Output(kNotify, parent)
    , m_callArrived(std::move(callArrived))
{}

void NotifyOutput::consume(const Event &event)
{
    if (const auto *call = std::get_if<events::CallerId>(&event))
        m_callArrived(*call);
}

OutputKind notifyKind()
{
    OutputKind kind;
    kind.name = kNotify;
    kind.section = QStringLiteral("NOTIFY");
    kind.keys = {QStringLiteral("DESKTOP")};
    // At once, not after the history: a notification is for now.
    kind.role = OutputRole::Direct;
    kind.read = [](const Config &config, FrontEnd frontEnd, OutputPlan *plan, QString *) {
        // The part: whether the desktop is told (the window shows names either way).
        if (frontEnd == FrontEnd::Desktop)
            plan->set(kNotify,
                      config.value(QStringLiteral("NOTIFY"), QStringLiteral("DESKTOP")) != u"0");
        return true;
    };
    kind.build = [](const OutputPlan &plan, SharedOutputs &,
                    const QString &) -> std::unique_ptr<Output> {
        if (!plan.hooks.callArrived || !plan.has(kNotify))
            return nullptr;
        return std::make_unique<NotifyOutput>(plan.hooks.callArrived);
    };
    return kind;
}

OutputKind windowFeedKind()
{
    OutputKind kind;
    kind.name = kWindowFeed;
    kind.role = OutputRole::Follower;
    // Whenever the window asks for it and keeps a history.
    kind.build = [](const OutputPlan &plan, SharedOutputs &,
                    const QString &) -> std::unique_ptr<Output> {
        if (!plan.hooks.callsStored || !plan.has(QStringLiteral("history")))
            return nullptr;
        return std::make_unique<WindowFeedOutput>(plan.hooks.callsStored);
    };
    return kind;
}

} // namespace dialkite
