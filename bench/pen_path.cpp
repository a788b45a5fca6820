// Cost of one pen-status record from the datagram to the device: the sender check, the
// record checks, the decoding, the mapping to the screen, the dispatch, the injector's
// frame, the Windows devices' records and the flush after each datagram, into devices that
// keep nothing. The pen path is built as the program builds it. The datagrams hold one
// record per active pen, as the projector sends them; "per_record" is the time per record.
#include "engine/pen/penpath.h"
#include "support/manualclock.h"
#include "support/recordinginjection.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QLoggingCategory>

namespace {

// Every pen moves by one unit per datagram, back and forth, so every frame differs.
QByteArray datagram(int pens, int step, int button)
{
    QByteArray d;
    for (int pen = 0; pen < pens; ++pen)
        d += encodePenStatusRecord(
            {pen, button, 100 + pen * 100 + (step & 63), 100 + pen * 50 + (step & 31)}, 7);
    return d;
}

void penPath(benchmark::State& state, PenMode mode)
{
    const int pens = int(state.range(0));
    const QHostAddress projector(QHostAddress::LocalHost);
    auto clock = std::make_shared<ManualClock>(); // pens never age: no lost-up in the loop
    auto devices = std::make_shared<RecordingInjectionBackend>();
    devices->log = nullptr; // the records are built and dropped
    PenPath path(devices, clock);
    path.receiver.acceptFrom(projector);
    path.dispatch.setTarget(QRect(0, 0, 1920, 1080));
    path.dispatch.setPenMode(mode);
    path.dispatch.startInjecting();
    const auto handle = [&](const QByteArray& d) { return path.receiver.handleDatagram(d, projector); };
    handle(datagram(pens, 0, 1)); // every pen down

    QList<QByteArray> moves;
    for (int step = 0; step < 64; ++step)
        moves << datagram(pens, step, 2);
    int step = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(handle(moves[step]));
        step = (step + 1) & 63;
    }
    path.dispatch.stopLostEventTimer();
    state.SetItemsProcessed(state.iterations() * pens);
    state.counters["per_record"] =
        benchmark::Counter(double(state.iterations() * pens),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void touchPenPath(benchmark::State& state)
{
    penPath(state, PenMode::Touch);
}

void mousePenPath(benchmark::State& state)
{
    penPath(state, PenMode::Mouse);
}

} // namespace

BENCHMARK(touchPenPath)->Arg(1)->Arg(10);
BENCHMARK(mousePenPath)->Arg(1)->Arg(10);

int main(int argc, char** argv)
{
    // The dispatcher's watchdog timer needs an application object.
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("quillrelay.*.debug=false"));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
