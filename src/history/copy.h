#pragma once

// Moving a history to a database server: every event, delivery and run of a history file
// copied into a PostgreSQL history. Copying again stores nothing twice: an event is known
// by its publisher's id, or by one made from what it holds.

#include <QSqlDatabase>
#include <QString>

namespace dialkite {

struct CopyCounts {
    qint64 events = 0;  // stored
    qint64 already = 0; // there before
    qint64 runs = 0;
    QString notice; // from the target's opening
};
// Copies the history file `from` into the history at `to` (a postgresql:// address, made
// or brought up to date as needed). False (and `problem`) when either cannot be used;
// what was committed stays.
bool copyHistory(const QString &from, const QString &to, CopyCounts *counts, QString *problem);
// The rows of one open history into another (each already at the current schema).
bool copyRows(QSqlDatabase from, QSqlDatabase to, CopyCounts *counts, QString *problem);

} // namespace dialkite
