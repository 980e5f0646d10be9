#include "runs.h"

#include "connection.h"
#include "schema.h"

#include <QSqlQuery>

namespace dialkite {

bool recordRun(const QString &path, const TestRun &run, QString *problem)
{
    const ScopedConnection connection(QStringLiteral("run"));
    QString moved;
    if (!openHistory(path, connection.name(), &moved, problem))
        return false;
    QSqlQuery insert(connection.db());
    insert.prepare(
        QStringLiteral("INSERT INTO runs (started_utc, pc_time, suite, device, variant, box_name,"
                       " box_version, verdict, passed, failed, duration_ms, capture)"
                       " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    const bool ok =
        sql::run(insert,
                 {run.started.toMSecsSinceEpoch(),
                  run.started.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                  sql::text(run.suite), sql::text(run.device), sql::text(run.variant),
                  sql::text(run.boxName), sql::text(run.boxVersion),
                  run.passedAll() ? QStringLiteral("passed") : QStringLiteral("failed"), run.passed,
                  run.failed, run.durationMs, sql::text(run.capture)},
                 problem);
    insert.finish();
    return ok;
}

} // namespace dialkite
