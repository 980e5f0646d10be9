#pragma once

// The window's history window hears of every call once the history has stored it, so
// that it shows new calls while it is open.

#include "output.h"
#include "registry.h"

#include <functional>

namespace dialkite {

OutputKind windowFeedKind();

class WindowFeedOutput : public Output {
    Q_OBJECT
public:
    explicit WindowFeedOutput(std::function<void()> callsStored, QObject *parent = nullptr);
    void consume(const Event &event) override;
    QString finish(QDeadlineTimer) override { return {}; }

private:
    std::function<void()> m_callsStored;
};

} // namespace dialkite
