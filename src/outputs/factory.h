#pragma once

// The one place that decides which outputs a front end runs and where they write: from
// the settings profile and the command line's overrides. A front end asks for a
// console's outputs once and connects the event stream to them once:
//
//     OutputFactory factory(plan);
//     auto outputs = factory.build(boxName);
//     connect(&console, &Console::observed, outputs.get(), &OutputSet::consume);
//
// Outputs that write on a thread of their own share it between every box the factory
// builds for (one capture writer, one history writer a file, one broker connection).
// A new output is its file pair plus one entry in build().

#include "capture.h"
#include "history.h"
#include "json.h"
#include "mqtt.h"
#include "output.h"

#include "console/settings.h"
#include "history/location.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace dialkite {

struct OutputPlan {
    std::optional<CaptureOptions> capture;
    std::optional<QString> history; // the file
    std::optional<MqttTarget> mqtt;
    QString spool;   // where events wait for the broker
    QString mqttBox; // the MQTT name of a console that has none of its own
    // Each event printed once the durable outputs have it (the monitor's lines).
    json::LinesOutput::Sink printer;
    // What the settings asked for that could not be had, for the operator.
    QStringList problems;
};

// What the command line says, over the settings file.
struct OutputOverrides {
    QString captureFile;
    QString historyFile;
    QString mqttUrl;
    QString spool;
    QString clientId;
    QString confirm; // "collector", "broker", or "" for what the settings file says
};

// The window's: capture and history on unless the settings file turns them off
// ([CAPTURE], [HISTORY]); publishing when [MQTT] URL names a broker.
OutputPlan desktopPlan(const Profile &settings);
// The command line's: only what it asks for; credentials come from the settings file
// and the environment. Nothing (and `error`) when an override is unusable.
std::optional<OutputPlan> commandLinePlan(const Profile &settings, const OutputOverrides &overrides,
                                          QString *error);

// Where the desktop keeps captures unless told otherwise.
QString defaultCaptureFolder();

class OutputFactory {
public:
    explicit OutputFactory(OutputPlan plan);
    ~OutputFactory();

    // The outputs of one console; `box` is its name in a rig ("" for a lone box).
    std::unique_ptr<OutputSet> build(const QString &box = {});
    const OutputPlan &plan() const { return m_plan; }

private:
    OutputPlan m_plan;
    std::shared_ptr<CaptureWriter> m_captureWriter;
    std::shared_ptr<HistoryStore> m_historyStore;
    std::shared_ptr<MqttLink> m_mqttLink;
};

} // namespace dialkite
