#include "history.h"

#include "handover.h"
#include "json.h"

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
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace dialkite {

namespace {

constexpr int kBusyTimeoutMs = 10000; // another console or monitor in a transaction
constexpr int kLockedRetries = 30;

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
                return version > kHistorySchema
                           ? QStringLiteral("written by a newer program (schema %1)").arg(version)
                           : QString();
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

QString latin1(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes);
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
    QString kind;
    QString box, line, boxTime;
    qint64 pcUtc = 0;
    QString digits, status, number, colour, variant, deviceName, deviceVersion, port, device;
    QByteArray record;
    QString detail;
    QString eventId; // a publisher's id; a row whose id is there already is dropped
};

} // namespace

class HistoryWriterThread {
public:
    using Report = std::function<void(bool ok, qint64 count, const QString &message)>;

    HistoryWriterThread(QString path, Report report)
        : m_path(std::move(path))
        , m_report(std::move(report))
        , m_thread([this] { run(); })
    {}
    ~HistoryWriterThread()
    {
        m_rows.quit();
        m_thread.join();
    }
    void push(Row row) { m_rows.push(std::move(row)); }
    void flush() { m_rows.flush(); }

private:
    void run()
    {
        const QString name =
            QStringLiteral("dialkite-history-writer-%1").arg(quintptr(this), 0, 16);
        QString moved;
        QString problem;
        const bool opened = openHistory(m_path, name, &moved, &problem);
        if (!moved.isEmpty())
            m_report(true, -1, moved);
        if (!opened) {
            stop(problem);
            disconnect(name);
            return;
        }
        {
            QSqlDatabase db = QSqlDatabase::database(name, false);
            loop(db);
        }
        disconnect(name);
    }

    void loop(QSqlDatabase &db)
    {
        QSqlQuery insert(db);
        insert.prepare(QStringLiteral(
            "INSERT OR IGNORE INTO events (kind, box, line, box_time, pc_utc, pc_time, digits,"
            " status, number, colour, variant, device_name, device_version, port, device, record,"
            " detail, event_id) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        std::deque<Row> batch;
        while (m_rows.take(batch)) {
            QString problem;
            if (!store(db, insert, batch, &problem)) {
                stop(problem);
                return;
            }
            const qint64 count = qint64(batch.size());
            batch.clear();
            // Told before flush() is released, so that it finds the news waiting.
            m_report(true, count, {});
            m_rows.handled(quint64(count));
        }
    }

    // One transaction for the burst; another writer's lock is waited out.
    static bool store(QSqlDatabase &db, QSqlQuery &insert, const std::deque<Row> &rows,
                      QString *problem)
    {
        for (int attempt = 0; attempt < kLockedRetries; ++attempt) {
            if (!db.transaction()) {
                *problem = db.lastError().text();
            } else if (insertAll(insert, rows, problem) && db.commit()) {
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
    static QString localTime(qint64 utcMs)
    {
        thread_local qint64 second = -1;
        thread_local QString text;
        if (utcMs / 1000 != second) {
            second = utcMs / 1000;
            text = QDateTime::fromMSecsSinceEpoch(second * 1000)
                       .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        }
        return text;
    }

    static bool insertAll(QSqlQuery &insert, const std::deque<Row> &rows, QString *problem)
    {
        for (const Row &row : rows) {
            const QString pcTime = localTime(row.pcUtc);
            const QVariantList values{
                row.kind,          row.box,    row.line,   row.boxTime, row.pcUtc,   pcTime,
                row.digits,        row.status, row.number, row.colour,  row.variant, row.deviceName,
                row.deviceVersion, row.port,   row.device, row.record,  row.detail};
            for (int i = 0; i < values.size(); ++i) {
                // A null text would be bound as NULL; the columns hold "" for nothing.
                const QVariant &v = values[i];
                insert.bindValue(i, v.typeId() == QMetaType::QString && v.toString().isNull()
                                        ? QVariant(QStringLiteral(""))
                                        : v);
            }
            // No id is NULL, which the unique index lets repeat.
            insert.bindValue(int(values.size()),
                             row.eventId.isEmpty() ? QVariant() : QVariant(row.eventId));
            if (!insert.exec()) {
                *problem = insert.lastError().text();
                return false;
            }
        }
        return true;
    }

    void stop(const QString &problem)
    {
        m_rows.fail();
        m_report(false, 0, problem);
    }

    QString m_path;
    Report m_report;
    Handover<Row> m_rows;
    std::thread m_thread;
};

// ---- The console's side ----

CallHistory::CallHistory(const Console &console, const QString &path, QObject *parent)
    : QObject(parent)
    , m_console(console)
    , m_path(path)
{
    m_writer = std::make_unique<HistoryWriterThread>(
        path, [this](bool ok, qint64 count, const QString &message) {
            onOwnerThread(this, [ok, count, message](CallHistory *self) {
                if (!ok)
                    self->onFailed(message);
                else if (count < 0)
                    Q_EMIT self->notice(message);
                else
                    self->onWritten(count);
            });
        });
}

CallHistory::~CallHistory() = default;

void CallHistory::setPort(const QString &port, const QString &device)
{
    m_port = port;
    m_device = device;
}

void CallHistory::flush()
{
    m_writer->flush();
    // What was committed reaches stored() before flush() returns.
    QCoreApplication::sendPostedEvents(this);
}

void CallHistory::onWritten(qint64 count)
{
    for (qint64 i = 0; i < count && !m_pending.empty(); ++i) {
        const Event event = std::move(m_pending.front());
        m_pending.pop_front();
        Q_EMIT stored(event);
    }
}

void CallHistory::onFailed(const QString &message)
{
    if (m_stopped)
        return;
    m_stopped = true;
    Q_EMIT failed(message);
    for (const Event &event : std::exchange(m_pending, {}))
        Q_EMIT unstored(event);
}

void CallHistory::consume(const Event &event)
{
    if (const auto *opened = std::get_if<events::PortOpened>(&event)) {
        setPort(QStringLiteral("COM%1").arg(opened->port), opened->device);
        return;
    }
    if (const auto *id = std::get_if<events::Identification>(&event)) {
        m_deviceName = id->name;
        m_deviceVersion = id->version;
    }
    const QDateTime now = QDateTime::currentDateTimeUtc();
    Row row;
    row.box = m_box;
    row.variant = m_console.state().VariantCode.text();
    row.port = m_port;
    row.device = m_device;
    if (const auto *call = std::get_if<events::CallerId>(&event)) {
        row.kind = QStringLiteral("call");
        row.line = latin1(call->line);
        row.boxTime = call->time.value_or(QString());
        row.pcUtc = call->at.toMSecsSinceEpoch();
        row.digits = latin1(call->digits);
        row.status = json::statusName(call->status);
        row.number = call->number;
        row.colour = json::colourName(call->colour);
        row.variant = call->variant.text();
        row.record = call->record;
    } else if (const auto *id = std::get_if<events::Identification>(&event)) {
        row.kind = QStringLiteral("identification");
        row.detail = id->name + QLatin1Char(' ') + id->version;
    } else if (const auto *detection = std::get_if<events::DetectionState>(&event)) {
        row.kind = QStringLiteral("detection");
        row.detail = detection->state;
    } else if (std::holds_alternative<events::OutgoingCallEnded>(event)) {
        row.kind = QStringLiteral("call_end");
    } else {
        return;
    }
    if (m_stopped) {
        Q_EMIT unstored(event);
        return;
    }
    if (row.pcUtc == 0)
        row.pcUtc = now.toMSecsSinceEpoch();
    row.deviceName = m_deviceName;
    row.deviceVersion = m_deviceVersion;
    m_pending.push_back(event);
    m_writer->push(std::move(row));
}

// ---- Events from other consoles (the collector) ----

RemoteHistory::RemoteHistory(const QString &path, QObject *parent)
    : QObject(parent)
{
    m_writer = std::make_unique<HistoryWriterThread>(
        path, [this](bool ok, qint64 count, const QString &message) {
            onOwnerThread(this, [ok, count, message](RemoteHistory *self) {
                if (!ok)
                    Q_EMIT self->failed(message);
                else if (count < 0)
                    Q_EMIT self->notice(message);
            });
        });
}

RemoteHistory::~RemoteHistory() = default;

void RemoteHistory::store(const QString &box, const QJsonObject &event)
{
    static const QStringList kinds{QStringLiteral("call"), QStringLiteral("identification"),
                                   QStringLiteral("detection"), QStringLiteral("call_end")};
    const QString kind = event.value(u"event").toString();
    if (!kinds.contains(kind))
        return;
    const auto text = [&event](const char *key) {
        return event.value(QLatin1String(key)).toString();
    };
    Row row;
    row.kind = kind;
    row.box = box;
    row.eventId = text("id");
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
    m_writer->push(std::move(row));
}

void RemoteHistory::flush()
{
    m_writer->flush();
}

// ---- Searching ----

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
    return {sql, values};
}

} // namespace dialkite
