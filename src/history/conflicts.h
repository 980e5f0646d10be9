#pragma once

// Two events with one id: a publisher sent it again (the same content: nothing to do), or
// somebody else published under its id (other content). The second is never dropped as
// "already stored": it is kept beside the first under an id of its own, and the pair is
// marked as a conflict, so that a forged event cannot take a real call's place unseen.

#include "location.h"
#include "rows.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <memory>

namespace dialkite {

class ConflictKeeper {
public:
    void prepare(const QSqlDatabase &db);
    void forget();
    // After `row` (with a publisher's id) was left out of `events` as a repeat, inside the
    // same transaction: keeps it and marks the pair when its content differs from what is
    // stored under that id; `told` gets a sentence for the operator then. False (and
    // `problem`) when a statement failed.
    bool check(const EventRow &row, const QString &pcTime, QSqlQuery &insert, QStringList *told,
               QString *problem);

private:
    QSqlDatabase m_db;
    std::unique_ptr<QSqlQuery> m_stored, m_idOf, m_mark;
};

} // namespace dialkite
