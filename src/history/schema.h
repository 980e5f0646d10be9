#pragma once

// The history's schema on both engines, version for version, and how a history is opened
// for writing: made when it is new, brought up to date when it is older, left alone when
// it is a newer program's or another program's.
//
// A file that is not an SQLite database (damaged, or something else) is moved aside under
// a time-stamped name and a new history starts, with a notice; a database (another
// program's, a newer program's, a server's) is never moved nor changed: it is refused.

#include "location.h"

#include <QSqlDatabase>
#include <QString>

namespace dialkite {

// The schema's version (PRAGMA user_version) and the program's mark on its files.
inline constexpr int kHistorySchema = 8;
inline constexpr int kHistoryApplicationId = 0x444B4954; // "DKIT"

// Opens (creating or migrating as needed) the history at `path` (a file, or a
// postgresql:// address) as connection `name`. A damaged file is moved aside and a new
// history started; `moved` then names where it went (for a database server, a notice such
// as a missing number index). False (and `problem`) when it cannot be had: another
// program's database, a newer program's history, a disk or server that refuses.
bool openHistory(const QString &path, const QString &name, QString *moved, QString *problem);
// Brings an open history up to `version` (for tests of the migration path).
bool migrateHistory(QSqlDatabase &db, int version, QString *problem);
// Connects `name` to the PostgreSQL history at `location` and brings its schema up to
// date; `notice` says what it could not have (the number index).
bool openPostgresHistory(const HistoryLocation &location, const QString &name, QString *notice,
                         QString *problem);

// The schema from which an SQLite history's number index follows the events in batches.
inline constexpr int kBatchedNumberIndex = 5;
// The schema from which a history marks the events of one id with other content.
inline constexpr int kConflictsKept = 6;
// The schema from which a history keeps each step of a run.
inline constexpr int kRunSteps = 7;
// The schema from which a history holds a phonebook and each event's name.
inline constexpr int kContacts = 8;
// Puts the events after the number index's last into it, in one transaction (SQLite; a
// no-op elsewhere). False (and `problem`) when it could not, which loses nothing: a search
// reads those events directly.
bool indexNumbers(QSqlDatabase &db, QString *problem);

// What an SQLite file opened for reading is.
enum class FileKind { History, NewerHistory, Empty, Other };
// `version`: the schema of a history.
FileKind inspectFile(QSqlDatabase &db, qint64 *version);

} // namespace dialkite
