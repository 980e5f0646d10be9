#include "statements.h"

#include "connection.h"

#include <QSqlQuery>

namespace dialkite::statements {

QString insertEvent(Dialect dialect)
{
    const bool postgres = dialect == Dialect::Postgres;
    return QStringLiteral(
               "INSERT %1 INTO events (kind, box, line, box_time, pc_utc, pc_time,"
               " digits, status, number, colour, variant, device_name, device_version,"
               " port, device, record, detail, event_id, name) VALUES (?, ?, ?, ?, ?, ?, ?, ?,"
               " ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)%2")
        .arg(postgres ? QString() : QStringLiteral("OR IGNORE"),
             postgres ? QStringLiteral(" ON CONFLICT DO NOTHING") : QString());
}

void bindEvent(QSqlQuery &insert, const EventRow &row, const QString &pcTime)
{
    // In the order of insertEvent()'s columns.
    int at = 0;
    const auto bind = [&](const QVariant &value) { insert.bindValue(at++, value); };
    bind(sql::text(row.kind));
    bind(sql::text(row.box));
    bind(sql::text(row.line));
    bind(sql::text(row.boxTime));
    bind(row.pcUtc);
    bind(sql::text(pcTime));
    bind(sql::text(row.digits));
    bind(sql::text(row.status));
    bind(sql::text(row.number));
    bind(sql::text(row.colour));
    bind(sql::text(row.variant));
    bind(sql::text(row.deviceName));
    bind(sql::text(row.deviceVersion));
    bind(sql::text(row.port));
    bind(sql::text(row.device));
    bind(row.record);
    bind(sql::text(row.detail));
    // No id is NULL, which the unique index lets repeat.
    bind(row.eventId.isEmpty() ? QVariant() : QVariant(row.eventId));
    bind(sql::text(row.name));
}

QString keepDelivery(Dialect dialect)
{
    return QStringLiteral("INSERT INTO deliveries (box, instance, stored_up_to) VALUES (?, ?, ?)"
                          " ON CONFLICT(box, instance) DO UPDATE SET stored_up_to ="
                          " %1(deliveries.stored_up_to, excluded.stored_up_to)")
        .arg(dialect == Dialect::Postgres ? QStringLiteral("greatest") : QStringLiteral("max"));
}

} // namespace dialkite::statements
