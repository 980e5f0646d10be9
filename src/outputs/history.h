#pragma once

// The call history as an output: every caller event the console decodes, and the
// identifications, hook/ring readings and call ends around them, kept (src/history/) so
// that "who called on line 2 this morning?" has an answer after the window has closed.
//
// The console's thread only hands events over to the history's writer. A history output
// is durable: it says which events are committed, so the monitor prints a call only then
// and a killed monitor never printed a call the history does not have. A disk that
// refuses a write stops the history with one message; the console goes on, and a failed
// transaction leaves nothing half-written.

#include "output.h"
#include "registry.h"

#include "history/store.h"

#include <QObject>
#include <QString>
#include <deque>
#include <memory>

namespace dialkite {

// Where a front end keeps its history: the window's settings ([HISTORY] FILE, RECORD=0),
// a monitor's --history, a collector's --history (its own by default). `retry`: a refused
// write is tried again until it goes in (a collector's publishers keep what it has not
// confirmed) rather than stopping the history.
struct HistoryPlan {
    QString path;
    bool retry = false;
};
OutputKind historyKind();

// One console's events into a history, or (a collector) the events other consoles
// published, each stored once however often it arrives (by its id).
class HistoryOutput : public Output {
    Q_OBJECT
public:
    // `box`: the box's name in a rig, stored with every row ("" for a lone box).
    HistoryOutput(std::shared_ptr<HistoryStore> store, const QString &box,
                  QObject *parent = nullptr);
    HistoryOutput(const QString &path, const QString &box = {}, QObject *parent = nullptr);
    ~HistoryOutput() override;

    // Whether it takes more events from other consoles now: not while too many wait for a
    // disk that refuses them (their publishers keep them and send them again). From any
    // thread.
    bool accepting() const;

    void consume(const Event &event) override;
    QString finish(QDeadlineTimer deadline) override;
    bool durable() const override { return true; }
    quint64 committedCount() const override;

    bool stopped() const { return m_stopped; }
    const QString &path() const;

Q_SIGNALS:
    // After a commit: how far a publisher's events of a box are stored without a gap.
    void stored(const dialkite::Stored &stored);
    // The history was replaced under the writer (deleted, renamed over) and opened anew.
    void replaced();

private:
    void onCommitted(qint64 count);
    void onStopped(const QString &message);
    // The row an event leaves, or nothing for an event the history does not keep.
    std::optional<EventRow> rowOf(const Event &event);

    std::shared_ptr<HistoryStore> m_store;
    int m_origin = 0;
    QString m_box;
    QString m_port;
    QString m_device;
    QString m_deviceName;
    QString m_deviceVersion;
    VariantId m_variant;
    quint64 m_given = 0;
    std::deque<quint64> m_pending; // the numbers (1-based) of the events handed over
    bool m_stopped = false;
};

} // namespace dialkite
