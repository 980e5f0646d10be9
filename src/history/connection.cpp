#include "connection.h"

#include <QSqlError>
#include <QSqlQuery>
#include <atomic>

namespace dialkite {

namespace {

constexpr int kBusyTimeoutMs = 10000; // another console or monitor in a transaction

} // namespace

bool connectHistory(const HistoryLocation &location, const QString &name, bool readOnly,
                    QString *problem)
{
    QSqlDatabase db =
        QSqlDatabase::contains(name)
            ? QSqlDatabase::database(name, false)
            : QSqlDatabase::addDatabase(location.isPostgres() ? QStringLiteral("QPSQL")
                                                              : QStringLiteral("QSQLITE"),
                                        name);
    if (!db.isValid()) {
        *problem = QStringLiteral("Qt SQL has no PostgreSQL driver here (Debian: libqt6sql6-psql)");
        return false;
    }
    if (location.isPostgres()) {
        db.setHostName(location.host);
        db.setPort(location.port);
        db.setUserName(location.user);
        db.setDatabaseName(location.database);
        db.setConnectOptions(location.options);
        if (!location.password.isEmpty())
            db.setPassword(location.password);
    } else {
        db.setDatabaseName(location.file);
        db.setConnectOptions((readOnly ? QStringLiteral("QSQLITE_OPEN_READONLY;") : QString()) +
                             QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    }
    if (!db.open()) {
        // libpq's messages name the server, never the password.
        *problem = db.lastError().text().trimmed();
        return false;
    }
    return true;
}

Dialect dialectOf(const QSqlDatabase &db)
{
    return db.driverName() == QLatin1String("QPSQL") ? Dialect::Postgres : Dialect::Sqlite;
}

void closeConnection(const QString &name)
{
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

QString uniqueConnectionName(const QString &role)
{
    static std::atomic<int> count = 0;
    return QStringLiteral("dialkite-%1-%2").arg(role).arg(++count);
}

namespace sql {

bool exec(QSqlDatabase &db, const QString &statement, QString *problem)
{
    QSqlQuery query(db);
    if (query.exec(statement))
        return true;
    *problem = query.lastError().text();
    return false;
}

bool run(QSqlQuery &query, const QVariantList &values, QString *problem)
{
    for (int i = 0; i < values.size(); ++i)
        query.bindValue(i, values[i]);
    if (query.exec())
        return true;
    *problem = query.lastError().text();
    return false;
}

QVariant text(const QString &value)
{
    return value.isNull() ? QVariant(QStringLiteral("")) : QVariant(value);
}

} // namespace sql

ScopedConnection::ScopedConnection(const QString &role)
    : m_name(uniqueConnectionName(role))
{}

ScopedConnection::~ScopedConnection()
{
    closeConnection(m_name);
}

} // namespace dialkite
