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

#include "intake.h"
#include "output.h"

#include "history/store.h"

#include <QObject>
#include <QString>
#include <deque>
#include <memory>

namespace dialkite {

// One console's events into a history.
class HistoryOutput : public Output {
    Q_OBJECT
public:
    // `box`: the box's name in a rig, stored with every row ("" for a lone box).
    HistoryOutput(std::shared_ptr<HistoryStore> store, const QString &box,
                  QObject *parent = nullptr);
    HistoryOutput(const QString &path, const QString &box = {}, QObject *parent = nullptr);
    ~HistoryOutput() override;

    void consume(const Event &event) override;
    QString finish(QDeadlineTimer deadline) override;
    bool durable() const override { return true; }
    quint64 committedCount() const override;

    bool stopped() const { return m_stopped; }
    const QString &path() const;

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

// A history fed with events other consoles published (the collector): each is stored
// once, however often it arrives (by its id). A refused write is tried again until it
// goes in; stored() says, after each commit, how far each publisher's events are kept
// without a gap. store() may be called from any thread.
class RemoteHistory : public QObject {
    Q_OBJECT
public:
    explicit RemoteHistory(const QString &path, QObject *parent = nullptr);
    ~RemoteHistory() override;
    // An event that passed acceptPublished(). False when it is not taken now (too many
    // wait for a disk that refuses them): its publisher keeps it and sends it again.
    bool store(const Intake &intake);
    void flush();

Q_SIGNALS:
    void news(dialkite::Severity severity, const QString &message);
    void stored(const dialkite::Stored &stored);
    // The next `count` events taken by store() are committed.
    void committed(qint64 count);

private:
    std::shared_ptr<HistoryStore> m_store;
    int m_origin = 0;
};

} // namespace dialkite
