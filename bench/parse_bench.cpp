// Parsing what users hand the command-line tools: the byte notation of long rx lines
// and settings files at the size limit.
//
//   build/bin/dialkite_bench --benchmark_filter=Notation

#include "console/notation.h"
#include "console/settings.h"

#include <benchmark/benchmark.h>

using namespace dialkite;

namespace {

// An rx line of n "<<" pairs: every '<' once copied the rest of the line.
void NotationEscapedLessThan(benchmark::State &state)
{
    const QByteArray text = QByteArray("<<").repeated(state.range(0));
    QString error;
    for (auto _ : state)
        benchmark::DoNotOptimize(parseNotation(text, &error));
    state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(NotationEscapedLessThan)
    ->Arg(1000)
    ->Arg(100000)
    ->Arg(800000)
    ->Unit(benchmark::kMillisecond);

void NotationRecordBytes(benchmark::State &state)
{
    const QByteArray text = QByteArray("<STX>1I021234567   <ETX><C5><1F>").repeated(state.range(0));
    QString error;
    for (auto _ : state)
        benchmark::DoNotOptimize(parseNotation(text, &error));
    state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(NotationRecordBytes)->Arg(1000)->Arg(50000)->Unit(benchmark::kMillisecond);

// A settings file of blank lines at the size limit, then one key: what the largest
// accepted file costs a read.
void ProfileAtSizeLimit(benchmark::State &state)
{
    const QByteArray content =
        QByteArray(Settings::kMaxFileSize - 14, '\n') + QByteArray("[PORT]\nNUM=3\n");
    for (auto _ : state)
        benchmark::DoNotOptimize(
            Profile::parse(content).value(QStringLiteral("PORT"), QStringLiteral("NUM")));
    state.SetBytesProcessed(state.iterations() * content.size());
}
BENCHMARK(ProfileAtSizeLimit)->Unit(benchmark::kMicrosecond);

} // namespace
