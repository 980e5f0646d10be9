#pragma once

// Runs a scenario on the console's core with a recording link and view, and reports
// the screen and the wire as JSON.

#include "script.h"

#include "console/console.h"
#include "console/recording.h"

#include <QByteArray>

namespace dialkite::cli {

class ScenarioRunner {
public:
    explicit ScenarioRunner(const QString &settingsPath);

    void run(const QList<Step> &steps);
    void runStep(const Step &step);
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
