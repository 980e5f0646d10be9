#include "termination.h"

#include <QCoreApplication>
#include <QTimer>
#include <atomic>
#include <csignal>

namespace dialkite {

namespace {

std::atomic<bool> requested = false;

void notify(int)
{
    requested = true;
}

} // namespace

// Without socket pairs the event loop looks at a flag the handler sets, ten times a
// second.
void onTerminationSignal(std::function<void()> handler)
{
    auto *poll = new QTimer(QCoreApplication::instance());
    QObject::connect(poll, &QTimer::timeout, poll, [handler] {
        if (requested.exchange(false))
            handler();
    });
    poll->start(100);
    std::signal(SIGINT, notify);
    std::signal(SIGTERM, notify);
}

} // namespace dialkite
