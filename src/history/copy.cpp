#include "copy.h"

#include "connection.h"
#include "schema.h"
#include "statements.h"

#include <QCryptographicHash>
#include <QSqlError>
#include <QSqlQuery>

namespace dialkite {

namespace {

constexpr int kBatch = 2000; // rows a transaction

// The columns of an event as the copy reads them.
enum EventField {
    Kind,
    Box,
    Line,
    BoxTime,
    PcUtc,
    PcTime,
    Digits,
    Status,
    Number,
    Colour,
    Variant,
    DeviceName,
    DeviceVersion,
    Port,
    Device,
    Record,
    Detail,
    EventId,
    Name,
};

EventRow eventOf(const QSqlQuery &read)
{
    const auto text = [&read](int field) { return read.value(field).toString(); };
    EventRow row;
    row.kind = text(Kind);
    row.box = text(Box);
    row.line = text(Line);
    row.boxTime = text(BoxTime);
    row.pcUtc = read.value(PcUtc).toLongLong();
    row.digits = text(Digits);
    row.status = text(Status);
    row.number = text(Number);
    row.colour = text(Colour);
    row.variant = text(Variant);
    row.deviceName = text(DeviceName);
    row.deviceVersion = text(DeviceVersion);
    row.port = text(Port);
    row.device = text(Device);
    row.record = read.value(Record).toByteArray();
    row.detail = text(Detail);
    row.eventId = text(EventId);
    row.name = text(Name);
    return row;
}

// What an event without a publisher's id (a console's own) is known by in a copy: made
// from what it holds, so that copying the same file again, or a copy of it, finds it.
QString copyId(const QSqlQuery &read)
{
    QCryptographicHash digest(QCryptographicHash::Sha256);
    for (int field = Kind; field < EventId; ++field) {
        digest.addData(read.value(field).toByteArray());
        digest.addData(QByteArrayView("\x1f", 1));
    }
    return QStringLiteral("copy:") + QString::fromLatin1(digest.result().toHex().left(32));
}

bool hasTable(QSqlDatabase &db, const char *table)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?"));
    query.addBindValue(QLatin1String(table));
    return query.exec() && query.next();
}

bool failed(QSqlDatabase &out, const QSqlQuery &query, QString *problem)
{
    *problem = query.lastError().text();
    out.rollback();
    return false;
}

bool copyEvents(QSqlDatabase &in, QSqlDatabase &out, CopyCounts *counts, QString *problem)
{
    QSqlQuery read(in);
    read.setForwardOnly(true);
    // An older history's events have no names.
    qint64 version = 0;
    inspectFile(in, &version);
    if (!read.exec(QStringLiteral(
                       "SELECT kind, box, line, box_time, pc_utc, pc_time, digits, status, number,"
                       " colour, variant, device_name, device_version, port, device, record,"
                       " detail, event_id, %1 FROM events ORDER BY id")
                       .arg(version >= kContacts ? QStringLiteral("name")
                                                 : QStringLiteral("''")))) {
        *problem = read.lastError().text();
        return false;
    }
    QSqlQuery insert(out);
    insert.prepare(statements::insertEvent(dialectOf(out)));
    bool more = read.next();
    while (more) {
        if (!out.transaction()) {
            *problem = out.lastError().text();
            return false;
        }
        for (int n = 0; n < kBatch && more; ++n, more = read.next()) {
            EventRow row = eventOf(read);
            if (row.eventId.isEmpty())
                row.eventId = copyId(read);
            statements::bindEvent(insert, row, read.value(PcTime).toString());
            if (!insert.exec())
                return failed(out, insert, problem);
            ++(insert.numRowsAffected() > 0 ? counts->events : counts->already);
        }
        if (!out.commit()) {
            *problem = out.lastError().text();
            return false;
        }
    }
    return true;
}

bool copyDeliveries(QSqlDatabase &in, QSqlDatabase &out, QString *problem)
{
    if (!hasTable(in, "deliveries"))
        return true;
    QSqlQuery deliveries(in);
    QSqlQuery keep(out);
    keep.prepare(statements::keepDelivery(dialectOf(out)));
    if (!deliveries.exec(QStringLiteral("SELECT box, instance, stored_up_to FROM deliveries")))
        return failed(out, deliveries, problem);
    while (deliveries.next()) {
        if (!sql::run(keep, {deliveries.value(0), deliveries.value(1), deliveries.value(2)},
                      problem)) {
            out.rollback();
            return false;
        }
    }
    return true;
}

// A run is the same run when it started at the same moment with the same suite on the
// same device; a run copied brings its steps.
bool copyRuns(QSqlDatabase &in, QSqlDatabase &out, CopyCounts *counts, QString *problem)
{
    if (!hasTable(in, "runs"))
        return true;
    const bool steps = hasTable(in, "run_steps");
    enum { Started, PcTime, Suite, Device, Attempt = 12, Id = 13 };
    QSqlQuery runs(in);
    QSqlQuery add(out);
    add.prepare(QStringLiteral(
        "INSERT INTO runs (started_utc, pc_time, suite, device, variant, box_name, box_version,"
        " verdict, passed, failed, duration_ms, capture, attempt) SELECT ?, ?, ?, ?, ?, ?, ?, ?,"
        " ?, ?, ?, ?, ? WHERE NOT EXISTS (SELECT 1 FROM runs WHERE started_utc = ? AND suite = ?"
        " AND device = ?) RETURNING id"));
    QSqlQuery read(in);
    read.prepare(QStringLiteral("SELECT line, step, verdict, measured_ms, limit_ms, message, answer"
                                " FROM run_steps WHERE run_id = ? ORDER BY line"));
    QSqlQuery write(out);
    write.prepare(QStringLiteral("INSERT INTO run_steps (run_id, line, step, verdict, measured_ms,"
                                 " limit_ms, message, answer) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
    if (!runs.exec(QStringLiteral("SELECT started_utc, pc_time, suite, device, variant, box_name,"
                                  " box_version, verdict, passed, failed, duration_ms, capture,"
                                  " %1, id FROM runs ORDER BY id")
                       .arg(steps ? QStringLiteral("attempt") : QStringLiteral("1"))))
        return failed(out, runs, problem);
    while (runs.next()) {
        QVariantList values;
        for (int i = 0; i <= Attempt; ++i)
            values << runs.value(i);
        values << runs.value(Started) << runs.value(Suite) << runs.value(Device);
        if (!sql::run(add, values, problem)) {
            out.rollback();
            return false;
        }
        if (!add.next())
            continue; // there already
        ++counts->runs;
        const qint64 id = add.value(0).toLongLong();
        if (steps && !sql::run(read, {runs.value(Id)}, problem)) {
            out.rollback();
            return false;
        }
        while (steps && read.next()) {
            QVariantList step{id};
            for (int i = 0; i < 7; ++i)
                step << read.value(i);
            if (!sql::run(write, step, problem)) {
                out.rollback();
                return false;
            }
        }
    }
    return true;
}

} // namespace

bool copyHistory(const QString &from, const QString &to, CopyCounts *counts, QString *problem)
{
    const ScopedConnection source(QStringLiteral("copy-from"));
    const ScopedConnection target(QStringLiteral("copy-to"));
    HistoryLocation location;
    location.file = from;
    if (!connectHistory(location, source.name(), true, problem)) {
        *problem = from + QStringLiteral(": ") + *problem;
        return false;
    }
    QSqlDatabase in = source.db();
    qint64 version = 0;
    switch (inspectFile(in, &version)) {
    case FileKind::History:
        break;
    case FileKind::NewerHistory:
        *problem = from + QStringLiteral(" was written by a newer program");
        return false;
    case FileKind::Empty:
    case FileKind::Other:
        *problem = from + QStringLiteral(" is not a call history");
        return false;
    }
    // openHistory names the database in its problem.
    if (!openHistory(to, target.name(), &counts->notice, problem))
        return false;
    return copyRows(in, target.db(), counts, problem);
}

bool copyRows(QSqlDatabase in, QSqlDatabase out, CopyCounts *counts, QString *problem)
{
    if (!copyEvents(in, out, counts, problem))
        return false;
    if (!out.transaction()) {
        *problem = out.lastError().text();
        return false;
    }
    if (!copyDeliveries(in, out, problem) || !copyRuns(in, out, counts, problem))
        return false;
    if (!out.commit()) {
        *problem = out.lastError().text();
        return false;
    }
    return true;
}

} // namespace dialkite
