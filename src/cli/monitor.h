#pragma once

// dialkite-cli monitor: the console's core on real serial ports, without a window. It
// answers each box as the console does and prints one JSON object a line for each
// event: the port opened, a caller-ID row written, the box's identification, its
// hook/ring setting, the end of a call dialled from the console.
//
// One box (--device or --port), or a rig of several in one process (--box repeated, or
// --rig FILE): every line then names its box, and a box that fails or goes away is
// reported and opened again after a growing delay while the others go on.

#include "outputs/registry.h"

#include <QList>
#include <QString>
#include <optional>

namespace dialkite::cli {

struct BoxSpec {
    QString name;   // "" for the single box of the classic options
    QString device; // a device path, or
    int port = 0;   // a port number mapped through the settings file
    int variant = 1;
    bool identify = false; // send the identification request first
};

struct MonitorOptions {
    BoxSpec box;        // the single box
    QList<BoxSpec> rig; // or these
    QString settingsPath;
    int count = 0; // stop after this many caller-ID rows in all; 0: run until stopped
};

// "NAME=DEVICE_OR_COMn[:VARIANT]"; nothing (and `error`) when it is not one.
std::optional<BoxSpec> parseBoxSpec(const QString &text, QString *error);
// The boxes of a rig file: one section a box, DEVICE= or PORT=, VARIANT=, IDENTIFY=1.
QList<BoxSpec> parseRigFile(const QByteArray &content, QString *error);

// Runs until stopped (SIGINT, SIGTERM, `count` rows) and returns the exit status:
// 0 when stopped; for a single box 1 when its port could not be opened or went away.
// `plan`: the outputs every box's events go to (the printed lines are the monitor's own).
int runMonitor(const MonitorOptions &options, OutputPlan plan);

} // namespace dialkite::cli
