#pragma once

// Where a call history lives: an SQLite file (a shop, a rig, one collector PC), or a
// PostgreSQL database for a fleet that outgrows one PC, named
// postgresql://USER@HOST[:PORT]/DB. The password is never part of what is shown: it comes
// from DIALKITE_PG_PASSWORD, or PGPASSWORD / ~/.pgpass as libpq reads them (a password
// written in the address is used and hidden).

#include <QSqlDatabase>
#include <QString>
#include <optional>

namespace dialkite {

struct HistoryLocation {
    bool postgres = false;
    QString file; // an SQLite history
    // A PostgreSQL one:
    QString user, host, database, password, options;
    int port = 5432;

    // What messages show: the file, or the address without its password.
    QString shown() const;
};

// Whether `text` names a PostgreSQL history (postgresql:// or postgres://).
bool isPostgres(const QString &text);
// `text` as a location; nothing (and `error`) when it is a PostgreSQL address that cannot
// be one.
std::optional<HistoryLocation> historyLocation(const QString &text, QString *error);
// `text` as messages may show it.
QString shownLocation(const QString &text);

// Opens connection `name` to the history (made by the caller or not). `readOnly`: an
// SQLite file is opened for reading only (the page, `history`). False and `problem` when
// it cannot be opened.
bool connectHistory(const HistoryLocation &location, const QString &name, bool readOnly,
                    QString *problem);
// Whether an open connection is to PostgreSQL.
bool isPostgres(const QSqlDatabase &db);

} // namespace dialkite
