#pragma once

// What the history holds, as the rest of the program sees it: plain rows with named
// fields, written by the store and returned by the reader. No SQL outside src/history/.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

namespace dialkite {

// One event as it is stored: a call, an identification, a hook/ring reading, a call end.
struct EventRow {
    QString kind; // call, identification, detection, call_end
    QString box, line, boxTime;
    qint64 pcUtc = 0; // milliseconds since 1970, UTC
    QString digits, status, number, colour, variant, deviceName, deviceVersion, port, device;
    QByteArray record;
    QString detail;  // identification: "NAME VERSION"; detection: the state
    QString eventId; // a publisher's id; a row whose id is there already is not stored again
    QString name;    // a call's: the caller's name in the phonebook at the time
    // Of a publisher's event: its instance, its place in the box's sequence, and the
    // lowest sequence the publisher still kept when it sent it.
    QString instance;
    qint64 seq = 0;
    qint64 first = 0;
};

// One event as a search finds it.
struct CallRow {
    qint64 id = 0;
    qint64 pcUtc = 0;
    QString pcTime; // local, "2026-12-08 09:15:04"
    QString box, line, boxTime, number, digits, status, colour, variant, deviceName, port, device,
        kind, detail, name;
    bool conflict = false; // another event came with its id and other content
};

// A box acceptance run (dialkite-cli test) as the history keeps it.
// One step of a run: an expectation or a prompt.
struct RunStep {
    int line = 0;
    QString step;    // as the suite writes it
    QString verdict; // passed, failed, not_run
    qint64 measuredMs = 0;
    qint64 limitMs = 0;
    QString message;
    QString answer; // a prompt's
};

struct TestRun {
    QDateTime started;
    QString suite;
    QString device;
    QString variant;
    QString boxName;
    QString boxVersion;
    int passed = 0;
    int failed = 0;
    int skipped = 0;
    qint64 durationMs = 0;
    QString capture;
    int attempt = 1; // of a retried suite
    QList<RunStep> steps;
    int total() const { return passed + failed + skipped; }
    bool passedAll() const { return passed == total(); }
};

// A run as `history --runs` finds it.
struct RunRow {
    qint64 id = 0;
    QString pcTime, suite, verdict, boxName, boxVersion, variant, device, capture;
    int passed = 0;
    int failed = 0;
    qint64 durationMs = 0;
    int attempt = 1;
};

// What the history says about one box: the page's board.
struct BoxSummary {
    QString box;
    QString lastKind;
    QString lastTime;
    QString variant;
    QString identification; // "NAME VERSION" of the last identification
    int callsSince = 0;     // calls from the moment asked for (today)
};

// How far a publisher's events of one box are stored without a gap, after a commit:
// what a collector confirms to the publisher. `top` is the highest sequence stored.
struct Stored {
    QString box;
    QString instance;
    qint64 upTo = 0;
    qint64 top = 0;
};

// What a search asks for; every field is optional.
struct HistoryFilter {
    QString number;  // any part of the number: digits (dashes ignored) or text (the
                     // status as shown, or the caller's name)
    QString name;    // any part of the caller's name
    QString line;    // "2", "03"
    QDateTime since; // from this moment
    QDateTime until; // up to this moment
    QString box;
    bool callsOnly = true;
    int limit = 0;  // 0: all
    int offset = 0; // rows skipped first (a page of results)
};

} // namespace dialkite
