// The call history at the size a busy shop reaches in years: a million calls stored
// through the writer, then searched by parts of numbers.
//
//   build/bin/dialkite_bench --benchmark_filter=History

#include "console/console.h"
#include "console/recording.h"
#include "outputs/history.h"

#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace dialkite;

namespace {

constexpr int kCalls = 1000000;

// One history of a million calls for all the searches.
struct MillionCalls {
    MillionCalls()
        : settings(dir.filePath(QStringLiteral("bench.ini")))
        , console(link, view, settings)
    {
        HistoryOutput history(path());
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < kCalls; ++i) {
            events::CallerId call;
            call.row = i % 9999 + 1;
            call.line = QByteArray::number(i % 4 + 1);
            call.digits = "010" + QByteArray::number(10000000 + (qint64(i) * 7919) % 90000000);
            call.number = QString::fromLatin1(call.digits);
            call.at = QDateTime::currentDateTimeUtc();
            history.consume(call);
            // In bursts of ten thousand, as a rig of busy boxes would send them.
            if (i % 10000 == 9999)
                history.finish(QDeadlineTimer(QDeadlineTimer::Forever));
        }
        history.finish(QDeadlineTimer(QDeadlineTimer::Forever));
        insertSeconds = double(timer.elapsed()) / 1000.0;
    }
    QString path() const { return dir.filePath(QStringLiteral("million.sqlite")); }

    QTemporaryDir dir;
    Settings settings;
    RecordingLink link;
    RecordingView view;
    Console console;
    double insertSeconds = 0;
};

MillionCalls &million()
{
    static MillionCalls calls;
    return calls;
}

void HistoryInsertMillion(benchmark::State &state)
{
    for (auto _ : state)
        state.counters["seconds"] = million().insertSeconds;
}
BENCHMARK(HistoryInsertMillion)->Iterations(1)->Unit(benchmark::kSecond);

void HistorySearch(benchmark::State &state)
{
    const QString name = QStringLiteral("bench-search");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(million().path());
        db.open();
        HistoryFilter filter;
        filter.number = state.range(0) == 0 ? QStringLiteral("34567") : QStringLiteral("78");
        filter.limit = 1000;
        const HistoryQuery search = historyQuery(filter, historyColumns());
        qint64 rows = 0;
        for (auto _ : state) {
            QSqlQuery query(db);
            query.prepare(search.sql);
            for (int i = 0; i < search.values.size(); ++i)
                query.bindValue(i, search.values[i]);
            query.exec();
            rows = 0;
            while (query.next())
                ++rows;
        }
        state.counters["rows"] = double(rows);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}
// 0: five digits, through the trigram index; 1: two digits, a scan.
BENCHMARK(HistorySearch)->ArgName("short")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
