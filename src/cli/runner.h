#pragma once

// Runs a scenario on the console's core with a recording link and view, and reports
// the screen and the wire as JSON.

#include "scenario/script.h"

#include "console/console.h"
#include "console/recording.h"

#include <QByteArray>
#include <optional>

namespace dialkite::cli {

using scenario::Script;
using scenario::Step;

// What one step does to `console`, whose link is `link`: the box's bytes arrive, or the
// operator confirms a dialog.
void runStep(Console &console, RecordingLink &link, const Step &step);
// What an operator's step does to `console`, whatever its link (a real box's too).
void runOperatorStep(Console &console, const Step &step);

class ScenarioRunner {
public:
    explicit ScenarioRunner(const QString &settingsPath);

    void run(const QList<Step> &steps);
    // Runs the steps and compares every byte the core writes with the script's tx
    // lines; the first difference as "line N: expected ..., wrote ...", or nothing.
    std::optional<QString> runChecked(const QList<Step> &steps);
    QByteArray json() const;

    Console &console() { return m_console; }
    RecordingLink &link() { return m_link; }

private:
    Settings m_settings;
    RecordingLink m_link;
    RecordingView m_view;
    Console m_console;
};

} // namespace dialkite::cli
