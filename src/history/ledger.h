#pragma once

// The delivery ledger: how far each publisher's events of each box are stored without a
// gap. A collector confirms that much to the publisher, which may then forget them; the
// ledger is kept in the same transaction as the events, so a confirmation never runs
// ahead of what is committed.

#include "location.h"
#include "rows.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <map>
#include <memory>
#include <vector>

namespace dialkite {

class DeliveryLedger {
public:
    // The statements on `db` as it is now (again after a reconnection).
    void prepare(const QSqlDatabase &db);
    void forget();
    // The publishers a batch of rows touches: (box, instance) -> (first, top).
    using Touched = std::map<std::pair<QString, QString>, std::pair<qint64, qint64>>;
    static void note(const EventRow &row, Touched *touched);
    // After the rows were inserted, inside their transaction: how far each publisher among
    // them is now stored, from what was kept (or the lowest sequence the publisher still
    // holds), on while the next id is there. False (and `problem`) when a statement failed.
    bool advance(const Touched &touched, std::vector<Stored> *stored, QString *problem);

private:
    bool stepUp(const QString &box, const QString &instance, qint64 first, qint64 *upTo,
                QString *problem);

    QSqlDatabase m_db;
    Dialect m_dialect = Dialect::Sqlite;
    std::unique_ptr<QSqlQuery> m_upTo, m_has, m_keep, m_turn;
};

} // namespace dialkite
