#pragma once

// dialkite-cli monitor: the console's core on a real serial port, without a window.
// It answers the box as the console does and prints one JSON object a line for each
// event: the port opened, a caller-ID row written, the box's identification, its
// hook/ring setting, the end of a call dialled from the console.

#include <QString>

namespace dialkite::cli {

struct MonitorOptions {
    QString device; // a device path, or
    int port = 0;   // a port number mapped through the settings file
    int variant = 1;
    bool identify = false; // send the identification request first
    QString settingsPath;
    int count = 0;   // stop after this many caller-ID rows; 0: run until stopped
    QString capture; // write the session to this capture file
    QString history; // store every event in this call history
};

// Runs until stopped (SIGINT, SIGTERM, `count` rows) and returns the exit status:
// 0 when stopped, 1 when the port could not be opened or went away.
int runMonitor(const MonitorOptions &options);

} // namespace dialkite::cli
