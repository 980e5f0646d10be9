#include "conflicts.h"

#include "connection.h"
#include "statements.h"

#include "console/notation.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QSqlError>

namespace dialkite {

namespace {

// What the events of one id must agree on to be the same event.
enum Field { Id, Kind, Line, BoxTime, PcUtc, Digits, Status, Number, Colour, Variant, Detail };

bool sameContent(const QSqlQuery &stored, const EventRow &row)
{
    const auto text = [&stored](Field field) { return stored.value(field).toString(); };
    return text(Kind) == row.kind && text(Line) == row.line && text(BoxTime) == row.boxTime &&
           stored.value(PcUtc).toLongLong() == row.pcUtc && text(Digits) == row.digits &&
           text(Status) == row.status && text(Number) == row.number && text(Colour) == row.colour &&
           text(Variant) == row.variant && text(Detail) == row.detail;
}

// The id the second event of a pair is kept under: the same for the same content, so that
// it is kept once however often it comes.
QString conflictId(const EventRow &row)
{
    QCryptographicHash digest(QCryptographicHash::Sha256);
    for (const QString &field :
         {row.kind, row.line, row.boxTime, QString::number(row.pcUtc), row.digits, row.status,
          row.number, row.colour, row.variant, row.detail}) {
        digest.addData(field.toUtf8());
        digest.addData(QByteArrayView("\x1f", 1));
    }
    return row.eventId + QStringLiteral("#conflict-") +
           QString::fromLatin1(digest.result().toHex().left(16));
}

} // namespace

void ConflictKeeper::prepare(const QSqlDatabase &db)
{
    forget();
    m_db = db;
}

void ConflictKeeper::forget()
{
    m_stored.reset();
    m_idOf.reset();
    m_mark.reset();
}

bool ConflictKeeper::check(const EventRow &row, const QString &pcTime, QSqlQuery &insert,
                           QStringList *told, QString *problem)
{
    if (!m_stored) {
        m_stored = std::make_unique<QSqlQuery>(m_db);
        m_stored->prepare(QStringLiteral(
            "SELECT id, kind, line, box_time, pc_utc, digits, status, number, colour, variant,"
            " detail FROM events WHERE event_id = ?"));
        m_idOf = std::make_unique<QSqlQuery>(m_db);
        m_idOf->prepare(QStringLiteral("SELECT id FROM events WHERE event_id = ?"));
        m_mark = std::make_unique<QSqlQuery>(m_db);
        m_mark->prepare(QStringLiteral("INSERT INTO conflicts (event_id, box, kept, other, pc_utc)"
                                       " VALUES (?, ?, ?, ?, ?)"));
    }
    if (!sql::run(*m_stored, {row.eventId}, problem))
        return false;
    const bool found = m_stored->next();
    const bool same = found && sameContent(*m_stored, row);
    const qint64 kept = found ? m_stored->value(Id).toLongLong() : 0;
    m_stored->finish();
    if (!found || same)
        return true; // sent again
    EventRow other = row;
    other.eventId = conflictId(row);
    statements::bindEvent(insert, other, pcTime);
    if (!insert.exec()) {
        *problem = insert.lastError().text();
        return false;
    }
    if (insert.numRowsAffected() <= 0)
        return true; // this other content was kept before
    // Found by its id: the engines tell the row just inserted in ways of their own.
    if (!sql::run(*m_idOf, {other.eventId}, problem))
        return false;
    const qint64 second = m_idOf->next() ? m_idOf->value(0).toLongLong() : 0;
    m_idOf->finish();
    if (!sql::run(*m_mark, {row.eventId, sql::text(row.box), kept, second, row.pcUtc}, problem))
        return false;
    told->append(QCoreApplication::translate(
                     "dialkite", "box %1: event %2 came again with other content (%3 %4); both"
                                 " are kept and marked as a conflict")
                     .arg(visibleControls(row.box), visibleControls(row.eventId),
                          visibleControls(row.kind), visibleControls(row.number)));
    return true;
}

} // namespace dialkite
