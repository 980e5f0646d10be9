#include "windowfeed.h"

namespace dialkite {

namespace {

// Constant at compile time: the registry is made during static initialisation.
constexpr QLatin1StringView kWindowFeed("history-window");

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
