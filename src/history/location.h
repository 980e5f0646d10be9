#pragma once

// Where a call history lives: an SQLite file (a shop, a rig, one collector PC), or a
// PostgreSQL database for a fleet that outgrows one PC, named
// postgresql://USER@HOST[:PORT]/DB. The password is never part of what is shown: it comes
// from DIALKITE_PG_PASSWORD, or PGPASSWORD / ~/.pgpass as libpq reads them (a password
// written in the address is used and hidden).

#include "console/settings.h"

#include <QString>
#include <optional>

namespace dialkite {

// The SQL engine a history is kept in: what its statements are written for.
enum class Dialect { Sqlite, Postgres };

struct HistoryLocation {
    Dialect dialect = Dialect::Sqlite;
    QString file; // an SQLite history
    // A PostgreSQL one:
    QString user, host, database, password, options;
    int port = 5432;

    bool isPostgres() const { return dialect == Dialect::Postgres; }
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

// Where the history is kept unless the settings file says otherwise: history.sqlite in
// the per-user data folder shared by the window and the command-line tools.
QString defaultHistoryFile();
// Where events wait for an MQTT broker unless told otherwise: beside the history.
QString defaultSpoolFile();
// Section HISTORY of the settings file: FILE moves it, RECORD=0 turns it off.
std::optional<QString> historyFile(const Profile &settings);

} // namespace dialkite
