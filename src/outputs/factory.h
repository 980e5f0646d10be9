#pragma once

// The one place that builds outputs: what the plan asks of each kind in the registry. A
// front end asks for a console's outputs once and connects the event stream to them once:
//
//     OutputFactory factory(*planOutputs(config, FrontEnd::Monitor, hooks, &error));
//     factory.start(&error);
//     auto outputs = factory.build(boxName);
//     connect(&console, &Console::observed, outputs.get(), &OutputSet::consume);
//
// Outputs that write on a thread of their own share it between every box the factory
// builds for (one capture writer, one history writer a file, one broker connection, one
// page).

#include "output.h"
#include "registry.h"

#include "console/settings.h"

#include <QString>
#include <QStringList>
#include <memory>

namespace dialkite {

// The window's plan from its settings file: capture and history on unless the settings
// turn them off ([CAPTURE], [HISTORY]); publishing when [MQTT] URL names a broker.
OutputPlan desktopPlan(const Profile &settings, OutputHooks hooks = {});

class OutputFactory {
public:
    explicit OutputFactory(OutputPlan plan);
    ~OutputFactory();

    // Starts what the kinds share before the first box (a page binds its port); false
    // (and `error`) when one cannot. build() starts them itself when not asked to first.
    bool start(QString *error);
    // What the start had to say to the operator ("the page is on ...").
    const QStringList &said() const { return m_said; }

    // The outputs of one console; `box` is its name in a rig ("" for a lone box).
    std::unique_ptr<OutputSet> build(const QString &box = {});
    const OutputPlan &plan() const { return m_plan; }
    SharedOutputs &shared() { return m_shared; }

private:
    OutputPlan m_plan;
    SharedOutputs m_shared;
    QStringList m_said;
    bool m_started = false;
};

} // namespace dialkite
