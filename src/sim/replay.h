#pragma once

// dialkite-sim --replay: the box's side of a capture played back to a console. The rx
// lines go out as they came (one write each) with the recorded gaps, divided by the
// speed factor; operator steps are the console's business and are skipped with a note;
// what the console writes is collected and, at the end, compared with the capture's
// tx lines.

#include "scenario/script.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>

namespace dialkite::sim {

class Endpoint;

class Replay : public QObject {
    Q_OBJECT
public:
    // speed: 1 plays the gaps as recorded, 10 ten times faster, 0 without gaps.
    Replay(Endpoint &line, QList<scenario::Step> steps, double speed, QObject *parent = nullptr);

    // Waits for the console to open the line, then plays.
    void start();
    // Every difference between what the console wrote and the capture's tx lines, one
    // "line N: expected ..., got ..." each; empty when it answered exactly as recorded.
    static QStringList differences(const QList<scenario::Step> &steps, const QByteArray &received);

Q_SIGNALS:
    void note(const QString &text);
    void sent(const QByteArray &bytes);
    // The replay is over; status 0 when the console answered as recorded, else 1.
    void finished(int status);

private:
    void waitForConsole();
    void playNext();
    void awaitAnswers();
    void finish();

    Endpoint &m_line;
    QList<scenario::Step> m_steps;
    double m_speed;
    qsizetype m_next = 0;
    QDateTime m_lastStamp;
    QByteArray m_received;
    qsizetype m_expected = 0;
    QTimer m_timer;
    QElapsedTimer m_quiet;
    QElapsedTimer m_waiting;
};

} // namespace dialkite::sim
