// How long the console takes from a REZ call record's arrival to its acknowledgement
// on the wire, with and without the outputs that consume its events: the figure the
// flight recorder (and the call history) must not move.
//
//   build/bin/dialkite_bench --benchmark_filter=Ack

#include "console/console.h"
#include "console/recording.h"
#include "outputs/capture.h"
#include "outputs/factory.h"
#include "outputs/history.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

using namespace dialkite;

namespace {

enum Output { None = 0, Recording = 1, History = 2 };

struct AckBench {
    explicit AckBench(int outputs)
        : settings(dir.filePath(QStringLiteral("bench.ini")))
        , console(link, view, settings)
    {
        console.Form_Load();
        console.Timer2_Timer();
        link.setOpen(true);
        console.setVariant(VariantId(3));
        OutputPlan plan;
        if (outputs & Recording)
            plan.set(
                QStringLiteral("capture"),
                CaptureOptions{
                    dir.filePath(QStringLiteral("bench.scn")), {}, 0, QStringLiteral("bench")});
        if (outputs & History)
            plan.set(QStringLiteral("history"),
                     HistoryPlan{dir.filePath(QStringLiteral("bench.sqlite"))});
        factory = std::make_unique<OutputFactory>(plan);
        sink = factory->build();
        QObject::connect(&console, &Console::observed, sink.get(), &OutputSet::consume);
        console.linkOpened(1);
        // Identified, so that blue "I" calls are shown and acknowledged.
        link.inject("\x02 P" + QByteArray(14, ' ') + "DK-C0001V1.0\x03");
    }

    QTemporaryDir dir;
    Settings settings;
    RecordingLink link;
    RecordingView view;
    Console console;
    std::unique_ptr<OutputFactory> factory;
    std::unique_ptr<OutputSet> sink;
};

// range(0): the outputs; range(1): microseconds between records. At 19200 baud a REZ
// call record takes 15.6 ms on the wire, so 1000 is a line busier than any box can
// make it; 0 is back to back, a stress figure for the two threads.
void AckLatency(benchmark::State &state)
{
    AckBench bench(int(state.range(0)));
    const auto gap = std::chrono::microseconds(state.range(1));
    const QByteArray record = "\x02"
                              "2I12071015021234567         \x03";
    std::vector<qint64> nanoseconds;
    nanoseconds.reserve(1 << 20);
    QElapsedTimer timer;
    for (auto _ : state) {
        if (gap.count() > 0) {
            state.PauseTiming();
            std::this_thread::sleep_for(gap);
            state.ResumeTiming();
        }
        const qsizetype before = bench.link.written().size();
        timer.start();
        bench.link.inject(record);
        nanoseconds.push_back(timer.nsecsElapsed());
        if (bench.link.written().size() == before)
            state.SkipWithError("no acknowledgement");
        if (bench.link.written().size() > (1 << 24))
            bench.link.clearWritten();
    }
    std::sort(nanoseconds.begin(), nanoseconds.end());
    const auto percentile = [&](double p) {
        return double(nanoseconds[size_t(p * double(nanoseconds.size() - 1))]) / 1000.0;
    };
    state.counters["p50_us"] = percentile(0.50);
    state.counters["p99_us"] = percentile(0.99);
    bench.sink->finish(QDeadlineTimer(QDeadlineTimer::Forever));
}
BENCHMARK(AckLatency)
    ->ArgNames({"outputs", "gap_us"})
    ->Args({None, 1000})
    ->Args({Recording, 1000})
    ->Args({History, 1000})
    ->Args({Recording | History, 1000})
    ->Args({None, 0})
    ->Args({Recording, 0})
    ->Iterations(5000);

} // namespace
