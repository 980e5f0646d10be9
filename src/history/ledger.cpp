#include "ledger.h"

#include "connection.h"
#include "statements.h"

#include <QSqlError>

namespace dialkite {

void DeliveryLedger::prepare(const QSqlDatabase &db)
{
    forget();
    m_db = db;
    m_dialect = dialectOf(db);
}

void DeliveryLedger::forget()
{
    m_upTo.reset();
    m_has.reset();
    m_keep.reset();
    m_turn.reset();
}

void DeliveryLedger::note(const EventRow &row, Touched *touched)
{
    if (row.seq <= 0)
        return;
    auto &[first, top] = (*touched)[{row.box, row.instance}];
    first = std::max(first, row.first);
    top = std::max(top, row.seq);
}

bool DeliveryLedger::advance(const Touched &touched, std::vector<Stored> *stored, QString *problem)
{
    if (touched.empty())
        return true;
    if (!m_upTo) {
        m_upTo = std::make_unique<QSqlQuery>(m_db);
        m_upTo->prepare(
            QStringLiteral("SELECT stored_up_to FROM deliveries WHERE box = ? AND instance = ?"));
        m_has = std::make_unique<QSqlQuery>(m_db);
        m_has->prepare(QStringLiteral("SELECT 1 FROM events WHERE event_id = ?"));
        m_keep = std::make_unique<QSqlQuery>(m_db);
        m_keep->prepare(statements::keepDelivery(m_dialect));
        if (m_dialect == Dialect::Postgres) {
            // Collectors sharing the history take turns per publisher here, so that each
            // sees what the other committed (the keys in one order: no deadlock).
            m_turn = std::make_unique<QSqlQuery>(m_db);
            m_turn->prepare(QStringLiteral("SELECT pg_advisory_xact_lock(hashtext(?))"));
        }
    }
    for (const auto &[key, range] : touched) {
        const auto &[box, instance] = key;
        if (m_turn) {
            if (!sql::run(*m_turn, {box + QLatin1Char('\n') + instance}, problem))
                return false;
            m_turn->finish();
        }
        qint64 upTo = 0;
        if (!stepUp(box, instance, range.first, &upTo, problem))
            return false;
        stored->push_back({box, instance, upTo, range.second});
    }
    return true;
}

bool DeliveryLedger::stepUp(const QString &box, const QString &instance, qint64 first, qint64 *upTo,
                            QString *problem)
{
    if (!sql::run(*m_upTo, {box, instance}, problem))
        return false;
    const qint64 before = m_upTo->next() ? m_upTo->value(0).toLongLong() : 0;
    m_upTo->finish();
    *upTo = std::max(before, first - 1);
    const QString prefix = box + QLatin1Char(':') + instance + QLatin1Char(':');
    for (;;) {
        if (!sql::run(*m_has, {prefix + QString::number(*upTo + 1)}, problem))
            return false;
        const bool there = m_has->next();
        m_has->finish();
        if (!there)
            break;
        ++*upTo;
    }
    return *upTo == before || sql::run(*m_keep, {box, instance, *upTo}, problem);
}

} // namespace dialkite
