// The call history at the size a busy shop reaches in years: a million calls stored
// through the writer (and, for scale, by the sqlite3 tool into the same schema), then
// searched by parts of numbers and exported by dialkite-cli history, whose peak memory
// must not grow with the rows.
//
//   build/bin/dialkite_bench --benchmark_filter=History

#include "console/console.h"
#include "console/recording.h"
#include "history/copy.h"
#include "history/reader.h"
#include "outputs/history.h"
#include "outputs/web.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <httplib.h>

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

// The same million rows, in the same bursts, by the sqlite3 tool into a history the
// program made (schema, index and triggers included): range(0) 0 reads one INSERT
// statement a row, as calls loaded from a file would be; 1 one statement a burst that
// makes its rows inside SQLite, the tool's best case.
void HistoryInsertMillionSqliteTool(benchmark::State &state)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (tool.isEmpty()) {
        state.SkipWithError("no sqlite3 tool on this machine");
        return;
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tool.sqlite"));
    {
        HistoryOutput history(path);
        history.finish(QDeadlineTimer(QDeadlineTimer::Forever));
    }
    const QByteArray columns =
        "INSERT INTO events (kind, box, line, box_time, pc_utc, pc_time, digits, status, number,"
        " colour, variant, device_name, device_version, port, device, record, detail) ";
    const auto burst = [&](int first) {
        QByteArray sql = "BEGIN;\n";
        if (state.range(0) == 1) {
            sql += "WITH RECURSIVE n(i) AS (SELECT " + QByteArray::number(first) +
                   " UNION ALL SELECT i + 1 FROM n WHERE i < " + QByteArray::number(first + 9999) +
                   ") " + columns +
                   "SELECT 'call', '', i % 4 + 1, '', 1765000000000 + i, '2026-12-07 10:00:00',"
                   " '010' || (10000000 + (i * 7919) % 90000000), 'number',"
                   " '010' || (10000000 + (i * 7919) % 90000000), '', '1', '', '', '', '', NULL, ''"
                   " FROM n;\n";
        } else {
            for (int i = first; i < first + 10000; ++i) {
                const QByteArray digits =
                    "010" + QByteArray::number(10000000 + (qint64(i) * 7919) % 90000000);
                sql += columns + "VALUES ('call', '', '" + QByteArray::number(i % 4 + 1) +
                       "', '', " + QByteArray::number(1765000000000LL + i) +
                       ", '2026-12-07 10:00:00', '" + digits + "', 'number', '" + digits +
                       "', '', '1', '', '', '', '', NULL, '');\n";
            }
        }
        return sql + "COMMIT;\n";
    };
    for (auto _ : state) {
        QProcess sqlite;
        QElapsedTimer timer;
        timer.start();
        sqlite.start(tool, {path});
        sqlite.write("PRAGMA journal_mode=WAL;\nPRAGMA synchronous=NORMAL;\n");
        for (int first = 0; first < kCalls; first += 10000) {
            sqlite.write(burst(first));
            while (sqlite.bytesToWrite() > 0)
                sqlite.waitForBytesWritten(-1);
        }
        sqlite.closeWriteChannel();
        sqlite.waitForFinished(-1);
        state.counters["seconds"] = double(timer.elapsed()) / 1000.0;
    }
}
BENCHMARK(HistoryInsertMillionSqliteTool)
    ->ArgName("one_statement_a_burst")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

// Peak memory of `dialkite-cli history` printing the million calls (and of the sqlite3
// tool doing the same, for scale), output thrown away.
qint64 peakKilobytes(const QString &program, const QStringList &arguments)
{
    const pid_t child = fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        std::vector<QByteArray> texts{QFile::encodeName(program)};
        for (const QString &argument : arguments)
            texts.push_back(argument.toUtf8());
        std::vector<char *> argv;
        for (QByteArray &text : texts)
            argv.push_back(text.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    return usage.ru_maxrss;
}

void HistoryExportPeakMemory(benchmark::State &state)
{
    const char *format = state.range(0) == 0 ? "csv" : "table";
    for (auto _ : state)
        state.counters["peak_MB"] =
            double(
                peakKilobytes(QStringLiteral(DIALKITE_CLI),
                              {QStringLiteral("history"), QStringLiteral("--db"), million().path(),
                               QStringLiteral("--format"), QString::fromLatin1(format)})) /
            1024.0;
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (!tool.isEmpty())
        state.counters["sqlite3_tool_peak_MB"] =
            double(peakKilobytes(tool,
                                 {QStringLiteral("-csv"), million().path(),
                                  QStringLiteral("SELECT * FROM events ORDER BY pc_utc DESC")})) /
            1024.0;
}
// 0: CSV, 1: the aligned table (two passes over the rows).
BENCHMARK(HistoryExportPeakMemory)
    ->ArgName("table")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

// The search the state's argument names (0: five digits, 1: two) through a reader of the
// history at `path`, as often as the benchmark wants it.
void searchNumbers(benchmark::State &state, const QString &path)
{
    HistoryFilter filter;
    filter.number = state.range(0) == 0 ? QStringLiteral("34567") : QStringLiteral("78");
    filter.limit = 1000;
    HistoryReader reader(path);
    QString problem;
    if (reader.open(&problem) != HistoryReader::Status::Ready) {
        state.SkipWithError(qPrintable(problem));
        return;
    }
    qint64 rows = 0;
    for (auto _ : state) {
        rows = 0;
        reader.eachCall(
            filter, [&rows](const CallRow &) { ++rows; }, &problem);
    }
    state.counters["rows"] = double(rows);
}

void HistorySearch(benchmark::State &state)
{
    searchNumbers(state, million().path());
}
// 0: five digits, through the trigram index; 1: two digits, a scan.
BENCHMARK(HistorySearch)->ArgName("short")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The same million calls in a PostgreSQL history (DIALKITE_BENCH_PG=postgresql://..., an
// empty database; bench/postgres.sh makes one), copied there once, and the same searches.
struct PostgresMillion {
    PostgresMillion()
        : url(qEnvironmentVariable("DIALKITE_BENCH_PG"))
    {
        if (url.isEmpty())
            return;
        QElapsedTimer timer;
        timer.start();
        CopyCounts counts;
        QString problem;
        if (!copyHistory(million().path(), url, &counts, &problem))
            qFatal("copy: %s", qPrintable(problem));
        copySeconds = double(timer.elapsed()) / 1000.0;
    }
    QString url;
    double copySeconds = 0;
};

void HistorySearchPostgres(benchmark::State &state)
{
    static PostgresMillion pg;
    if (pg.url.isEmpty()) {
        state.SkipWithError("DIALKITE_BENCH_PG names no database");
        return;
    }
    searchNumbers(state, pg.url);
    state.counters["copy_s"] = pg.copySeconds;
}
BENCHMARK(HistorySearchPostgres)->ArgName("short")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The fleet page over the same million calls: what a browser waits for each answer.
// The server starts once (reading what the history says of its boxes is part of the
// first figure, WebPageStart).
const char *const kPagePaths[] = {
    "/",                        // the page
    "/api/boxes",               // the boxes' board
    "/api/calls",               // the newest hundred calls, as the page opens
    "/api/calls?offset=500000", // a page deep in the history
    "/api/calls?number=34567",  // a search by five digits (the trigram index)
    "/api/calls?number=78",     // by two digits (a scan)
    "/api/chart",               // calls per hour: all million fall in this hour
    "/api/calls?format=csv",    // the whole history as CSV
};

WebServer &pageServer(double *startMs = nullptr)
{
    static double started = 0;
    static WebServer *server = [] {
        WebOptions options;
        options.history = million().path();
        auto *made = new WebServer(options);
        QElapsedTimer timer;
        timer.start();
        QString error;
        if (!made->start(&error))
            qFatal("%s", qPrintable(error));
        started = double(timer.nsecsElapsed()) / 1e6;
        return made;
    }();
    if (startMs)
        *startMs = started;
    return *server;
}

void WebPageStart(benchmark::State &state)
{
    double ms = 0;
    for (auto _ : state)
        pageServer(&ms);
    state.counters["start_ms"] = ms;
}
BENCHMARK(WebPageStart)->Iterations(1);

void WebPageAnswer(benchmark::State &state)
{
    const char *path = kPagePaths[state.range(0)];
    httplib::Client client("127.0.0.1", pageServer().port());
    client.set_read_timeout(120, 0);
    size_t bytes = 0;
    for (auto _ : state) {
        const auto response = client.Get(path);
        if (!response || response->status != 200) {
            state.SkipWithError("no answer");
            return;
        }
        bytes = response->body.size();
    }
    state.SetLabel(path);
    state.counters["bytes"] = double(bytes);
}
BENCHMARK(WebPageAnswer)->DenseRange(0, 7)->Unit(benchmark::kMillisecond);

} // namespace
