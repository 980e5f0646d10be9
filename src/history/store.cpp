#include "store.h"

#include "conflicts.h"
#include "connection.h"
#include "ledger.h"
#include "schema.h"
#include "statements.h"

#include "outputs/writer.h"
#include "platform/fileowner.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <chrono>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

namespace dialkite {

namespace {

constexpr int kLockedRetries = 30;
// A commit (and the number index's new segment) costs far more than a row: events are
// committed together, at most this long after the first of them. A monitor prints an
// event once it is committed, so its lines come at most this much later.
constexpr int kGatherMs = 50;
// While calls keep coming (a busy rig, a flood), up to this long: far fewer commits.
constexpr int kBusyGatherMs = 200;
// The number index takes the events in batches of about this many, or once the first of
// them waited this long (a search reads the events it does not hold yet directly).
constexpr qint64 kIndexEvery = 1000;
constexpr auto kIndexWithin = std::chrono::seconds(10);

struct Pending {
    int origin = 0; // which output handed it over
    EventRow row;
};

// Whether a failed transaction is worth trying again at once: another writer's lock
// (SQLite), or two collectors' transactions that crossed (PostgreSQL).
bool contended(const QString &problem)
{
    for (const char *word : {"locked", "busy", "deadlock detected", "could not serialize"}) {
        if (problem.contains(QLatin1String(word)))
            return true;
    }
    return false;
}

class Store : public HistoryStore, public Worker<Pending> {
public:
    Store(QString path, bool retry)
        : m_path(std::move(path))
        , m_name(uniqueConnectionName(QStringLiteral("history-writer")))
        , m_retry(retry)
        , m_thread(*this, Gathering(kGatherMs, kBusyGatherMs))
    {
        m_thread.start();
    }
    ~Store() override { m_thread.stop(); }

    const QString &path() const override { return m_path; }
    int addOrigin(StoreListener listener) override
    {
        std::lock_guard lock(m_mutex);
        const auto [at, added] = m_origins.emplace(++m_lastOrigin, std::move(listener));
        // An output that comes after the news hears it at once.
        for (const auto &[severity, text] : m_told)
            at->second.news(severity, text);
        return m_lastOrigin;
    }
    void removeOrigin(int origin) override
    {
        std::lock_guard lock(m_mutex);
        m_origins.erase(origin);
    }
    bool push(int origin, EventRow row) override { return m_thread.push({origin, std::move(row)}); }
    bool flush(QDeadlineTimer deadline) override { return m_thread.flush(deadline); }
    quint64 waiting() const override { return m_thread.waiting(); }

    bool begin() override
    {
        QString moved;
        QString problem;
        const bool opened = openHistory(m_path, m_name, &moved, &problem);
        if (!moved.isEmpty())
            tellAll(Severity::Notice, moved);
        if (!opened && isPostgres(m_path) && m_retry && !problem.contains(u"leaves it as it is")) {
            // A server not there yet: events wait, unconfirmed, and it is tried again.
            tellAll(
                Severity::Problem,
                QCoreApplication::translate("dialkite", "cannot reach the history: %1; tried again")
                    .arg(problem.simplified()),
                false);
            m_dialect = Dialect::Postgres;
            m_failing = true;
            return true;
        }
        if (!opened) {
            stop(problem);
            return false;
        }
        prepare();
        rememberFile();
        // What a program that was killed left out of the number index.
        m_unindexed = 1;
        indexNumbersNow();
        return true;
    }

    Outcome handle(std::deque<Pending> &batch) override
    {
        QString problem;
        std::vector<Stored> stored;
        const bool connected = m_dialect == Dialect::Sqlite ? inPlace() || reopenFile(&problem)
                                                            : !m_failing || reconnect(&problem);
        const bool ok = connected && store(batch, &stored, &problem);
        if (ok && !inPlace()) {
            // Committed into a file that is no longer at the path (deleted, replaced while
            // the transaction ran): nothing of it is told; the batch goes into the one there.
            reopenFile(&problem);
            return Outcome::Retry;
        }
        if (!ok) {
            if (!m_retry) {
                stop(problem);
                return Outcome::Stop;
            }
            if (!m_failing)
                tellAll(Severity::Problem,
                        QCoreApplication::translate(
                            "dialkite", "cannot store in %1: %2; nothing is confirmed until it"
                                        " can, and it is tried again")
                            .arg(shownLocation(m_path), problem.simplified()),
                        false);
            m_failing = true;
            return Outcome::Retry;
        }
        if (m_failing)
            tellAll(Severity::Notice,
                    QStringLiteral("%1 takes events again").arg(shownLocation(m_path)), false);
        m_failing = false;
        // The conflicts are told before the publisher hears that its events are stored.
        for (const QString &news : std::as_const(m_conflictNews))
            tellAll(Severity::Problem, news, false);
        tellCommitted(batch, stored);
        remember(stored);
        if (m_unindexed == 0)
            m_firstUnindexed = std::chrono::steady_clock::now();
        m_unindexed += qint64(batch.size());
        if (m_unindexed >= kIndexEvery)
            indexNumbersNow();
        return Outcome::Done;
    }

    void idle() override
    {
        if (m_unindexed > 0 && std::chrono::steady_clock::now() - m_firstUnindexed >= kIndexWithin)
            indexNumbersNow();
    }

    void end() override
    {
        indexNumbersNow();
        forgetStatements();
        closeConnection(m_name);
    }

private:
    // Whether the file at the path is the one the connection writes to (a cleanup job or a
    // mistaken rm may have taken it away while the program runs).
    bool inPlace() const { return !m_identity || platform::fileIdentity(m_path) == m_identity; }
    void rememberFile()
    {
        m_identity = m_dialect == Dialect::Sqlite ? platform::fileIdentity(m_path) : std::nullopt;
    }
    // The history at the path again: a new one, or the file now there if it is one.
    bool reopenFile(QString *problem)
    {
        if (m_identity != kNoFile)
            tellAll(Severity::Problem,
                    QCoreApplication::translate(
                        "dialkite", "the history %1 was deleted or replaced while it was written;"
                                    " nothing more is confirmed from the file that went, and what"
                                    " was not yet told stored goes into the history at %1 now")
                        .arg(m_path),
                    false);
        forgetStatements();
        closeConnection(m_name);
        QString moved;
        if (!openHistory(m_path, m_name, &moved, problem)) {
            m_identity = kNoFile; // tried again at the next batch
            return false;
        }
        if (!moved.isEmpty())
            tellAll(Severity::Notice, moved, false);
        prepare();
        rememberFile();
        m_unindexed = 1;
        std::lock_guard lock(m_mutex);
        for (const auto &[id, origin] : m_origins) {
            if (origin.replaced)
                origin.replaced();
        }
        return true;
    }

    // How far each publisher was told its events are stored (bounded: publishers invented
    // by the thousand make it forget, which only matters if the history is then deleted).
    void remember(const std::vector<Stored> &stored)
    {
        for (const Stored &each : stored) {
            const auto publisher = std::make_pair(each.box, each.instance);
            if (m_toldStored.size() >= kPublishersRemembered && !m_toldStored.count(publisher))
                m_toldStored.clear();
            qint64 &upTo = m_toldStored[publisher];
            upTo = std::max(upTo, each.upTo);
        }
    }

    // The events the number index does not hold yet into it; a failure (another writer's
    // lock) is tried again at the next occasion.
    void indexNumbersNow()
    {
        if (m_unindexed == 0 || m_dialect != Dialect::Sqlite)
            return;
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        QString problem;
        if (db.isOpen() && indexNumbers(db, &problem))
            m_unindexed = 0;
    }

    // The statements, on the connection as it is now (again after a reconnection).
    void prepare()
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        m_dialect = dialectOf(db);
        forgetStatements();
        m_insert = std::make_unique<QSqlQuery>(db);
        m_insert->prepare(statements::insertEvent(m_dialect));
        m_ledger.prepare(db);
        m_conflicts.prepare(db);
    }
    // The prepared statements go with the connection they were made on.
    void forgetStatements()
    {
        m_insert.reset();
        m_ledger.forget();
        m_conflicts.forget();
    }

    // A database server that went away (restarted, the network): connected again
    // before the next attempt. False while it cannot be reached.
    bool reconnect(QString *problem)
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            QSqlQuery alive(db);
            if (db.isOpen() && alive.exec(QStringLiteral("SELECT 1")))
                return true;
        }
        forgetStatements();
        QSqlDatabase::database(m_name, false).close();
        QString notice;
        const auto location = historyLocation(m_path, problem);
        if (!location || !openPostgresHistory(*location, m_name, &notice, problem))
            return false;
        prepare();
        return true;
    }

    // Told per origin, before flush() is released, so that it finds the news waiting.
    void tellCommitted(const std::deque<Pending> &batch, const std::vector<Stored> &stored)
    {
        std::map<int, qint64> counts;
        for (const Pending &pending : batch)
            ++counts[pending.origin];
        std::lock_guard lock(m_mutex);
        for (const auto &[origin, count] : counts) {
            const auto at = m_origins.find(origin);
            if (at == m_origins.end())
                continue;
            if (at->second.committed)
                at->second.committed(count);
            if (at->second.stored && !stored.empty())
                at->second.stored(stored);
        }
    }

    // The history moved aside, the store stopped: every origin hears it, also one that
    // comes later (`keep`).
    void tellAll(Severity severity, const QString &text, bool keep = true)
    {
        std::lock_guard lock(m_mutex);
        if (keep)
            m_told.emplace_back(severity, text);
        for (const auto &[id, origin] : m_origins)
            origin.news(severity, text);
    }
    void stop(const QString &problem) { tellAll(Severity::Stopped, problem); }

    // One transaction for the burst; another writer's lock is waited out.
    bool store(const std::deque<Pending> &batch, std::vector<Stored> *stored, QString *problem)
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        for (int attempt = 0; attempt < kLockedRetries; ++attempt) {
            stored->clear();
            m_conflictNews.clear();
            DeliveryLedger::Touched touched;
            for (const Pending &pending : batch)
                DeliveryLedger::note(pending.row, &touched);
            // What was told stored is no longer the publisher's to send, whatever an event
            // it sent before it heard so says: a history made anew under the writer (the old
            // one deleted) starts its ledger there, not below events it will never get.
            for (auto &[publisher, range] : touched)
                if (const auto told = m_toldStored.find(publisher); told != m_toldStored.end())
                    range.first = std::max(range.first, told->second + 1);
            if (!db.transaction()) {
                *problem = db.lastError().text();
            } else if (insertAll(batch, problem) && m_ledger.advance(touched, stored, problem) &&
                       db.commit()) {
                return true;
            } else {
                if (problem->isEmpty())
                    *problem = db.lastError().text();
                db.rollback();
            }
            if (!contended(*problem))
                return false;
            problem->clear();
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        *problem =
            QCoreApplication::translate("dialkite", "the history stayed locked by another program");
        return false;
    }

    bool insertAll(const std::deque<Pending> &batch, QString *problem)
    {
        for (const Pending &pending : batch) {
            const QString pcTime = localTime(pending.row.pcUtc);
            statements::bindEvent(*m_insert, pending.row, pcTime);
            if (!m_insert->exec()) {
                *problem = m_insert->lastError().text();
                return false;
            }
            // A publisher's id there already: sent again, or somebody else's under its id.
            if (!pending.row.eventId.isEmpty() && m_insert->numRowsAffected() <= 0 &&
                !m_conflicts.check(pending.row, pcTime, *m_insert, &m_conflictNews, problem))
                return false;
        }
        return true;
    }

    // The PC's local time to the second, worked out here, off the console's thread; a
    // burst of calls shares its seconds, and the conversion is not cheap.
    QString localTime(qint64 utcMs)
    {
        if (utcMs / 1000 != m_second) {
            m_second = utcMs / 1000;
            m_secondText = QDateTime::fromMSecsSinceEpoch(m_second * 1000)
                               .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        }
        return m_secondText;
    }

    QString m_path;
    QString m_name;
    bool m_retry = false;
    bool m_failing = false;
    Dialect m_dialect = Dialect::Sqlite;
    std::unique_ptr<QSqlQuery> m_insert;
    DeliveryLedger m_ledger;
    // The file the connection writes, or kNoFile while none could be opened at the path.
    static constexpr std::pair<quint64, quint64> kNoFile{0, 0};
    std::optional<std::pair<quint64, quint64>> m_identity;
    ConflictKeeper m_conflicts;
    QStringList m_conflictNews; // of the transaction at hand
    static constexpr size_t kPublishersRemembered = 100000;
    std::map<std::pair<QString, QString>, qint64> m_toldStored; // (box, instance) -> up to
    qint64 m_unindexed = 0; // events committed since the number index last took them
    std::chrono::steady_clock::time_point m_firstUnindexed;
    qint64 m_second = -1;
    QString m_secondText;
    std::mutex m_mutex;
    std::map<int, StoreListener> m_origins;
    int m_lastOrigin = 0;
    std::vector<std::pair<Severity, QString>> m_told;
    WriterThread<Pending> m_thread;
};

} // namespace

std::shared_ptr<HistoryStore> historyStore(const QString &path, bool retry)
{
    // One store a file: every box of a process writes through one thread.
    static std::mutex mutex;
    static std::map<QString, std::weak_ptr<HistoryStore>> stores;
    const QString key = isPostgres(path) ? path : QFileInfo(path).absoluteFilePath();
    std::lock_guard lock(mutex);
    if (auto store = stores[key].lock())
        return store;
    // A database server that goes away comes back: its writes are always tried again.
    auto store = std::make_shared<Store>(path, retry || isPostgres(path));
    stores[key] = store;
    return store;
}

} // namespace dialkite
