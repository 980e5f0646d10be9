#include "schema.h"

#include "connection.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <chrono>
#include <optional>
#include <thread>
#include <vector>

namespace dialkite {

namespace {

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
    // 5: the number index follows the events in batches (the writer's), not row by row in
    //    every commit; `up_to` is the last event it holds, and a search reads the few
    //    events after it directly
    {"DROP TRIGGER events_numbers", "CREATE TABLE number_index (up_to INTEGER NOT NULL)",
     "INSERT INTO number_index (up_to) SELECT coalesce(max(id), 0) FROM events",
     "DROP TRIGGER events_numbers_gone",
     "CREATE TRIGGER events_numbers_gone AFTER DELETE ON events"
     " WHEN old.id <= (SELECT up_to FROM number_index) BEGIN"
     " INSERT INTO numbers(numbers, rowid, digits) VALUES ('delete', old.id, old.digits); END"},
    // 6: two events of one id with other content, both kept: which rows make the pair
    {"CREATE TABLE conflicts (event_id TEXT NOT NULL, box TEXT NOT NULL DEFAULT '',"
     " kept INTEGER NOT NULL, other INTEGER NOT NULL, pc_utc INTEGER NOT NULL)",
     "CREATE INDEX conflicts_kept ON conflicts(kept)",
     "CREATE INDEX conflicts_other ON conflicts(other)"},
    // 7: each step of a box acceptance run (its measured time against its limit, a
    //    prompt's answer), and which attempt of a retried suite a run was
    {"CREATE TABLE run_steps ("
     " run_id INTEGER NOT NULL,"
     " line INTEGER NOT NULL,"
     " step TEXT NOT NULL,"
     " verdict TEXT NOT NULL," // passed, failed, not_run
     " measured_ms INTEGER NOT NULL,"
     " limit_ms INTEGER NOT NULL,"
     " message TEXT NOT NULL DEFAULT '',"
     " answer TEXT NOT NULL DEFAULT '')",
     "CREATE INDEX run_steps_run ON run_steps(run_id)",
     "ALTER TABLE runs ADD COLUMN attempt INTEGER NOT NULL DEFAULT 1"},
    // 8: the phonebook (a contact's numbers by their key, as Korean numbers are dialled),
    //    its version (bumped by every change, for those that hold it in memory), and each
    //    event's name as the phonebook gave it then
    {"CREATE TABLE contacts (id INTEGER PRIMARY KEY, name TEXT NOT NULL,"
     " note TEXT NOT NULL DEFAULT '', changed_utc INTEGER NOT NULL)",
     "CREATE INDEX contacts_name ON contacts(name)",
     "CREATE TABLE contact_numbers (contact_id INTEGER NOT NULL REFERENCES contacts(id)"
     " ON DELETE CASCADE, number_key TEXT NOT NULL UNIQUE, shown TEXT NOT NULL)",
     "CREATE INDEX contact_numbers_contact ON contact_numbers(contact_id)",
     "CREATE TABLE contacts_version (version INTEGER NOT NULL)",
     "INSERT INTO contacts_version (version) VALUES (0)",
     "ALTER TABLE events ADD COLUMN name TEXT NOT NULL DEFAULT ''"},
};

// The same schema on PostgreSQL, version for version. The number index of version 2 is
// pg_trgm's, made apart (kNumberIndex) because the extension may not be there.
const char kNumberIndex[] = "number index";
const std::vector<std::vector<const char *>> kPostgresMigrations = {
    {"CREATE TABLE dialkite_schema (version INTEGER NOT NULL)",
     "INSERT INTO dialkite_schema (version) VALUES (0)",
     "CREATE TABLE events ("
     " id BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,"
     " kind TEXT NOT NULL,"
     " box TEXT NOT NULL DEFAULT '',"
     " line TEXT NOT NULL DEFAULT '',"
     " box_time TEXT NOT NULL DEFAULT '',"
     " pc_utc BIGINT NOT NULL,"
     " pc_time TEXT NOT NULL,"
     " digits TEXT NOT NULL DEFAULT '',"
     " status TEXT NOT NULL DEFAULT '',"
     " number TEXT NOT NULL DEFAULT '',"
     " colour TEXT NOT NULL DEFAULT '',"
     " variant TEXT NOT NULL DEFAULT '',"
     " device_name TEXT NOT NULL DEFAULT '',"
     " device_version TEXT NOT NULL DEFAULT '',"
     " port TEXT NOT NULL DEFAULT '',"
     " device TEXT NOT NULL DEFAULT '',"
     " record BYTEA,"
     " detail TEXT NOT NULL DEFAULT '',"
     " event_id TEXT UNIQUE)",
     "CREATE INDEX events_time ON events(pc_utc)",
     "CREATE INDEX events_line ON events(line, pc_utc)"},
    {kNumberIndex},
    {"CREATE TABLE deliveries (box TEXT NOT NULL, instance TEXT NOT NULL,"
     " stored_up_to BIGINT NOT NULL, PRIMARY KEY (box, instance))"},
    {"CREATE TABLE runs ("
     " id BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,"
     " started_utc BIGINT NOT NULL,"
     " pc_time TEXT NOT NULL,"
     " suite TEXT NOT NULL,"
     " device TEXT NOT NULL DEFAULT '',"
     " variant TEXT NOT NULL DEFAULT '',"
     " box_name TEXT NOT NULL DEFAULT '',"
     " box_version TEXT NOT NULL DEFAULT '',"
     " verdict TEXT NOT NULL,"
     " passed INTEGER NOT NULL,"
     " failed INTEGER NOT NULL,"
     " duration_ms BIGINT NOT NULL,"
     " capture TEXT NOT NULL DEFAULT '')",
     "CREATE INDEX runs_time ON runs(started_utc)"},
    // 5: pg_trgm's index follows every row as it is: nothing to change
    {},
    {"CREATE TABLE conflicts (event_id TEXT NOT NULL, box TEXT NOT NULL DEFAULT '',"
     " kept BIGINT NOT NULL, other BIGINT NOT NULL, pc_utc BIGINT NOT NULL)",
     "CREATE INDEX conflicts_kept ON conflicts(kept)",
     "CREATE INDEX conflicts_other ON conflicts(other)"},
    {"CREATE TABLE run_steps ("
     " run_id BIGINT NOT NULL,"
     " line INTEGER NOT NULL,"
     " step TEXT NOT NULL,"
     " verdict TEXT NOT NULL,"
     " measured_ms BIGINT NOT NULL,"
     " limit_ms BIGINT NOT NULL,"
     " message TEXT NOT NULL DEFAULT '',"
     " answer TEXT NOT NULL DEFAULT '')",
     "CREATE INDEX run_steps_run ON run_steps(run_id)",
     "ALTER TABLE runs ADD COLUMN attempt INTEGER NOT NULL DEFAULT 1"},
    {"CREATE TABLE contacts (id BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,"
     " name TEXT NOT NULL, note TEXT NOT NULL DEFAULT '', changed_utc BIGINT NOT NULL)",
     "CREATE INDEX contacts_name ON contacts(name)",
     "CREATE TABLE contact_numbers (contact_id BIGINT NOT NULL REFERENCES contacts(id)"
     " ON DELETE CASCADE, number_key TEXT NOT NULL UNIQUE, shown TEXT NOT NULL)",
     "CREATE INDEX contact_numbers_contact ON contact_numbers(contact_id)",
     "CREATE TABLE contacts_version (version BIGINT NOT NULL)",
     "INSERT INTO contacts_version (version) VALUES (0)",
     "ALTER TABLE events ADD COLUMN name TEXT NOT NULL DEFAULT ''"},
};
static_assert(kHistorySchema == 8, "a step of the schema on each engine");

std::optional<qint64> pragma(QSqlDatabase &db, const char *name)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA %1").arg(QLatin1String(name))) || !query.next())
        return std::nullopt;
    return query.value(0).toLongLong();
}

// What the file at a connection opened for writing is to this program.
enum class Found { Ours, Newer, Empty, Foreign, Damaged, Locked };

// One statement, so one snapshot: another console may be creating the file. A lock held
// by another console is waited out: only a file that is damaged, not a database, another
// program's or a newer program's is said to be unusable.
Found inspect(QSqlDatabase &db, qint64 *version, QString *problem)
{
    for (int attempt = 0; attempt < kLockedRetries; ++attempt) {
        QSqlQuery query(db);
        if (query.exec(QStringLiteral("SELECT (SELECT application_id FROM pragma_application_id()),"
                                      " (SELECT user_version FROM pragma_user_version()),"
                                      " (SELECT count(*) FROM sqlite_master)")) &&
            query.next()) {
            const qint64 application = query.value(0).toLongLong();
            *version = query.value(1).toLongLong();
            const qint64 tables = query.value(2).toLongLong();
            if (application == kHistoryApplicationId)
                return *version > kHistorySchema ? Found::Newer : Found::Ours;
            return application != 0 || tables > 0 ? Found::Foreign : Found::Empty;
        }
        // SQLITE_CORRUPT (11) and SQLITE_NOTADB (26): the file itself is at fault.
        const QString code = query.lastError().nativeErrorCode();
        if (code == QLatin1String("11") || code == QLatin1String("26"))
            return Found::Damaged;
        *problem = query.lastError().text();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return Found::Locked;
}

bool configure(QSqlDatabase &db, QString *problem)
{
    QSqlQuery mode(db);
    if (!mode.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !mode.next()) {
        *problem = mode.lastError().text();
        return false;
    }
    // A reader that held the new file at that moment keeps it in its old mode, where
    // writers and readers wait for each other: said, and tried again by the writer.
    if (mode.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0) {
        *problem = QCoreApplication::translate(
            "dialkite", "the history is locked: it could not be put in WAL mode");
        return false;
    }
    // WAL with synchronous NORMAL: a commit survives the program being killed.
    return sql::exec(db, QStringLiteral("PRAGMA synchronous=NORMAL"), problem) &&
           sql::exec(db, QStringLiteral("PRAGMA foreign_keys=ON"), problem);
}

bool rollback(QSqlDatabase &db)
{
    QString ignored;
    sql::exec(db, QStringLiteral("ROLLBACK"), &ignored);
    return false;
}

// ---- PostgreSQL ----

// Every program that opens the history takes this lock for each step of the schema, so
// that collectors starting together make it once.
constexpr qint64 kSchemaLock = kHistoryApplicationId;

std::optional<qint64> postgresVersion(QSqlDatabase &db)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT version FROM dialkite_schema")) || !query.next())
        return std::nullopt;
    return query.value(0).toLongLong();
}

// pg_trgm's index on the digits, when the extension can be had; a notice otherwise.
bool numberIndex(QSqlDatabase &db, QString *notice, QString *problem)
{
    if (!sql::exec(db, QStringLiteral("SAVEPOINT number_index"), problem))
        return false;
    QString why;
    if (sql::exec(db, QStringLiteral("CREATE EXTENSION IF NOT EXISTS pg_trgm"), &why) &&
        sql::exec(
            db,
            QStringLiteral("CREATE INDEX events_digits ON events USING gin (digits gin_trgm_ops)"),
            &why))
        return sql::exec(db, QStringLiteral("RELEASE SAVEPOINT number_index"), problem);
    *notice = QCoreApplication::translate(
                  "dialkite", "no pg_trgm here (%1): a search by part of a number reads every row")
                  .arg(why.trimmed());
    return sql::exec(db, QStringLiteral("ROLLBACK TO SAVEPOINT number_index"), problem);
}

// The schema version of a PostgreSQL history, read under the schema lock inside the
// transaction the caller began; nothing (and `problem`) when it is not ours to change.
std::optional<qint64> lockedPostgresVersion(QSqlDatabase &db, QString *problem)
{
    QSqlQuery tables(db);
    if (!sql::exec(db, QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kSchemaLock),
                   problem) ||
        !tables.exec(QStringLiteral("SELECT to_regclass('dialkite_schema') IS NOT NULL,"
                                    " to_regclass('events') IS NOT NULL")) ||
        !tables.next()) {
        if (problem->isEmpty())
            *problem = tables.lastError().text();
        return std::nullopt;
    }
    if (!tables.value(0).toBool()) {
        if (!tables.value(1).toBool())
            return 0;
        *problem = QCoreApplication::translate(
            "dialkite", "the database holds another program's events; this one"
                        " leaves it as it is");
        return std::nullopt;
    }
    const auto current = postgresVersion(db);
    if (!current)
        *problem = QCoreApplication::translate("dialkite", "cannot read the schema version");
    else if (*current > kHistorySchema)
        *problem = QCoreApplication::translate(
                       "dialkite", "the history was written by a newer program (schema %1);"
                                   " this one leaves it as it is")
                       .arg(*current);
    return current && *current <= kHistorySchema ? current : std::nullopt;
}

bool migratePostgres(QSqlDatabase &db, int version, QString *notice, QString *problem)
{
    for (;;) {
        if (!sql::exec(db, QStringLiteral("BEGIN"), problem))
            return false;
        const auto current = lockedPostgresVersion(db, problem);
        if (!current)
            return rollback(db);
        if (*current >= version)
            return sql::exec(db, QStringLiteral("COMMIT"), problem);
        bool ok = true;
        for (const char *statement : kPostgresMigrations[size_t(*current)]) {
            ok = ok &&
                 (statement == kNumberIndex ? numberIndex(db, notice, problem)
                                            : sql::exec(db, QString::fromUtf8(statement), problem));
        }
        ok = ok &&
             sql::exec(db,
                       QStringLiteral("UPDATE dialkite_schema SET version = %1").arg(*current + 1),
                       problem) &&
             sql::exec(db, QStringLiteral("COMMIT"), problem);
        if (!ok)
            return rollback(db);
    }
}

QString moveAside(const QString &path, QString *problem)
{
    const QString aside = path + QLatin1Char('.') +
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")) +
                          QStringLiteral(".unusable");
    for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        if (QFile::exists(path + suffix) && !QFile::rename(path + suffix, aside + suffix)) {
            *problem =
                QCoreApplication::translate("dialkite", "cannot move %1 aside").arg(path + suffix);
            return {};
        }
    }
    return aside;
}

} // namespace

bool openPostgresHistory(const HistoryLocation &location, const QString &name, QString *notice,
                         QString *problem)
{
    if (!connectHistory(location, name, false, problem))
        return false;
    QSqlDatabase db = QSqlDatabase::database(name, false);
    return migratePostgres(db, kHistorySchema, notice, problem);
}

bool migrateHistory(QSqlDatabase &db, int version, QString *problem)
{
    if (version > int(kMigrations.size())) {
        *problem = QCoreApplication::translate("dialkite", "no schema %1").arg(version);
        return false;
    }
    if (dialectOf(db) == Dialect::Postgres) {
        QString notice;
        return migratePostgres(db, version, &notice, problem);
    }
    // Each step takes the write lock first and looks at the version under it: another
    // console opening the same new file at the same moment waits, then finds the step
    // done.
    for (;;) {
        if (!sql::exec(db, QStringLiteral("BEGIN IMMEDIATE"), problem))
            return false;
        const auto current = pragma(db, "user_version");
        if (!current) {
            *problem = QCoreApplication::translate("dialkite", "cannot read the schema version");
            return rollback(db);
        }
        if (*current >= version)
            return sql::exec(db, QStringLiteral("COMMIT"), problem);
        bool ok = true;
        for (const char *statement : kMigrations[size_t(*current)])
            ok = ok && sql::exec(db, QString::fromUtf8(statement), problem);
        ok = ok &&
             sql::exec(db, QStringLiteral("PRAGMA application_id=%1").arg(kHistoryApplicationId),
                       problem) &&
             sql::exec(db, QStringLiteral("PRAGMA user_version=%1").arg(*current + 1), problem) &&
             sql::exec(db, QStringLiteral("COMMIT"), problem);
        if (!ok)
            return rollback(db);
    }
}

bool openHistory(const QString &path, const QString &name, QString *moved, QString *problem)
{
    if (isPostgres(path)) {
        const auto location = historyLocation(path, problem);
        if (!location)
            return false;
        // A database is never moved aside: what it cannot be used for is said.
        if (openPostgresHistory(*location, name, moved, problem))
            return true;
        *problem = location->shown() + QStringLiteral(": ") + *problem;
        return false;
    }
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath())) {
        *problem = QCoreApplication::translate("dialkite", "cannot make the folder %1")
                       .arg(info.absolutePath());
        return false;
    }
    HistoryLocation location;
    location.file = path;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!connectHistory(location, name, false, problem))
            return false;
        QSqlDatabase db = QSqlDatabase::database(name, false);
        qint64 version = 0;
        const Found found = inspect(db, &version, problem);
        switch (found) {
        case Found::Locked:
            return false; // locked for too long: left alone, the problem says why
        case Found::Newer:
            // Never moved aside, so that going back to an older program cannot hide it.
            *problem = QStringLiteral("%1 was written by a newer program (schema %2); this one"
                                      " leaves it as it is and keeps no history")
                           .arg(path)
                           .arg(version);
            return false;
        case Found::Ours:
        case Found::Empty:
            // A failure now is the disk's, not the file's: it stays where it is.
            return configure(db, problem) && migrateHistory(db, kHistorySchema, problem);
        case Found::Foreign:
            // Another program's: it would break if its file were moved. Left as it is.
            *problem = QStringLiteral("%1 is a database of another program; this one leaves it"
                                      " as it is and keeps no history there (give the history"
                                      " a file of its own)")
                           .arg(path);
            return false;
        case Found::Damaged:
            break;
        }
        db = QSqlDatabase();
        closeConnection(name);
        if (attempt > 0)
            break;
        const QString aside = moveAside(path, problem);
        if (aside.isEmpty())
            return false;
        *moved = QStringLiteral("%1 was not an SQLite database or damaged; it was moved to %2 and"
                                " a new history started")
                     .arg(path, aside);
    }
    *problem = QCoreApplication::translate("dialkite", "cannot start a history at %1").arg(path);
    return false;
}

bool indexNumbers(QSqlDatabase &db, QString *problem)
{
    if (dialectOf(db) != Dialect::Sqlite)
        return true;
    if (!sql::exec(db, QStringLiteral("BEGIN IMMEDIATE"), problem))
        return false;
    const bool ok =
        sql::exec(db,
                  QStringLiteral("INSERT INTO numbers(rowid, digits) SELECT id, digits FROM events"
                                 " WHERE id > (SELECT up_to FROM number_index)"),
                  problem) &&
        sql::exec(db,
                  QStringLiteral("UPDATE number_index SET up_to ="
                                 " (SELECT coalesce(max(id), 0) FROM events)"),
                  problem) &&
        sql::exec(db, QStringLiteral("COMMIT"), problem);
    return ok || rollback(db);
}

FileKind inspectFile(QSqlDatabase &db, qint64 *version)
{
    const qint64 application = pragma(db, "application_id").value_or(0);
    *version = pragma(db, "user_version").value_or(0);
    if (application == kHistoryApplicationId)
        return *version > kHistorySchema ? FileKind::NewerHistory : FileKind::History;
    QSqlQuery tables(db);
    const bool empty = tables.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) &&
                       tables.next() && tables.value(0).toLongLong() == 0;
    return application == 0 && empty ? FileKind::Empty : FileKind::Other;
}

} // namespace dialkite
