#include "spool.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>

namespace dialkite {

namespace {

constexpr int kSpoolApplicationId = 0x444B5350; // "DKSP"
constexpr int kSpoolSchema = 1;
constexpr int kBusyTimeoutMs = 10000;

bool run(QSqlQuery &query, const QString &sql, QString *problem)
{
    if (query.exec(sql))
        return true;
    *problem = query.lastError().text();
    return false;
}

class FileSpool : public Spool {
public:
    explicit FileSpool(QString path)
        : m_path(std::move(path))
        , m_name(QStringLiteral("dialkite-spool-%1").arg(quintptr(this), 0, 16))
    {}
    ~FileSpool() override
    {
        m_queries.clear();
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }

    bool open(QString *problem)
    {
        QDir().mkpath(QFileInfo(m_path).absolutePath());
        // One publisher a spool: two would hand out the same ids and be one client.
        m_lock = std::make_unique<QLockFile>(m_path + QStringLiteral(".lock"));
        m_lock->setStaleLockTime(0);
        if (!m_lock->tryLock(0)) {
            qint64 pid = 0;
            QString host;
            QString application;
            m_lock->getLockInfo(&pid, &host, &application);
            *problem = m_lock->error() == QLockFile::LockFailedError
                           ? QCoreApplication::translate("dialkite",
                                                         "in use by another program (process %1)")
                                 .arg(pid)
                           : QCoreApplication::translate("dialkite", "cannot lock it");
            return false;
        }
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(m_path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
        if (!db.open()) {
            *problem = db.lastError().text();
            return false;
        }
        // What the file is, in one snapshot, before anything is changed in it.
        QSqlQuery look(db);
        if (!look.exec(QStringLiteral(
                "SELECT (SELECT application_id FROM pragma_application_id()),"
                " (SELECT user_version FROM pragma_user_version()),"
                " (SELECT group_concat(name, ' ') FROM (SELECT name FROM sqlite_master"
                " WHERE type = 'table' ORDER BY name))")) ||
            !look.next()) {
            const QString code = look.lastError().nativeErrorCode();
            *problem =
                code == QLatin1String("11") || code == QLatin1String("26")
                    ? QCoreApplication::translate("dialkite", "not an SQLite database or damaged")
                    : look.lastError().text();
            return false;
        }
        const qint64 application = look.value(0).toLongLong();
        const qint64 version = look.value(1).toLongLong();
        const QString tables = look.value(2).toString();
        look.finish();
        const bool legacy = application == 0 && tables == QLatin1String("counters outbox");
        if (application == kSpoolApplicationId) {
            if (version > kSpoolSchema) {
                *problem = QCoreApplication::translate("dialkite",
                                                       "written by a newer program (schema %1)")
                               .arg(version);
                return false;
            }
        } else if (application != 0 || (!tables.isEmpty() && !legacy)) {
            *problem = QCoreApplication::translate("dialkite", "a database of another program");
            return false;
        }
        QSqlQuery q(db);
        // WAL with synchronous NORMAL: an event kept survives the program being killed.
        if (!run(q, QStringLiteral("PRAGMA journal_mode=WAL"), problem) ||
            !run(q, QStringLiteral("PRAGMA synchronous=NORMAL"), problem) ||
            !create(db, legacy, problem))
            return false;
        if (!q.exec(QStringLiteral("SELECT instance FROM meta")) || !q.next()) {
            *problem = q.lastError().text();
            return false;
        }
        m_instance = q.value(0).toString();
        prepare(db);
        return true;
    }

    bool inMemory() const override { return false; }

    qint64 lastSequence(const QString &box) override
    {
        QSqlQuery &q = query(QStringLiteral("SELECT max(coalesce((SELECT seq FROM counters WHERE"
                                            " box = ?), 0), coalesce((SELECT max(seq) FROM outbox"
                                            " WHERE box = ?), 0))"));
        q.bindValue(0, box);
        q.bindValue(1, box);
        const qint64 value = q.exec() && q.next() ? q.value(0).toLongLong() : 0;
        q.finish();
        return value;
    }
    qint64 count(const QString &box) override
    {
        return single(QStringLiteral("SELECT count(*) FROM outbox WHERE box = ?"), box);
    }
    qint64 lowest(const QString &box) override
    {
        return single(QStringLiteral("SELECT coalesce(min(seq), 0) FROM outbox WHERE box = ?"),
                      box);
    }

    bool write(const std::vector<Spooled> &add, const std::map<QString, qint64> &upTo,
               const std::vector<std::pair<QString, qint64>> &each, QString *problem) override
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        if (!db.transaction()) {
            *problem = db.lastError().text();
            return false;
        }
        bool ok = true;
        QSqlQuery &insert = query(
            QStringLiteral("INSERT INTO outbox (box, seq, topic, payload) VALUES (?, ?, ?, ?)"));
        for (const Spooled &event : add) {
            insert.bindValue(0, event.box);
            insert.bindValue(1, event.seq);
            insert.bindValue(2, event.topic);
            insert.bindValue(3, event.payload);
            if (!(ok = insert.exec()))
                break;
        }
        std::map<QString, qint64> highest; // the sequence counters keep once events go
        QSqlQuery &removeUpTo =
            query(QStringLiteral("DELETE FROM outbox WHERE box = ? AND seq <= ?"));
        for (auto it = upTo.begin(); ok && it != upTo.end(); ++it) {
            removeUpTo.bindValue(0, it->first);
            removeUpTo.bindValue(1, it->second);
            ok = removeUpTo.exec();
            highest[it->first] = it->second;
        }
        QSqlQuery &removeOne =
            query(QStringLiteral("DELETE FROM outbox WHERE box = ? AND seq = ?"));
        for (auto it = each.begin(); ok && it != each.end(); ++it) {
            removeOne.bindValue(0, it->first);
            removeOne.bindValue(1, it->second);
            ok = removeOne.exec();
            highest[it->first] = std::max(highest[it->first], it->second);
        }
        QSqlQuery &counter = query(QStringLiteral(
            "INSERT INTO counters (box, seq) VALUES (?, ?) ON CONFLICT(box) DO UPDATE SET"
            " seq = max(seq, excluded.seq)"));
        for (auto it = highest.begin(); ok && it != highest.end(); ++it) {
            counter.bindValue(0, it->first);
            counter.bindValue(1, it->second);
            ok = counter.exec();
        }
        if (ok && db.commit())
            return true;
        *problem =
            db.lastError().text().isEmpty() ? insert.lastError().text() : db.lastError().text();
        if (problem->isEmpty())
            *problem = QCoreApplication::translate("dialkite", "the spool refused the write");
        db.rollback();
        return false;
    }

    std::vector<Spooled> after(const QString &box, qint64 seq, int limit) override
    {
        QSqlQuery &next = query(QStringLiteral("SELECT seq, topic, payload FROM outbox WHERE box = "
                                               "? AND seq > ? ORDER BY seq LIMIT ?"));
        next.bindValue(0, box);
        next.bindValue(1, seq);
        next.bindValue(2, limit);
        std::vector<Spooled> events;
        if (next.exec()) {
            while (next.next())
                events.push_back({box, next.value(0).toLongLong(), next.value(1).toString(),
                                  next.value(2).toByteArray()});
        }
        next.finish();
        return events;
    }

    qint64 trim(const QString &box, qint64 keep) override
    {
        const qint64 waiting = count(box);
        if (waiting <= keep)
            return 0;
        QSqlQuery &q = query(QStringLiteral(
            "DELETE FROM outbox WHERE box = ? AND seq <= (SELECT seq FROM outbox WHERE box = ?"
            " ORDER BY seq LIMIT 1 OFFSET ?)"));
        q.bindValue(0, box);
        q.bindValue(1, box);
        q.bindValue(2, waiting - keep - 1);
        return q.exec() ? q.numRowsAffected() : 0;
    }

private:
    // The tables, or an old spool's brought up to date: its events get ids with the new
    // instance, so that none of them can be taken for another's.
    static bool create(QSqlDatabase &db, bool legacy, QString *problem)
    {
        QSqlQuery q(db);
        if (!run(q, QStringLiteral("BEGIN IMMEDIATE"), problem))
            return false;
        QSqlQuery version(db);
        const bool ready = version.exec(QStringLiteral("PRAGMA user_version")) && version.next() &&
                           version.value(0).toInt() >= kSpoolSchema;
        version.finish();
        if (ready)
            return run(q, QStringLiteral("COMMIT"), problem);
        const QString instance = newInstanceId();
        bool ok = run(q,
                      QStringLiteral("CREATE TABLE IF NOT EXISTS outbox (box TEXT NOT NULL,"
                                     " seq INTEGER NOT NULL, topic TEXT NOT NULL,"
                                     " payload BLOB NOT NULL, PRIMARY KEY (box, seq))"),
                      problem) &&
                  run(q,
                      QStringLiteral("CREATE TABLE IF NOT EXISTS counters (box TEXT PRIMARY KEY,"
                                     " seq INTEGER NOT NULL)"),
                      problem) &&
                  run(q, QStringLiteral("CREATE TABLE meta (instance TEXT NOT NULL)"), problem) &&
                  run(q, QStringLiteral("INSERT INTO meta VALUES ('%1')").arg(instance), problem);
        if (ok && legacy)
            ok = run(q,
                     QStringLiteral("UPDATE outbox SET payload = json_set(payload, '$.id', box ||"
                                    " ':%1:' || seq) WHERE json_valid(payload)")
                         .arg(instance),
                     problem);
        ok = ok &&
             run(q, QStringLiteral("PRAGMA application_id=%1").arg(kSpoolApplicationId), problem) &&
             run(q, QStringLiteral("PRAGMA user_version=%1").arg(kSpoolSchema), problem) &&
             run(q, QStringLiteral("COMMIT"), problem);
        if (!ok) {
            QString ignored;
            run(q, QStringLiteral("ROLLBACK"), &ignored);
        }
        return ok;
    }

    void prepare(QSqlDatabase &) {}

    // One prepared statement a text, made the first time it is needed.
    QSqlQuery &query(const QString &sql)
    {
        auto &slot = m_queries[sql];
        if (!slot) {
            slot = std::make_unique<QSqlQuery>(QSqlDatabase::database(m_name, false));
            slot->prepare(sql);
        }
        return *slot;
    }
    qint64 single(const QString &sql, const QString &box)
    {
        QSqlQuery &q = query(sql);
        q.bindValue(0, box);
        const qint64 value = q.exec() && q.next() ? q.value(0).toLongLong() : 0;
        q.finish();
        return value;
    }

    QString m_path;
    QString m_name;
    std::unique_ptr<QLockFile> m_lock;
    std::map<QString, std::unique_ptr<QSqlQuery>> m_queries;
};

class MemorySpool : public Spool {
public:
    MemorySpool() { m_instance = newInstanceId(); }
    bool inMemory() const override { return true; }
    qint64 lastSequence(const QString &box) override
    {
        const auto &events = m_boxes[box];
        return std::max(m_counters[box], events.empty() ? 0 : events.rbegin()->first);
    }
    qint64 count(const QString &box) override { return qint64(m_boxes[box].size()); }
    qint64 lowest(const QString &box) override
    {
        const auto &events = m_boxes[box];
        return events.empty() ? 0 : events.begin()->first;
    }
    bool write(const std::vector<Spooled> &add, const std::map<QString, qint64> &upTo,
               const std::vector<std::pair<QString, qint64>> &each, QString *) override
    {
        for (const Spooled &event : add)
            m_boxes[event.box][event.seq] = event;
        for (const auto &[box, seq] : upTo) {
            auto &events = m_boxes[box];
            events.erase(events.begin(), events.upper_bound(seq));
            m_counters[box] = std::max(m_counters[box], seq);
        }
        for (const auto &[box, seq] : each) {
            m_boxes[box].erase(seq);
            m_counters[box] = std::max(m_counters[box], seq);
        }
        return true;
    }
    std::vector<Spooled> after(const QString &box, qint64 seq, int limit) override
    {
        std::vector<Spooled> out;
        const auto &events = m_boxes[box];
        for (auto it = events.upper_bound(seq); it != events.end() && int(out.size()) < limit; ++it)
            out.push_back(it->second);
        return out;
    }
    qint64 trim(const QString &box, qint64 keep) override
    {
        auto &events = m_boxes[box];
        qint64 gone = 0;
        while (qint64(events.size()) > keep) {
            events.erase(events.begin());
            ++gone;
        }
        return gone;
    }

private:
    std::map<QString, std::map<qint64, Spooled>> m_boxes;
    std::map<QString, qint64> m_counters;
};

} // namespace

QString newInstanceId()
{
    return QString::number(QRandomGenerator::system()->generate64() & 0xFFFFFFFFFFFFULL, 16)
        .rightJustified(12, QLatin1Char('0'));
}

std::unique_ptr<Spool> openSpoolFile(const QString &path, QString *problem)
{
    auto spool = std::make_unique<FileSpool>(path);
    if (!spool->open(problem))
        return nullptr;
    return spool;
}

std::unique_ptr<Spool> memorySpool()
{
    return std::make_unique<MemorySpool>();
}

} // namespace dialkite
