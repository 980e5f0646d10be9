#pragma once

// The statements that put events and deliveries into a history, shared by the writer
// and the copy to a database server, in each engine's words.

#include "location.h"
#include "rows.h"

#include <QString>

class QSqlQuery;

namespace dialkite::statements {

// An event into `events`; one whose id is there already is left out (sent again by its
// publisher, copied again).
QString insertEvent(Dialect dialect);
// Binds `row` to a prepared insertEvent(); `pcTime` is its local time as text.
void bindEvent(QSqlQuery &insert, const EventRow &row, const QString &pcTime);
// How far a publisher's events are stored (box, instance, up to): never lowered, since
// another collector of the same history, or a copy, may have got further.
QString keepDelivery(Dialect dialect);

} // namespace dialkite::statements
