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
    QSqlDatabase db = connection.db();
    // The run and its steps together, or neither.
    if (!sql::exec(db, QStringLiteral("BEGIN"), problem))
        return false;
    QSqlQuery insert(db);
    insert.prepare(
        QStringLiteral("INSERT INTO runs (started_utc, pc_time, suite, device, variant, box_name,"
                       " box_version, verdict, passed, failed, duration_ms, capture, attempt)"
                       " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) RETURNING id"));
    bool ok =
        sql::run(insert,
                 {run.started.toMSecsSinceEpoch(),
                  run.started.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                  sql::text(run.suite), sql::text(run.device), sql::text(run.variant),
                  sql::text(run.boxName), sql::text(run.boxVersion),
                  run.passedAll() ? QStringLiteral("passed") : QStringLiteral("failed"), run.passed,
                  run.failed, run.durationMs, sql::text(run.capture), run.attempt},
                 problem) &&
        insert.next();
    const qint64 id = ok ? insert.value(0).toLongLong() : 0;
    insert.finish();
    QSqlQuery step(db);
    step.prepare(QStringLiteral("INSERT INTO run_steps (run_id, line, step, verdict, measured_ms,"
                                " limit_ms, message, answer) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
    for (const RunStep &each : run.steps) {
        ok = ok && sql::run(step,
                            {id, each.line, sql::text(each.step), sql::text(each.verdict),
                             each.measuredMs, each.limitMs, sql::text(each.message),
                             sql::text(each.answer)},
                            problem);
    }
    step.finish();
    if (ok && sql::exec(db, QStringLiteral("COMMIT"), problem))
        return true;
    QString ignored;
    sql::exec(db, QStringLiteral("ROLLBACK"), &ignored);
    return false;
}

} // namespace dialkite
