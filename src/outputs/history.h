#pragma once

// The call history: every caller event the console decodes, and the identifications,
// hook/ring readings and call ends around them, kept in an SQLite database (Qt SQL's
// QSQLITE driver) so that "who called on line 2 this morning?" has an answer after the
// window has closed.
//
// The console's thread only hands events over; one writer thread a file and process
// (HistoryStore, shared by every box of a rig) writes them, each burst in one
// transaction, in WAL mode, with a busy timeout so that several consoles and monitors
// can share one file. A history output is durable: it says which events are committed,
// so the monitor prints a call only then and a killed monitor never printed a call the
// database does not have.
//
// A file that is not an SQLite database, or one of another program, is never
// overwritten: it is moved aside under a time-stamped name and a new history starts (a
// notice). A disk that refuses a write stops the history with one message; the console
// goes on, and a failed transaction leaves nothing half-written.

#include "intake.h"
#include "output.h"

#include "console/settings.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QVariantList>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

namespace dialkite {

class HistoryStore;

// The schema's version (PRAGMA user_version) and the program's mark on its files.
inline constexpr int kHistorySchema = 4;
inline constexpr int kHistoryApplicationId = 0x444B4954; // "DKIT"

// Where the history is kept unless the settings file says otherwise: history.sqlite in
// the per-user data folder shared by the window and the command-line tools.
QString defaultHistoryFile();
// Where events wait for an MQTT broker unless told otherwise: beside the history.
QString defaultSpoolFile();
// Section HISTORY of the settings file: FILE moves it, RECORD=0 turns it off.
std::optional<QString> historyFile(const Profile &settings);

// Opens (creating or migrating as needed) the history at `path` (a file, or a
// postgresql:// address) as connection `name`. A file that cannot be used as a history
// is moved aside and a new one started; `moved` then names where it went (for a database,
// which is never moved, a notice such as a missing number index). False (and `problem`)
// when not even that works.
bool openHistory(const QString &path, const QString &name, QString *moved, QString *problem);
// Brings an open history up to `version` (for tests of the migration path).
bool migrateHistory(QSqlDatabase &db, int version, QString *problem);

// The writer of one history file in this process, shared by every output that writes
// to it (the boxes of a rig, the collector): one thread, one connection, one prepared
// insert. `retry`: a refused write is tried again until it goes in (a collector) rather
// than stopping the history.
std::shared_ptr<HistoryStore> historyStore(const QString &path, bool retry = false);

// How far a publisher's events of one box are stored without a gap, after a commit:
// what a collector confirms to the publisher. `top` is the highest sequence stored.
struct Stored {
    QString box;
    QString instance;
    qint64 upTo = 0;
    qint64 top = 0;
};

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

// What a search asks for; every field is optional.
struct HistoryFilter {
    QString number;  // any part of the number: digits (dashes ignored) or text
    QString line;    // "2", "03"
    QDateTime since; // from this moment
    QDateTime until; // up to this moment
    QString box;
    bool callsOnly = true;
    int limit = 0;  // 0: all
    int offset = 0; // rows skipped first (a page of results)
};

// The SQL of a search, newest first, with its values bound in order: nothing from the
// filter is ever part of the SQL text.
struct HistoryQuery {
    QString sql;
    QVariantList values;
};
// `postgres`: for a PostgreSQL history (its number index and its SQL).
HistoryQuery historyQuery(const HistoryFilter &filter, const QString &columns,
                          bool postgres = false);

// The columns a search shows, in order.
QString historyColumns();

// The columns the history is shown and exported with, the same in the window, its CSV and
// `dialkite-cli history`: the SQL of each, its title (Korean, as the window's) and its
// key in JSON (as the monitor names it).
struct HistoryColumn {
    const char *field;
    QString title;
    const char *key;
};
const QList<HistoryColumn> &historyTable();

// A box acceptance run (dialkite-cli test) as the history keeps it.
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
    int total() const { return passed + failed + skipped; }
};
// Stores `run` in the history at `path` (made or brought up to date as needed).
bool recordRun(const QString &path, const TestRun &run, QString *problem);
// Copies every event, delivery and run of the history file `from` into the history at
// `to` (a postgresql:// address, made or brought up to date as needed). Copying again
// stores nothing twice: an event is known by its publisher's id, or one made from what
// it holds. False (and `problem`) when either cannot be used; what was committed stays.
struct CopyCounts {
    qint64 events = 0;  // stored
    qint64 already = 0; // there before
    qint64 runs = 0;
    QString notice; // from the target's opening
};
bool copyHistory(const QString &from, const QString &to, CopyCounts *counts, QString *problem);
// The rows of one open history into another (each already at the current schema).
bool copyRows(QSqlDatabase from, QSqlDatabase to, CopyCounts *counts, QString *problem);

// The columns `history --runs` shows, newest first.
const QList<HistoryColumn> &runColumns();

} // namespace dialkite
