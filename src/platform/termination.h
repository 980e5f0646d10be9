#pragma once

#include <functional>

namespace dialkite {

// Calls `handler` from the event loop when the process receives SIGINT or SIGTERM, so
// that a command-line program ends through its normal path. Needs a QCoreApplication.
void onTerminationSignal(std::function<void()> handler);

} // namespace dialkite
