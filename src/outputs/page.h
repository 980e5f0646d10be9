#pragma once

// The fleet page as an output: each box's events for the page's live feed and board once
// they are kept, and whether its console runs (a monitor's port opened or lost, a
// collector's retained statuses). One page serves every box of a process.

#include "output.h"
#include "registry.h"
#include "web.h"

#include <memory>

namespace dialkite {

// --http [ADDR:]PORT on a monitor or a collector, reading the history they write; its
// token from [HTTP] TOKEN or DIALKITE_HTTP_TOKEN.
OutputKind pageKind();

class PageOutput : public Output {
    Q_OBJECT
public:
    // `box`: the box as the page names it ("" for a lone box: "box").
    PageOutput(std::shared_ptr<WebServer> server, const QString &box, QObject *parent = nullptr);
    void consume(const Event &event) override;
    QString finish(QDeadlineTimer) override { return {}; }

private:
    std::shared_ptr<WebServer> m_server;
    QString m_box;
};

} // namespace dialkite
