#pragma once

// Reading a history: searches of calls (newest first, any part of a number, a line, a
// period, a box), the box acceptance runs, the page's board of boxes and its chart. Every
// answer is rows with named fields; nothing from a filter is ever part of the SQL text.
//
// A reader keeps one read-only connection, made on the thread that first opens it and
// used there only (the page keeps one reader a thread of its pool).

#include "location.h"
#include "rows.h"

#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class QSqlQuery;

namespace dialkite {

// The calls a search finds, read one at a time as they are asked for: nothing but the
// rows at hand is kept, whatever the size of the history.
class CallCursor {
public:
    explicit CallCursor(std::unique_ptr<QSqlQuery> query);
    ~CallCursor();
    // The next row; false at the end.
    bool next(CallRow *row);

private:
    std::unique_ptr<QSqlQuery> m_query;
};

class HistoryReader {
public:
    explicit HistoryReader(QString path);
    ~HistoryReader();
    HistoryReader(const HistoryReader &) = delete;
    HistoryReader &operator=(const HistoryReader &) = delete;

    enum class Status {
        Ready,   // open for reading
        Missing, // no history file yet: nothing was stored
        Failed,  // it cannot be read (`problem` says why)
    };
    // Connects when not connected yet (again after reset()).
    Status open(QString *problem);
    const QString &path() const { return m_path; }
    Dialect dialect() const { return m_dialect; }
    // After a failure on a database server: the next open() connects again.
    void reset();

    // The calls `filter` finds, newest first; nothing (and `problem`) when it failed.
    std::unique_ptr<CallCursor> calls(const HistoryFilter &filter, QString *problem);
    // How many calls `filter` finds (its limit and offset aside); nothing when it failed.
    std::optional<qint64> countCalls(const HistoryFilter &filter, QString *problem);
    // Every call `filter` finds, handed to `each` as it is read.
    bool eachCall(const HistoryFilter &filter, const std::function<void(const CallRow &)> &each,
                  QString *problem);
    // The newest `limit` runs (0: all), newest first.
    bool eachRun(int limit, const std::function<void(const RunRow &)> &each, QString *problem);
    // The steps of run `run` (its number in eachRun's rows), in the suite's order.
    bool eachStep(qint64 run, const std::function<void(const RunStep &)> &each, QString *problem);
    // Whether any stored event names a box (a rig's history).
    bool anyBox();
    // Every box the history knows, with its calls since `sinceUtcMs`.
    std::optional<std::vector<BoxSummary>> boxes(qint64 sinceUtcMs, QString *problem);
    // Calls per hour from `fromUtcMs` on (hour 0 is the first), of one box and line when
    // they are given.
    std::optional<std::map<int, int>> callsPerHour(qint64 fromUtcMs, const QString &box,
                                                   const QString &line, QString *problem);

private:
    Status inspectSqlite(const HistoryLocation &location, QString *problem);
    Status inspectPostgres(const HistoryLocation &location, QString *problem);
    bool prepared(QSqlQuery &query, const QString &statement, const QVariantList &values,
                  QString *problem);

    QString m_path;
    QString m_connection;
    Dialect m_dialect = Dialect::Sqlite;
    int m_schema = 0;
    std::optional<std::pair<quint64, quint64>> m_identity; // the file connected to
};

} // namespace dialkite
