#pragma once

// What a test station's page shows, kept as the boxes' runs go: each box's identification,
// the step it is at, since when, the steps it has done with their measured times, the
// question it waits on, its verdict; and the runs that ended with their reports. The box
// threads tell it, the page's threads read it; every list is bounded.

#include "history/rows.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>

namespace dialkite::cli {

class StationBoard {
public:
    static constexpr int kStepsShown = 60; // a tile's steps, the latest
    static constexpr int kRunsKept = 200;  // runs with their reports, the latest

    struct Box {
        QString name, device;
    };
    explicit StationBoard(const QList<Box> &boxes, QString station = {});

    // A box's run of `suite` begins (its steps so far forgotten).
    void begin(const QString &box, const QString &suite, int attempt);
    void identified(const QString &box, const QString &name, const QString &version,
                    const QString &variant);
    void stepAt(const QString &box, int line, const QString &text);
    void stepDone(const QString &box, const RunStep &step);
    // The question the box waits on, with its id and the answers it takes (none: Enter).
    void asked(const QString &box, quint64 id, const QString &question, const QStringList &choices);
    void answered(const QString &box, quint64 id);
    // A run of the box ended: its verdict and its report (the page to hand over).
    void runEnded(const QString &box, bool passed, QByteArray report);
    // The box is done with every suite: its verdict, or why it could not be tested.
    void boxDone(const QString &box, bool passed, const QString &problem = {});
    // Every box is done.
    void finish();

    // Everything the page shows, as JSON.
    QJsonObject snapshot() const;
    // The report of run `id`; nothing when there is no such run (or it is forgotten).
    std::optional<QByteArray> report(int id) const;
    // The question `id` and its choices while it waits.
    std::optional<QStringList> choicesOf(quint64 id) const;

    // Waits up to `wait` for a change after `seen`; the changes' count now.
    quint64 waitForChange(quint64 seen, std::chrono::milliseconds wait);
    // Wakes every waiter for good (the page closes).
    void close();
    bool closed() const;

private:
    struct Prompt {
        quint64 id = 0;
        QString question;
        QStringList choices;
    };
    struct Tile {
        QString device, suite, name, version, variant;
        QString state = QStringLiteral("waiting"); // running, passed, failed, unopened
        QString problem;
        int attempt = 0;
        int line = 0;
        QString step;
        QDateTime started;
        qint64 ms = -1; // the run's whole time once it ended
        std::deque<RunStep> steps;
        std::optional<Prompt> prompt;
    };
    struct Run {
        int id = 0;
        QString box, suite;
        int attempt = 1;
        bool passed = false;
        QDateTime started;
        qint64 ms = 0;
        QByteArray report;
    };
    // Changes `box`'s tile under the lock and wakes the waiters; nothing for a box that is
    // not on the board.
    void change(const QString &box, const std::function<void(Tile &)> &how);

    QString m_station;
    mutable std::mutex m_mutex;
    std::condition_variable m_change;
    quint64 m_changes = 0;
    bool m_closed = false;
    bool m_finished = false;
    QStringList m_order;
    std::map<QString, Tile> m_tiles;
    std::deque<Run> m_runs;
    int m_nextRun = 1;
};

} // namespace dialkite::cli
