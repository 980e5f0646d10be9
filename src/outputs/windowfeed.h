#pragma once

// The window's history window hears of every call once the history has stored it, so
// that it shows new calls while it is open.

#include "output.h"
#include "registry.h"

#include <functional>

namespace dialkite {

OutputKind windowFeedKind();
// Each call at once, with its name, to the window's hook (for its log and the desktop's
// notifications); the plan's part says whether the desktop is told: yes unless
// [NOTIFY] DESKTOP=0.
OutputKind notifyKind();

class WindowFeedOutput : public Output {
    Q_OBJECT
public:
    explicit WindowFeedOutput(std::function<void()> callsStored, QObject *parent = nullptr);
    void consume(const Event &event) override;
    QString finish(QDeadlineTimer) override { return {}; }

private:
    std::function<void()> m_callsStored;
};

class NotifyOutput : public Output {
    Q_OBJECT
public:
    explicit NotifyOutput(std::function<void(const events::CallerId &)> callArrived,
                          QObject *parent = nullptr);
    void consume(const Event &event) override;
    QString finish(QDeadlineTimer) override { return {}; }

private:
    std::function<void(const events::CallerId &)> m_callArrived;
};

} // namespace dialkite
