#pragma once

// dialkite-cli collect: every box's events from the broker into one call history.

#include "outputs/mqtt.h"
#include "outputs/web.h"

#include <QString>

namespace dialkite::cli {

// Runs until SIGINT or SIGTERM; the exit status. `web`: the page to serve, if any.
// `discovery`: Home Assistant's discovery prefix ("" for none).
int runCollector(const MqttTarget &target, const QString &historyFile, const WebOptions *web,
                 const QString &discovery);

} // namespace dialkite::cli
