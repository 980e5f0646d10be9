#pragma once

// dialkite-cli collect: every box's events from the broker into one call history.

#include "outputs/mqtt.h"

#include <QString>

namespace dialkite::cli {

// Runs until SIGINT or SIGTERM; the exit status.
int runCollector(const MqttTarget &target, const QString &historyFile);

} // namespace dialkite::cli
