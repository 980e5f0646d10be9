#include "reader.h"

#include "connection.h"
#include "schema.h"

#include "platform/fileowner.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace dialkite {

namespace {

// The columns a search reads, in the order of CallRow's fields.
enum CallField {
    Id,
    PcUtc,
    PcTime,
    Box,
    Line,
    BoxTime,
    Number,
    Digits,
    Status,
    Colour,
    Variant,
    DeviceName,
    Port,
    Device,
    Kind,
    Detail,
    Name,
    Conflict,
};
const char kCallFields[] = "id, pc_utc, pc_time, box, line, box_time, number, digits, status,"
                           " colour, variant, device_name, port, device, kind, detail";
// Whether the event is one of a pair of one id (a history that marks them; else never).
const char kConflict[] = "EXISTS (SELECT 1 FROM conflicts c WHERE c.kept = events.id OR"
                         " c.other = events.id)";
const char kNoConflict[] = "0 = 1";

struct Search {
    QString sql;
    QVariantList values;
};

// `text` anywhere, as LIKE takes it: its own % _ and \\ stand for themselves.
QString likePattern(const QString &text)
{
    QString pattern = text;
    pattern.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
        .replace(QLatin1Char('%'), QStringLiteral("\\%"))
        .replace(QLatin1Char('_'), QStringLiteral("\\_"));
    return QLatin1Char('%') + pattern + QLatin1Char('%');
}

// Any three or more digits anywhere in a number: the trigram index of an SQLite history,
// pg_trgm's (which serves LIKE itself) on PostgreSQL; fewer digits, or text, by reading.
void numberCondition(const QString &text, Dialect dialect, int schema, QStringList *where,
                     QVariantList *values)
{
    QString digits;
    for (const QChar c : text) {
        if (c.isDigit() && c.unicode() < 128)
            digits += c;
    }
    if (digits.size() >= 3 && dialect == Dialect::Sqlite && schema >= kBatchedNumberIndex) {
        // The index, and the few events after what it holds.
        *where << QStringLiteral("id IN (SELECT rowid FROM numbers WHERE numbers MATCH ?"
                                 " UNION ALL SELECT id FROM events WHERE id >"
                                 " (SELECT up_to FROM number_index) AND digits LIKE ?)");
        *values << QLatin1Char('"') + digits + QLatin1Char('"')
                << QLatin1Char('%') + digits + QLatin1Char('%');
    } else if (digits.size() >= 3 && dialect == Dialect::Sqlite) {
        *where << QStringLiteral("id IN (SELECT rowid FROM numbers WHERE numbers MATCH ?)");
        *values << QLatin1Char('"') + digits + QLatin1Char('"');
    } else if (!digits.isEmpty()) {
        *where << QStringLiteral("digits LIKE ?");
        *values << QLatin1Char('%') + digits + QLatin1Char('%');
    } else if (!text.isEmpty()) {
        // Text: what the log shows for a call without digits, or the caller's name.
        if (schema >= kContacts) {
            *where << QStringLiteral("(number LIKE ? ESCAPE '\\' OR name LIKE ? ESCAPE '\\')");
            *values << likePattern(text) << likePattern(text);
        } else {
            *where << QStringLiteral("number LIKE ? ESCAPE '\\'");
            *values << likePattern(text);
        }
    }
}

// Any part of the caller's name; an older history has none.
void nameCondition(const QString &text, int schema, QStringList *where, QVariantList *values)
{
    if (text.isEmpty())
        return;
    if (schema < kContacts) {
        *where << QStringLiteral("0 = 1");
        return;
    }
    *where << QStringLiteral("name LIKE ? ESCAPE '\\'");
    *values << likePattern(text);
}

// The search `filter` makes; with `count`, how many calls it finds instead.
Search searchOf(const HistoryFilter &filter, Dialect dialect, int schema, bool count = false)
{
    const bool marked = schema >= kConflictsKept;
    QStringList where;
    QVariantList values;
    if (filter.callsOnly)
        where << QStringLiteral("kind = 'call'");
    numberCondition(filter.number.trimmed(), dialect, schema, &where, &values);
    nameCondition(filter.name.trimmed(), schema, &where, &values);
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
    QString sql = count ? QStringLiteral("SELECT COUNT(*) FROM events")
                        : QStringLiteral("SELECT %1, %2, %3 FROM events")
                              .arg(QLatin1String(kCallFields),
                                   schema >= kContacts ? QStringLiteral("name")
                                                       : QStringLiteral("''"),
                                   QLatin1String(marked ? kConflict : kNoConflict));
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));
    if (count)
        return {sql, values};
    sql += QStringLiteral(" ORDER BY pc_utc DESC, id DESC");
    if (filter.limit > 0)
        sql += QStringLiteral(" LIMIT %1").arg(filter.limit);
    if (filter.offset > 0)
        sql +=
            QStringLiteral("%1 OFFSET %2")
                .arg(filter.limit > 0 || dialect == Dialect::Postgres ? QString()
                                                                      : QStringLiteral(" LIMIT -1"))
                .arg(filter.offset);
    return {sql, values};
}

QString text(const QSqlQuery &query, int field)
{
    return query.value(field).toString();
}

} // namespace

CallCursor::CallCursor(std::unique_ptr<QSqlQuery> query)
    : m_query(std::move(query))
{}

CallCursor::~CallCursor() = default;

bool CallCursor::next(CallRow *row)
{
    if (!m_query->next())
        return false;
    const QSqlQuery &q = *m_query;
    row->id = q.value(Id).toLongLong();
    row->pcUtc = q.value(PcUtc).toLongLong();
    row->pcTime = text(q, PcTime);
    row->box = text(q, Box);
    row->line = text(q, Line);
    row->boxTime = text(q, BoxTime);
    row->number = text(q, Number);
    row->digits = text(q, Digits);
    row->status = text(q, Status);
    row->colour = text(q, Colour);
    row->variant = text(q, Variant);
    row->deviceName = text(q, DeviceName);
    row->port = text(q, Port);
    row->device = text(q, Device);
    row->kind = text(q, Kind);
    row->detail = text(q, Detail);
    row->name = text(q, Name);
    row->conflict = q.value(Conflict).toBool();
    return true;
}

HistoryReader::HistoryReader(QString path)
    : m_path(std::move(path))
    , m_connection(uniqueConnectionName(QStringLiteral("history-reader")))
{}

HistoryReader::~HistoryReader()
{
    closeConnection(m_connection);
}

HistoryReader::Status HistoryReader::open(QString *problem)
{
    if (QSqlDatabase::database(m_connection, false).isOpen()) {
        // A file deleted or replaced since: what the connection reads is not at the path.
        if (m_dialect == Dialect::Postgres || platform::fileIdentity(m_path) == m_identity)
            return Status::Ready;
        QSqlDatabase::database(m_connection, false).close();
    }
    const auto location = historyLocation(m_path, problem);
    if (!location)
        return Status::Failed;
    m_dialect = location->dialect;
    // A history file not made yet (nothing stored so far) has nothing to show.
    if (!location->isPostgres() && !QFileInfo::exists(location->file))
        return Status::Missing;
    if (!connectHistory(*location, m_connection, true, problem)) {
        *problem = QCoreApplication::translate("dialkite", "cannot open %1: %2")
                       .arg(location->shown(), *problem);
        return Status::Failed;
    }
    if (m_dialect == Dialect::Sqlite)
        m_identity = platform::fileIdentity(m_path);
    // What is there: ours (an older history's number index holds every event as it is
    // stored, and it marks no conflicts), nothing yet, or another program's database.
    const Status status = m_dialect == Dialect::Sqlite ? inspectSqlite(*location, problem)
                                                       : inspectPostgres(*location, problem);
    if (status != Status::Ready)
        QSqlDatabase::database(m_connection, false).close();
    return status;
}

HistoryReader::Status HistoryReader::inspectSqlite(const HistoryLocation &location,
                                                   QString *problem)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    qint64 version = 0;
    switch (inspectFile(db, &version)) {
    case FileKind::History:
        m_schema = int(version);
        return Status::Ready;
    case FileKind::Empty:
        return Status::Missing;
    case FileKind::NewerHistory:
        *problem = QStringLiteral("%1 was written by a newer version of this program (history"
                                  " version %2; this one reads up to %3)")
                       .arg(location.shown())
                       .arg(version)
                       .arg(kHistorySchema);
        return Status::Failed;
    case FileKind::Other:
        break;
    }
    *problem = QStringLiteral("%1 is another program's database (or not a database), not a call"
                              " history; it is left as it is")
                   .arg(location.shown());
    return Status::Failed;
}

HistoryReader::Status HistoryReader::inspectPostgres(const HistoryLocation &location,
                                                     QString *problem)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery version(db);
    if (version.exec(QStringLiteral("SELECT version FROM dialkite_schema")) && version.next()) {
        m_schema = version.value(0).toInt();
        return Status::Ready;
    }
    QSqlQuery tables(db);
    const bool empty = tables.exec(QStringLiteral("SELECT count(*) FROM information_schema.tables"
                                                  " WHERE table_schema = current_schema()")) &&
                       tables.next() && tables.value(0).toLongLong() == 0;
    if (empty)
        return Status::Missing;
    *problem = QCoreApplication::translate(
                   "dialkite", "the database %1 holds another program's tables and no call"
                               " history; it is left as it is")
                   .arg(location.shown());
    return Status::Failed;
}

void HistoryReader::reset()
{
    if (m_dialect == Dialect::Postgres)
        QSqlDatabase::database(m_connection, false).close();
}

bool HistoryReader::prepared(QSqlQuery &query, const QString &statement, const QVariantList &values,
                             QString *problem)
{
    query.setForwardOnly(true);
    if (!query.prepare(statement)) {
        *problem = query.lastError().text();
        return false;
    }
    return sql::run(query, values, problem);
}

std::unique_ptr<CallCursor> HistoryReader::calls(const HistoryFilter &filter, QString *problem)
{
    if (open(problem) != Status::Ready)
        return nullptr;
    const Search search = searchOf(filter, m_dialect, m_schema);
    auto query = std::make_unique<QSqlQuery>(QSqlDatabase::database(m_connection, false));
    if (!prepared(*query, search.sql, search.values, problem))
        return nullptr;
    return std::make_unique<CallCursor>(std::move(query));
}

std::optional<qint64> HistoryReader::countCalls(const HistoryFilter &filter, QString *problem)
{
    if (open(problem) != Status::Ready)
        return std::nullopt;
    const Search search = searchOf(filter, m_dialect, m_schema, true);
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (!prepared(query, search.sql, search.values, problem) || !query.next())
        return std::nullopt;
    return query.value(0).toLongLong();
}

bool HistoryReader::eachCall(const HistoryFilter &filter,
                             const std::function<void(const CallRow &)> &each, QString *problem)
{
    const auto cursor = calls(filter, problem);
    if (!cursor)
        return false;
    CallRow row;
    while (cursor->next(&row))
        each(row);
    return true;
}

bool HistoryReader::eachRun(int limit, const std::function<void(const RunRow &)> &each,
                            QString *problem)
{
    if (open(problem) != Status::Ready)
        return false;
    enum {
        Id,
        PcTime,
        Suite,
        Verdict,
        Passed,
        Failed,
        Duration,
        BoxName,
        BoxVersion,
        Variant,
        Device,
        Capture,
        Attempt
    };
    // An older history knows no attempts: each run was the only one.
    QString statement =
        QStringLiteral("SELECT id, pc_time, suite, verdict, passed, failed, duration_ms, box_name, "
                       "box_version,"
                       " variant, device, capture, %1 FROM runs ORDER BY started_utc DESC, id DESC")
            .arg(m_schema >= kRunSteps ? QStringLiteral("attempt") : QStringLiteral("1"));
    if (limit > 0)
        statement += QStringLiteral(" LIMIT %1").arg(limit);
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (!prepared(query, statement, {}, problem))
        return false;
    while (query.next()) {
        RunRow row;
        row.id = query.value(Id).toLongLong();
        row.pcTime = text(query, PcTime);
        row.suite = text(query, Suite);
        row.verdict = text(query, Verdict);
        row.passed = query.value(Passed).toInt();
        row.failed = query.value(Failed).toInt();
        row.durationMs = query.value(Duration).toLongLong();
        row.boxName = text(query, BoxName);
        row.boxVersion = text(query, BoxVersion);
        row.variant = text(query, Variant);
        row.device = text(query, Device);
        row.capture = text(query, Capture);
        row.attempt = query.value(Attempt).toInt();
        each(row);
    }
    return true;
}

bool HistoryReader::eachStep(qint64 run, const std::function<void(const RunStep &)> &each,
                             QString *problem)
{
    if (open(problem) != Status::Ready)
        return false;
    if (m_schema < kRunSteps)
        return true; // an older history kept no steps
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (!prepared(
            query,
            QStringLiteral("SELECT line, step, verdict, measured_ms, limit_ms, message, answer"
                           " FROM run_steps WHERE run_id = ? ORDER BY line"),
            {run}, problem))
        return false;
    while (query.next()) {
        RunStep step;
        step.line = query.value(0).toInt();
        step.step = text(query, 1);
        step.verdict = text(query, 2);
        step.measuredMs = query.value(3).toLongLong();
        step.limitMs = query.value(4).toLongLong();
        step.message = text(query, 5);
        step.answer = text(query, 6);
        each(step);
    }
    return true;
}

bool HistoryReader::anyBox()
{
    QString problem;
    if (open(&problem) != Status::Ready)
        return false;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    return query.exec(QStringLiteral("SELECT EXISTS (SELECT 1 FROM events WHERE box != '')")) &&
           query.next() && query.value(0).toBool();
}

std::optional<std::vector<BoxSummary>> HistoryReader::boxes(qint64 sinceUtcMs, QString *problem)
{
    if (open(problem) != Status::Ready)
        return std::nullopt;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (!prepared(query,
                  QStringLiteral(
                      "SELECT box, (SELECT kind FROM events e2 WHERE e2.box = e.box ORDER BY"
                      " pc_utc DESC, id DESC LIMIT 1), max(pc_time), (SELECT variant FROM events"
                      " e3 WHERE e3.box = e.box ORDER BY pc_utc DESC, id DESC LIMIT 1), (SELECT"
                      " detail FROM events e4 WHERE e4.box = e.box AND kind = 'identification'"
                      " ORDER BY pc_utc DESC, id DESC LIMIT 1), sum(CASE WHEN kind = 'call' AND"
                      " pc_utc >= ? THEN 1 ELSE 0 END) FROM events e GROUP BY box"),
                  {sinceUtcMs}, problem)) {
        reset();
        return std::nullopt;
    }
    enum { Name, LastKind, LastTime, LastVariant, Identification, Calls };
    std::vector<BoxSummary> boxes;
    while (query.next())
        boxes.push_back({text(query, Name), text(query, LastKind), text(query, LastTime),
                         text(query, LastVariant), text(query, Identification),
                         query.value(Calls).toInt()});
    return boxes;
}

std::optional<std::map<int, int>> HistoryReader::callsPerHour(qint64 fromUtcMs, const QString &box,
                                                              const QString &line, QString *problem)
{
    if (open(problem) != Status::Ready)
        return std::nullopt;
    QString statement = QStringLiteral("SELECT (pc_utc - ?) / 3600000, count(*) FROM events"
                                       " WHERE kind = 'call' AND pc_utc >= ?");
    QVariantList values{fromUtcMs, fromUtcMs};
    if (!box.isEmpty()) {
        statement += QStringLiteral(" AND box = ?");
        values << box;
    }
    if (!line.isEmpty()) {
        statement += QStringLiteral(" AND ltrim(line, '0') = ltrim(?, '0')");
        values << line;
    }
    statement += QStringLiteral(" GROUP BY 1");
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (!prepared(query, statement, values, problem)) {
        reset();
        return std::nullopt;
    }
    std::map<int, int> counts;
    while (query.next())
        counts[query.value(0).toInt()] = query.value(1).toInt();
    return counts;
}

} // namespace dialkite
