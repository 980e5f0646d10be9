#pragma once

// What a test reads of an SQLite file another process writes (a history, a spool): the
// rows of a statement, through a read-only connection of its own, closed again at once.

#include <QList>
#include <QMap>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <type_traits>

namespace dialkite::test {

inline QList<QStringList> readRows(const QString &path, const QString &sql)
{
    const QString name = QStringLiteral("test-read-only");
    QList<QStringList> rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery query(db);
            query.exec(sql);
            while (query.next()) {
                QStringList row;
                for (int i = 0; i < query.record().count(); ++i)
                    row << query.value(i).toString();
                rows << row;
            }
        }
    }
    QSqlDatabase::removeDatabase(name);
    return rows;
}

// How many rows of each first column `sql` (SELECT key, count(*) ... GROUP BY key) finds.
template <typename Key> QMap<Key, int> readCounts(const QString &path, const QString &sql)
{
    QMap<Key, int> counts;
    for (const QStringList &row : readRows(path, sql)) {
        if constexpr (std::is_same_v<Key, QByteArray>)
            counts[row.value(0).toUtf8()] = row.value(1).toInt();
        else
            counts[row.value(0)] = row.value(1).toInt();
    }
    return counts;
}

} // namespace dialkite::test
