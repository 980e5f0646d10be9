#pragma once

// Connections to a history through Qt SQL (QSQLITE for a file, QPSQL for a database
// server), and the few helpers every statement of the history uses. Qt names each
// connection and keeps it per thread: a connection is used on the thread that made it.

#include "location.h"

#include <QSqlDatabase>
#include <QString>
#include <QVariantList>

class QSqlQuery;

namespace dialkite {

// Opens connection `name` to the history (made by the caller or not). `readOnly`: an
// SQLite file is opened for reading only (the page, `history`). False and `problem` when
// it cannot be opened.
bool connectHistory(const HistoryLocation &location, const QString &name, bool readOnly,
                    QString *problem);
// The engine behind an open connection.
Dialect dialectOf(const QSqlDatabase &db);
// Closes connection `name` and forgets it.
void closeConnection(const QString &name);
// A connection name no other in this process has: `role` and a number.
QString uniqueConnectionName(const QString &role);

namespace sql {

// One statement without values; false and `problem` when it failed.
bool exec(QSqlDatabase &db, const QString &statement, QString *problem);
// A prepared statement run with `values` bound in order; false and `problem` when it failed.
bool run(QSqlQuery &query, const QVariantList &values, QString *problem);
// Text for a TEXT NOT NULL column: a null QString would be bound as NULL.
QVariant text(const QString &value);

} // namespace sql

// A connection of its own for as long as it lives (a search, a copy, a run's record).
class ScopedConnection {
public:
    explicit ScopedConnection(const QString &role);
    ~ScopedConnection();
    ScopedConnection(const ScopedConnection &) = delete;
    ScopedConnection &operator=(const ScopedConnection &) = delete;

    const QString &name() const { return m_name; }
    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }

private:
    QString m_name;
};

} // namespace dialkite
