// Measures the CPU time that idle waits cost: an EventWait whose condition never holds,
// for several slice lengths, against the wall time it waited.
#include "core/eventwait.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <sys/resource.h>

#include <cstdio>

namespace {
double cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int waitMs = argc > 1 ? QByteArray(argv[1]).toInt() : 2000;
    std::printf("%-10s %10s %10s %10s\n", "slice_ms", "wall_ms", "cpu_ms", "cpu_%");
    for (int slice : {100, 1000}) {
        QElapsedTimer wall;
        const double before = cpuMs();
        wall.start();
        EventWait wait(waitMs, slice);
        wait.waitUntil([] { return false; });
        const double cpu = cpuMs() - before;
        const double elapsed = double(wall.elapsed());
        std::printf("%-10d %10.0f %10.2f %10.3f\n", slice, elapsed, cpu, 100.0 * cpu / elapsed);
    }
    return 0;
}
