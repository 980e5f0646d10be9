#pragma once

// The simulator's commands, typed on standard input or read from a script, one a line:
//
//   call LINE NUMBER [red]     a caller with a number (1 to 12 digits) on a line
//   withheld LINE [red]        a caller who withheld the number
//   public LINE [red]          a call from a public phone
//   unavailable LINE [red]     a number the box could not collect
//   end LINE                   the call dialled from the console on LINE is over
//   burst N [LINE]             N callers with numbers, all in one write
//   raw BYTES                  bytes as they stand (<STX>, <ETX>, <HH>, <<)
//   noise N                    N random bytes
//   wait MS                    pause before the next command
//   variant N                  become a box of variant N
//   status                     report the box's state
//   quit                       stop
//
// "red" makes the REZ and RORIVU boxes send their red call records ("m", "M").

#include "box.h"

#include <QRandomGenerator>
#include <QStringList>
#include <QTimer>

namespace dialkite::sim {

class Session : public QObject {
    Q_OBJECT
public:
    explicit Session(Box &box, quint32 seed, QObject *parent = nullptr);

    // Queues a command line; it runs at once unless a wait is under way.
    void submit(const QString &line);
    // No more commands will come; done() follows once the queue has run.
    void endOfInput();
    // Random callers at `perSecond` events a second until stopped.
    void startRandom(double perSecond);

    static QString help();

Q_SIGNALS:
    void note(const QString &text);
    void problem(const QString &text);
    void quitRequested();
    void done();

private:
    void runQueue();
    // Runs one command; an error text when it is not a valid command.
    QString execute(const QString &line);
    CallEvent randomCall();
    void scheduleRandom();

    Box &m_box;
    QRandomGenerator m_random;
    QStringList m_queue;
    QTimer m_wait;
    QTimer m_randomTimer;
    double m_perSecond = 0;
    bool m_inputEnded = false;
};

} // namespace dialkite::sim
