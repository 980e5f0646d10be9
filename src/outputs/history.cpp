#include "history.h"

#include "json.h"
#include "writer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace dialkite {

namespace {

constexpr int kBusyTimeoutMs = 10000; // another console or monitor in a transaction
constexpr int kLockedRetries = 30;
// A commit (and the number index's new segment) costs far more than a row: events are
// committed together, at most this long after the first of them. A monitor prints an
// event once it is committed, so its lines come at most this much later.
constexpr int kGatherMs = 50;

// The schema, one step a version, a statement a string. A step runs in one
// transaction with the version change, so a database is at one version or the next,
// never between.
const std::vector<std::vector<const char *>> kMigrations = {
    // 1: the events
    {"CREATE TABLE events ("
     " id INTEGER PRIMARY KEY,"
     " kind TEXT NOT NULL," // call, identification, detection, call_end
     " box TEXT NOT NULL DEFAULT '',"
     " line TEXT NOT NULL DEFAULT '',"
     " box_time TEXT NOT NULL DEFAULT ''," // MM-DD hh:mm as the box reported it
     " pc_utc INTEGER NOT NULL,"           // milliseconds since 1970, UTC
     " pc_time TEXT NOT NULL,"             // local YYYY-MM-DD hh:mm:ss
     " digits TEXT NOT NULL DEFAULT '',"
     " status TEXT NOT NULL DEFAULT ''," // number, withheld, public_phone, not_collected
     " number TEXT NOT NULL DEFAULT ''," // as the caller-ID log shows it
     " colour TEXT NOT NULL DEFAULT '',"
     " variant TEXT NOT NULL DEFAULT '',"
     " device_name TEXT NOT NULL DEFAULT '',"
     " device_version TEXT NOT NULL DEFAULT '',"
     " port TEXT NOT NULL DEFAULT '',"
     " device TEXT NOT NULL DEFAULT '',"
     " record BLOB,"
     " detail TEXT NOT NULL DEFAULT ''," // identification, detection state
     " event_id TEXT UNIQUE"             // a publisher's id, for collectors
     ")",
     "CREATE INDEX events_time ON events(pc_utc)",
     "CREATE INDEX events_line ON events(line, pc_utc)"},
    // 2: any part of a number found without reading every row
    {"CREATE VIRTUAL TABLE numbers USING fts5(digits, content='events', content_rowid='id',"
     " tokenize='trigram')",
     "INSERT INTO numbers(rowid, digits) SELECT id, digits FROM events",
     "CREATE TRIGGER events_numbers AFTER INSERT ON events BEGIN"
     " INSERT INTO numbers(rowid, digits) VALUES (new.id, new.digits); END",
     "CREATE TRIGGER events_numbers_gone AFTER DELETE ON events BEGIN"
     " INSERT INTO numbers(numbers, rowid, digits) VALUES ('delete', old.id, old.digits); END"},
    // 3: how far each publisher's events are stored without a gap (the collector
    //    confirms that much to the publisher, which may then forget them)
    {"CREATE TABLE deliveries (box TEXT NOT NULL, instance TEXT NOT NULL,"
     " stored_up_to INTEGER NOT NULL, PRIMARY KEY (box, instance))"},
    // 4: box acceptance runs (dialkite-cli test)
    {"CREATE TABLE runs ("
     " id INTEGER PRIMARY KEY,"
     " started_utc INTEGER NOT NULL,"
     " pc_time TEXT NOT NULL,"
     " suite TEXT NOT NULL,"
     " device TEXT NOT NULL DEFAULT '',"
     " variant TEXT NOT NULL DEFAULT '',"
     " box_name TEXT NOT NULL DEFAULT '',"
     " box_version TEXT NOT NULL DEFAULT '',"
     " verdict TEXT NOT NULL," // passed, failed
     " passed INTEGER NOT NULL,"
     " failed INTEGER NOT NULL,"
     " duration_ms INTEGER NOT NULL,"
     " capture TEXT NOT NULL DEFAULT '')",
     "CREATE INDEX runs_time ON runs(started_utc)"},
};

bool exec(QSqlDatabase &db, const QString &sql, QString *problem)
{
    QSqlQuery query(db);
    if (query.exec(sql))
        return true;
    *problem = query.lastError().text();
    return false;
}

std::optional<qint64> pragma(QSqlDatabase &db, const char *name)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA %1").arg(QLatin1String(name))) || !query.next())
        return std::nullopt;
    return query.value(0).toLongLong();
}

// Why the file at the connection cannot be this program's history; "" when it can.
// A lock held by another console is waited out: only a file that is damaged, not a
// database, another program's or a newer program's is said to be unusable.
QString unusable(QSqlDatabase &db, QString *problem)
{
    for (int attempt = 0; attempt < kLockedRetries; ++attempt) {
        // One statement, so one snapshot: another console may be creating the file.
        QSqlQuery query(db);
        if (query.exec(QStringLiteral("SELECT (SELECT application_id FROM pragma_application_id()),"
                                      " (SELECT user_version FROM pragma_user_version()),"
                                      " (SELECT count(*) FROM sqlite_master)")) &&
            query.next()) {
            const qint64 application = query.value(0).toLongLong();
            const qint64 version = query.value(1).toLongLong();
            const qint64 tables = query.value(2).toLongLong();
            if (application == kHistoryApplicationId)
                return version > kHistorySchema ? QStringLiteral("\x02%1").arg(version) : QString();
            if (application != 0 || tables > 0)
                return QStringLiteral("a database of another program");
            return {}; // empty: ours to set up
        }
        // SQLITE_CORRUPT (11) and SQLITE_NOTADB (26): the file itself is at fault.
        const QString code = query.lastError().nativeErrorCode();
        if (code == QLatin1String("11") || code == QLatin1String("26"))
            return QStringLiteral("not an SQLite database or damaged");
        *problem = query.lastError().text();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return QStringLiteral("\x01"); // still locked: neither usable nor to be moved
}

bool configure(QSqlDatabase &db, QString *problem)
{
    QSqlQuery mode(db);
    if (!mode.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !mode.next()) {
        *problem = mode.lastError().text();
        return false;
    }
    // WAL with synchronous NORMAL: a commit survives the program being killed.
    return exec(db, QStringLiteral("PRAGMA synchronous=NORMAL"), problem) &&
           exec(db, QStringLiteral("PRAGMA foreign_keys=ON"), problem);
}

bool connect(const QString &path, const QString &name, QString *problem)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    if (!db.open()) {
        *problem = db.lastError().text();
        return false;
    }
    return true;
}

void disconnect(const QString &name)
{
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

QString moveAside(const QString &path, QString *problem)
{
    const QString aside = path + QLatin1Char('.') +
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")) +
                          QStringLiteral(".unusable");
    for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        if (QFile::exists(path + suffix) && !QFile::rename(path + suffix, aside + suffix)) {
            *problem = QStringLiteral("cannot move %1 aside").arg(path + suffix);
            return {};
        }
    }
    return aside;
}

} // namespace

QString defaultHistoryFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/dialkite/history.sqlite");
}

QString defaultSpoolFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/dialkite/mqtt-spool.sqlite");
}

std::optional<QString> historyFile(const Profile &settings)
{
    const QString section = QStringLiteral("HISTORY");
    if (settings.value(section, QStringLiteral("RECORD")).trimmed() == QLatin1String("0"))
        return std::nullopt;
    const QString file = settings.value(section, QStringLiteral("FILE"));
    return file.isEmpty() ? defaultHistoryFile() : file;
}

bool migrateHistory(QSqlDatabase &db, int version, QString *problem)
{
    if (version > int(kMigrations.size())) {
        *problem = QStringLiteral("no schema %1").arg(version);
        return false;
    }
    // Each step takes the write lock first and looks at the version under it: another
    // console opening the same new file at the same moment waits, then finds the step
    // done.
    for (;;) {
        if (!exec(db, QStringLiteral("BEGIN IMMEDIATE"), problem))
            return false;
        const auto current = pragma(db, "user_version");
        if (!current) {
            *problem = QStringLiteral("cannot read the schema version");
            exec(db, QStringLiteral("ROLLBACK"), problem);
            return false;
        }
        if (*current >= version)
            return exec(db, QStringLiteral("COMMIT"), problem);
        bool ok = true;
        for (const char *statement : kMigrations[size_t(*current)])
            ok = ok && exec(db, QString::fromUtf8(statement), problem);
        ok = ok &&
             exec(db, QStringLiteral("PRAGMA application_id=%1").arg(kHistoryApplicationId),
                  problem) &&
             exec(db, QStringLiteral("PRAGMA user_version=%1").arg(*current + 1), problem) &&
             exec(db, QStringLiteral("COMMIT"), problem);
        if (!ok) {
            QString ignored;
            exec(db, QStringLiteral("ROLLBACK"), &ignored);
            return false;
        }
    }
}

bool openHistory(const QString &path, const QString &name, QString *moved, QString *problem)
{
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath())) {
        *problem = QStringLiteral("cannot make the folder %1").arg(info.absolutePath());
        return false;
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!connect(path, name, problem))
            return false;
        QSqlDatabase db = QSqlDatabase::database(name, false);
        const QString why = unusable(db, problem);
        if (why == QLatin1String("\x01"))
            return false; // locked for too long: left alone, the problem says why
        if (why.startsWith(u'\x02')) {
            // A newer program's: never moved aside, so that going back to an older
            // program cannot hide it.
            *problem = QStringLiteral("%1 was written by a newer program (schema %2); this one"
                                      " leaves it as it is and keeps no history")
                           .arg(path, why.mid(1));
            return false;
        }
        if (why.isEmpty()) {
            if (configure(db, problem) && migrateHistory(db, kHistorySchema, problem))
                return true;
            return false; // a disk problem, not the file's: leave it where it is
        }
        db = QSqlDatabase();
        disconnect(name);
        if (attempt > 0)
            break;
        const QString aside = moveAside(path, problem);
        if (aside.isEmpty())
            return false;
        *moved = QStringLiteral("%1 was %2; it was moved to %3 and a new history started")
                     .arg(path, why, aside);
    }
    *problem = QStringLiteral("cannot start a history at %1").arg(path);
    return false;
}

// ---- The writer ----

namespace {

struct Row {
    int origin = 0; // which output handed it over
    QString kind;
    QString box, line, boxTime;
    qint64 pcUtc = 0;
    QString digits, status, number, colour, variant, deviceName, deviceVersion, port, device;
    QByteArray record;
    QString detail;
    QString eventId; // a publisher's id; a row whose id is there already is dropped
    // Of a publisher's event: its instance, its place in the box's sequence, and the
    // lowest sequence the publisher still kept when it sent it.
    QString instance;
    qint64 seq = 0;
    qint64 first = 0;
};

// What an output hears from the store, on the store's thread.
struct Origin {
    std::function<void(qint64 committed)> committed;
    std::function<void(Severity, const QString &)> news;
    std::function<void(const std::vector<Stored> &)> stored;
};

} // namespace

class HistoryStore : public Worker<Row> {
public:
    // `retry`: a write the disk refuses is tried again, less and less often, until it
    // goes in (a collector, whose publishers keep what it has not confirmed); otherwise
    // the store stops at the first (a console's own history, which says so once).
    HistoryStore(QString path, bool retry)
        : m_path(std::move(path))
        , m_name(QStringLiteral("dialkite-history-writer-%1").arg(quintptr(this), 0, 16))
        , m_retry(retry)
        , m_thread(*this, kGatherMs)
    {
        m_thread.start();
    }
    ~HistoryStore() override { m_thread.stop(); }

    const QString &path() const { return m_path; }
    int addOrigin(Origin origin)
    {
        std::lock_guard lock(m_mutex);
        const auto [at, added] = m_origins.emplace(++m_lastOrigin, std::move(origin));
        // An output that comes after the news hears it at once.
        for (const auto &[severity, text] : m_told)
            at->second.news(severity, text);
        return m_lastOrigin;
    }
    void removeOrigin(int origin)
    {
        std::lock_guard lock(m_mutex);
        m_origins.erase(origin);
    }
    bool push(Row row) { return m_thread.push(std::move(row)); }
    bool flush(QDeadlineTimer deadline) { return m_thread.flush(deadline); }
    quint64 waiting() const { return m_thread.waiting(); }

    bool begin() override
    {
        QString moved;
        QString problem;
        const bool opened = openHistory(m_path, m_name, &moved, &problem);
        if (!moved.isEmpty())
            tellAll(Severity::Notice, moved);
        if (!opened) {
            stop(problem);
            return false;
        }
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        m_insert = std::make_unique<QSqlQuery>(db);
        m_insert->prepare(QStringLiteral(
            "INSERT OR IGNORE INTO events (kind, box, line, box_time, pc_utc, pc_time, digits,"
            " status, number, colour, variant, device_name, device_version, port, device, record,"
            " detail, event_id) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        return true;
    }

    Outcome handle(std::deque<Row> &batch) override
    {
        QString problem;
        std::vector<Stored> stored;
        if (!store(batch, &stored, &problem)) {
            if (!m_retry) {
                stop(problem);
                return Outcome::Stop;
            }
            if (!m_failing)
                tellAll(Severity::Problem,
                        QStringLiteral("cannot store in %1: %2; nothing is confirmed until it"
                                       " can, and it is tried again")
                            .arg(m_path, problem),
                        false);
            m_failing = true;
            return Outcome::Retry;
        }
        if (m_failing)
            tellAll(Severity::Notice, QStringLiteral("%1 takes events again").arg(m_path), false);
        m_failing = false;
        // Told per output, before flush() is released, so that it finds the news waiting.
        std::map<int, qint64> counts;
        for (const Row &row : batch)
            ++counts[row.origin];
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
        return Outcome::Done;
    }

    void end() override
    {
        m_insert.reset();
        m_upTo.reset();
        m_has.reset();
        m_keep.reset();
        disconnect(m_name);
    }

private:
    // The file was moved aside, the store stopped: every output hears it, also one
    // that comes later (`keep`).
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
    bool store(const std::deque<Row> &rows, std::vector<Stored> *stored, QString *problem)
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        for (int attempt = 0; attempt < kLockedRetries; ++attempt) {
            stored->clear();
            if (!db.transaction()) {
                *problem = db.lastError().text();
            } else if (insertAll(rows, problem) && advance(rows, stored, problem) && db.commit()) {
                return true;
            } else {
                if (problem->isEmpty())
                    *problem = db.lastError().text();
                db.rollback();
            }
            if (!problem->contains(QLatin1String("locked")) &&
                !problem->contains(QLatin1String("busy")))
                return false;
            problem->clear();
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        *problem = QStringLiteral("the history stayed locked by another program");
        return false;
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

    // A null text would be bound as NULL; the columns hold "" for nothing.
    static QVariant text(const QString &value)
    {
        return value.isNull() ? QVariant(QStringLiteral("")) : QVariant(value);
    }

    bool insertAll(const std::deque<Row> &rows, QString *problem)
    {
        QSqlQuery &insert = *m_insert;
        for (const Row &row : rows) {
            insert.bindValue(0, text(row.kind));
            insert.bindValue(1, text(row.box));
            insert.bindValue(2, text(row.line));
            insert.bindValue(3, text(row.boxTime));
            insert.bindValue(4, row.pcUtc);
            insert.bindValue(5, localTime(row.pcUtc));
            insert.bindValue(6, text(row.digits));
            insert.bindValue(7, text(row.status));
            insert.bindValue(8, text(row.number));
            insert.bindValue(9, text(row.colour));
            insert.bindValue(10, text(row.variant));
            insert.bindValue(11, text(row.deviceName));
            insert.bindValue(12, text(row.deviceVersion));
            insert.bindValue(13, text(row.port));
            insert.bindValue(14, text(row.device));
            insert.bindValue(15, row.record);
            insert.bindValue(16, text(row.detail));
            // No id is NULL, which the unique index lets repeat.
            insert.bindValue(17, row.eventId.isEmpty() ? QVariant() : QVariant(row.eventId));
            if (!insert.exec()) {
                *problem = insert.lastError().text();
                return false;
            }
        }
        return true;
    }

    // How far each publisher's events are now stored without a gap: from what was kept
    // (or the lowest sequence the publisher still holds), on while the next id is there.
    bool advance(const std::deque<Row> &rows, std::vector<Stored> *stored, QString *problem)
    {
        std::map<std::pair<QString, QString>, std::pair<qint64, qint64>> touched; // first, top
        for (const Row &row : rows) {
            if (row.seq <= 0)
                continue;
            auto &[first, top] = touched[{row.box, row.instance}];
            first = std::max(first, row.first);
            top = std::max(top, row.seq);
        }
        if (touched.empty())
            return true;
        if (!m_upTo) {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            m_upTo = std::make_unique<QSqlQuery>(db);
            m_upTo->prepare(QStringLiteral(
                "SELECT stored_up_to FROM deliveries WHERE box = ? AND instance = ?"));
            m_has = std::make_unique<QSqlQuery>(db);
            m_has->prepare(QStringLiteral("SELECT 1 FROM events WHERE event_id = ?"));
            m_keep = std::make_unique<QSqlQuery>(db);
            m_keep->prepare(QStringLiteral(
                "INSERT INTO deliveries (box, instance, stored_up_to) VALUES (?, ?, ?)"
                " ON CONFLICT(box, instance) DO UPDATE SET stored_up_to = excluded.stored_up_to"));
        }
        for (const auto &[key, range] : touched) {
            const auto &[box, instance] = key;
            m_upTo->bindValue(0, box);
            m_upTo->bindValue(1, instance);
            if (!m_upTo->exec()) {
                *problem = m_upTo->lastError().text();
                return false;
            }
            qint64 upTo = m_upTo->next() ? m_upTo->value(0).toLongLong() : 0;
            m_upTo->finish();
            const qint64 before = upTo;
            upTo = std::max(upTo, range.first - 1);
            const QString prefix = box + QLatin1Char(':') + instance + QLatin1Char(':');
            for (;;) {
                m_has->bindValue(0, prefix + QString::number(upTo + 1));
                if (!m_has->exec()) {
                    *problem = m_has->lastError().text();
                    return false;
                }
                const bool there = m_has->next();
                m_has->finish();
                if (!there)
                    break;
                ++upTo;
            }
            if (upTo != before) {
                m_keep->bindValue(0, box);
                m_keep->bindValue(1, instance);
                m_keep->bindValue(2, upTo);
                if (!m_keep->exec()) {
                    *problem = m_keep->lastError().text();
                    return false;
                }
            }
            stored->push_back({box, instance, upTo, range.second});
        }
        return true;
    }

    QString m_path;
    QString m_name;
    bool m_retry = false;
    bool m_failing = false;
    std::unique_ptr<QSqlQuery> m_upTo, m_has, m_keep;
    std::unique_ptr<QSqlQuery> m_insert;
    qint64 m_second = -1;
    QString m_secondText;
    std::mutex m_mutex;
    std::map<int, Origin> m_origins;
    int m_lastOrigin = 0;
    std::vector<std::pair<Severity, QString>> m_told;
    WriterThread<Row> m_thread;
};

std::shared_ptr<HistoryStore> historyStore(const QString &path, bool retry)
{
    // One store a file: every box of a process writes through one thread.
    static std::mutex mutex;
    static std::map<QString, std::weak_ptr<HistoryStore>> stores;
    const QString key = QFileInfo(path).absoluteFilePath();
    std::lock_guard lock(mutex);
    if (auto store = stores[key].lock())
        return store;
    auto store = std::make_shared<HistoryStore>(path, retry);
    stores[key] = store;
    return store;
}

// ---- The console's side ----

HistoryOutput::HistoryOutput(std::shared_ptr<HistoryStore> store, const QString &box,
                             QObject *parent)
    : Output(QStringLiteral("history"), parent)
    , m_store(std::move(store))
    , m_box(box)
{
    m_origin = m_store->addOrigin(
        {[this](qint64 count) {
             onOwnerThread(this, [count](HistoryOutput *self) { self->onCommitted(count); });
         },
         [this](Severity severity, const QString &text) {
             onOwnerThread(this, [severity, text](HistoryOutput *self) {
                 if (severity == Severity::Stopped)
                     self->onStopped(text);
                 else
                     Q_EMIT self->news(severity, text);
             });
         },
         {}});
}

HistoryOutput::HistoryOutput(const QString &path, const QString &box, QObject *parent)
    : HistoryOutput(historyStore(path), box, parent)
{}

HistoryOutput::~HistoryOutput()
{
    m_store->removeOrigin(m_origin);
}

const QString &HistoryOutput::path() const
{
    return m_store->path();
}

quint64 HistoryOutput::committedCount() const
{
    if (m_stopped || m_pending.empty())
        return m_given;
    return m_pending.front() - 1;
}

QString HistoryOutput::finish(QDeadlineTimer deadline)
{
    const bool done = m_store->flush(deadline);
    // What was committed reaches committedCount() before finish() returns.
    QCoreApplication::sendPostedEvents(this);
    if (m_stopped || (done && m_pending.empty()))
        return {};
    return QStringLiteral("%1 events were not stored in time").arg(m_pending.size());
}

void HistoryOutput::onCommitted(qint64 count)
{
    for (qint64 i = 0; i < count && !m_pending.empty(); ++i)
        m_pending.pop_front();
    Q_EMIT committed();
}

void HistoryOutput::onStopped(const QString &message)
{
    if (m_stopped)
        return;
    m_stopped = true;
    m_pending.clear(); // never stored: the followers get them anyway
    Q_EMIT news(Severity::Stopped, message);
    Q_EMIT committed();
}

void HistoryOutput::consume(const Event &event)
{
    ++m_given;
    Row row;
    if (const auto *started = std::get_if<events::SessionStarted>(&event)) {
        m_port = started->port > 0 ? QStringLiteral("COM%1").arg(started->port) : QString();
        m_device = started->device;
        m_variant = started->standing.variant;
    } else if (const auto *received = std::get_if<events::BytesReceived>(&event)) {
        m_variant = received->standing.variant;
    } else if (const auto *call = std::get_if<events::CallerId>(&event)) {
        row.kind = QStringLiteral("call");
        row.line = QString::fromLatin1(call->line);
        row.boxTime = call->time.value_or(QString());
        row.pcUtc = call->at.toMSecsSinceEpoch();
        row.digits = QString::fromLatin1(call->digits);
        row.status = json::statusName(call->status);
        row.number = call->number;
        row.colour = json::colourName(call->colour);
        row.variant = call->variant.text();
        row.record = call->record;
    } else if (const auto *id = std::get_if<events::Identification>(&event)) {
        m_deviceName = id->name;
        m_deviceVersion = id->version;
        row.kind = QStringLiteral("identification");
        row.detail = id->name + QLatin1Char(' ') + id->version;
    } else if (const auto *detection = std::get_if<events::DetectionState>(&event)) {
        row.kind = QStringLiteral("detection");
        row.detail = detection->state;
    } else if (std::holds_alternative<events::OutgoingCallEnded>(event)) {
        row.kind = QStringLiteral("call_end");
    }
    if (row.kind.isEmpty() || m_stopped) {
        if (m_pending.empty())
            Q_EMIT committed(); // nothing to keep: safe at once
        return;
    }
    row.origin = m_origin;
    row.box = m_box;
    if (row.variant.isEmpty())
        row.variant = m_variant.text();
    row.port = m_port;
    row.device = m_device;
    if (row.pcUtc == 0)
        row.pcUtc = QDateTime::currentMSecsSinceEpoch();
    row.deviceName = m_deviceName;
    row.deviceVersion = m_deviceVersion;
    if (m_store->push(std::move(row)))
        m_pending.push_back(m_given);
}

// ---- Events from other consoles (the collector) ----

namespace {

// Rows waiting for a disk that refuses them; beyond this, events are left to their
// publishers, who send them again.
constexpr quint64 kRemoteWaitingLimit = 100000;

} // namespace

RemoteHistory::RemoteHistory(const QString &path, QObject *parent)
    : QObject(parent)
    , m_store(historyStore(path, true))
{
    m_origin = m_store->addOrigin(
        {[this](qint64 count) {
             onOwnerThread(this, [count](RemoteHistory *self) { Q_EMIT self->committed(count); });
         },
         [this](Severity severity, const QString &text) {
             onOwnerThread(this, [severity, text](RemoteHistory *self) {
                 Q_EMIT self->news(severity, text);
             });
         },
         [this](const std::vector<Stored> &stored) {
             onOwnerThread(this, [stored](RemoteHistory *self) {
                 for (const Stored &each : stored)
                     Q_EMIT self->stored(each);
             });
         }});
}

RemoteHistory::~RemoteHistory()
{
    m_store->removeOrigin(m_origin);
}

bool RemoteHistory::store(const Intake &intake)
{
    if (m_store->waiting() > kRemoteWaitingLimit)
        return false;
    const QJsonObject &event = intake.event;
    const QString kind = event.value(u"event").toString();
    const auto text = [&event](const char *key) {
        return event.value(QLatin1String(key)).toString();
    };
    Row row;
    row.origin = m_origin;
    row.kind = kind;
    row.box = intake.box;
    row.eventId = text("id");
    row.instance = intake.instance;
    row.seq = intake.seq;
    row.first = intake.first;
    row.line = text("line");
    row.boxTime = text("time");
    const QDateTime at = QDateTime::fromString(text("pc_time"), Qt::ISODateWithMs);
    row.pcUtc = (at.isValid() ? at : QDateTime::currentDateTimeUtc()).toMSecsSinceEpoch();
    row.digits = text("digits");
    row.status = text("status");
    row.number = text("number");
    row.colour = text("color");
    row.variant = text("variant");
    if (kind == QLatin1String("identification"))
        row.detail = text("name") + QLatin1Char(' ') + text("version");
    else if (kind == QLatin1String("detection"))
        row.detail = text("state");
    return m_store->push(std::move(row));
}

void RemoteHistory::flush()
{
    m_store->flush(QDeadlineTimer(QDeadlineTimer::Forever));
    QCoreApplication::sendPostedEvents(this);
}

// ---- Searching ----

bool recordRun(const QString &path, const TestRun &run, QString *problem)
{
    static int count = 0;
    const QString name = QStringLiteral("dialkite-run-%1").arg(++count);
    QString moved;
    bool ok = openHistory(path, name, &moved, problem);
    if (ok) {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        QSqlQuery insert(db);
        insert.prepare(QStringLiteral(
            "INSERT INTO runs (started_utc, pc_time, suite, device, variant, box_name,"
            " box_version, verdict, passed, failed, duration_ms, capture)"
            " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        const QVariantList values{
            run.started.toMSecsSinceEpoch(),
            run.started.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
            run.suite,
            run.device,
            run.variant,
            run.boxName,
            run.boxVersion,
            run.passed == run.total() ? QStringLiteral("passed") : QStringLiteral("failed"),
            run.passed,
            run.failed,
            run.durationMs,
            run.capture};
        for (int i = 0; i < values.size(); ++i)
            insert.bindValue(i, values[i].typeId() == QMetaType::QString &&
                                        values[i].toString().isNull()
                                    ? QVariant(QStringLiteral(""))
                                    : values[i]);
        ok = insert.exec();
        if (!ok)
            *problem = insert.lastError().text();
    }
    disconnect(name);
    return ok;
}

const QList<HistoryColumn> &runColumns()
{
    static const QList<HistoryColumn> columns = {
        {"pc_time", QStringLiteral("PC 시각"), "pc_time"},
        {"suite", QStringLiteral("시험"), "suite"},
        {"verdict", QStringLiteral("판정"), "verdict"},
        {"passed", QStringLiteral("통과"), "passed"},
        {"failed", QStringLiteral("실패"), "failed"},
        {"duration_ms", QStringLiteral("시간(ms)"), "duration_ms"},
        {"box_name", QStringLiteral("장비명"), "box_name"},
        {"box_version", QStringLiteral("버전"), "box_version"},
        {"variant", QStringLiteral("종류"), "variant"},
        {"device", QStringLiteral("포트"), "device"},
        {"capture", QStringLiteral("통신 기록"), "capture"},
    };
    return columns;
}

const QList<HistoryColumn> &historyTable()
{
    static const QList<HistoryColumn> columns = {
        {"pc_time", QStringLiteral("PC 시각"), "pc_time"},
        {"box", QStringLiteral("장비"), "box"},
        {"line", QStringLiteral("채널"), "line"},
        {"box_time", QStringLiteral("수신시각"), "time"},
        {"number", QStringLiteral("수신번호"), "number"},
        {"status", QStringLiteral("상태"), "status"},
        {"colour", QStringLiteral("색"), "color"},
        {"variant", QStringLiteral("종류"), "variant"},
        {"device_name", QStringLiteral("장비명"), "device"},
        {"trim(port || ' ' || device)", QStringLiteral("포트"), "port"},
    };
    return columns;
}

QString historyColumns()
{
    return QStringLiteral("pc_time, box, line, box_time, number, digits, status, colour, variant,"
                          " device_name, port, kind, detail");
}

HistoryQuery historyQuery(const HistoryFilter &filter, const QString &columns)
{
    QStringList where;
    QVariantList values;
    if (filter.callsOnly)
        where << QStringLiteral("kind = 'call'");
    const QString text = filter.number.trimmed();
    QString digits;
    for (const QChar c : text) {
        if (c.isDigit() && c.unicode() < 128)
            digits += c;
    }
    if (digits.size() >= 3) {
        // The trigram index finds any three or more digits anywhere in a number.
        where << QStringLiteral("id IN (SELECT rowid FROM numbers WHERE numbers MATCH ?)");
        values << QLatin1Char('"') + digits + QLatin1Char('"');
    } else if (!digits.isEmpty()) {
        where << QStringLiteral("digits LIKE ?");
        values << QLatin1Char('%') + digits + QLatin1Char('%');
    } else if (!text.isEmpty()) {
        QString pattern = text;
        pattern.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
            .replace(QLatin1Char('%'), QStringLiteral("\\%"))
            .replace(QLatin1Char('_'), QStringLiteral("\\_"));
        where << QStringLiteral("number LIKE ? ESCAPE '\\'");
        values << QLatin1Char('%') + pattern + QLatin1Char('%');
    }
    if (!filter.line.isEmpty()) {
        // "2" finds line 2 of a four-line box and line "02" of a sixteen-line one.
        where << QStringLiteral("(line = ? OR ltrim(line, '0') = ltrim(?, '0'))");
        values << filter.line << filter.line;
    }
    if (filter.since.isValid()) {
        where << QStringLiteral("pc_utc >= ?");
        values << filter.since.toMSecsSinceEpoch();
    }
    if (filter.until.isValid()) {
        where << QStringLiteral("pc_utc <= ?");
        values << filter.until.toMSecsSinceEpoch();
    }
    if (!filter.box.isEmpty()) {
        where << QStringLiteral("box = ?");
        values << filter.box;
    }
    QString sql = QStringLiteral("SELECT %1 FROM events").arg(columns);
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));
    sql += QStringLiteral(" ORDER BY pc_utc DESC, id DESC");
    if (filter.limit > 0)
        sql += QStringLiteral(" LIMIT %1").arg(filter.limit);
    if (filter.offset > 0)
        sql += QStringLiteral("%1 OFFSET %2")
                   .arg(filter.limit > 0 ? QString() : QStringLiteral(" LIMIT -1"))
                   .arg(filter.offset);
    return {sql, values};
}

} // namespace dialkite
