// Cost of one pen-status record from the datagram to the device: the record checks, the
// decoding, the mapping to the screen, the dispatch, the injector's frame and the flush
// after each datagram, into devices that accept everything and keep nothing. The datagrams
// hold one record per active pen, as the projector sends them; "per_record" is the time
// per record.
#include "engine/pen/pendispatch.h"
#include "protocol/penstatusrecord.h"
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
    auto clock = std::make_shared<ManualClock>(); // pens never age: no lost-up in the loop
    PenDispatch dispatch(std::make_shared<NullInjectionBackend>(), clock);
    dispatch.setScreenGeometry([] { return QRect(0, 0, 1920, 1080); });
    dispatch.setPenMode(mode);
    dispatch.createTouchInjector();
    const auto onEvent = [&dispatch](const PenEvent& e) {
        dispatch.penStatus(e.id, e.button, e.posx, e.posy);
    };
    // As the receiver does: the devices are flushed after each datagram.
    const auto handle = [&](const QByteArray& d) {
        const int records = processPenStatusDatagram(d, onEvent);
        dispatch.flushDevices();
        return records;
    };
    handle(datagram(pens, 0, 1)); // every pen down

    QList<QByteArray> moves;
    for (int step = 0; step < 64; ++step)
        moves << datagram(pens, step, 2);
    int step = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(handle(moves[step]));
        step = (step + 1) & 63;
    }
    dispatch.stopLostEventTimer();
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
