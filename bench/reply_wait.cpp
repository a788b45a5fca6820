// Measures the CPU time that PJCommControl::WaitReply costs while it waits for a reply that
// never comes: a peer on loopback accepts the connection, reads the command and stays
// silent, so the wait runs the full reply time-out. Run: bench_reply_wait [rounds]
#include "protocol/pencommand.h"
#include "engine/link/pjcommcontrol.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>

#include <sys/resource.h>

#include <cstdio>

namespace {
double cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval& t) {
        return t.tv_sec * 1000.0 + t.tv_usec / 1000.0;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

constexpr double kCpuBudgetMs = 50.0;

const char* waitName(ReplyWait wait)
{
    switch (wait) {
    case ReplyWait::Reply: return "reply";
    case ReplyWait::ErrorReply: return "error";
    case ReplyWait::Disconnected: return "closed";
    case ReplyWait::TimedOut: break;
    }
    return "timed-out";
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 1;

    // The silent projector: loopback only, a port the system picks.
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0)) {
        std::fprintf(stderr, "cannot listen on loopback: %s\n", qPrintable(server.errorString()));
        return 2;
    }
    QObject::connect(&server, &QTcpServer::newConnection, [&server] {
        while (QTcpSocket* peer = server.nextPendingConnection()) {
            QObject::connect(peer, &QTcpSocket::readyRead, peer, [peer] { peer->readAll(); });
            QObject::connect(peer, &QTcpSocket::disconnected, peer, &QObject::deleteLater);
        }
    });

    std::printf("%-6s %10s %10s %10s %8s\n", "round", "result", "wall_ms", "cpu_ms", "cpu_%");
    double worst = 0;
    for (int round = 1; round <= rounds; ++round) {
        PJCommControl link;
        if (!link.Open(QStringLiteral("127.0.0.1"), QString::number(server.serverPort()), true) ||
            !link.SendPenControl(PenCommand::Off, QString(), QStringLiteral("0"))) {
            std::fprintf(stderr, "cannot reach the loopback peer\n");
            return 2;
        }
        const bool abort = false;
        QElapsedTimer wall;
        const double before = cpuMs();
        wall.start();
        const ReplyWait result = link.WaitReply(&abort);
        const double cpu = cpuMs() - before;
        const double elapsed = double(wall.elapsed());
        link.Close();
        worst = std::max(worst, cpu);
        std::printf("%-6d %10s %10.0f %10.2f %8.3f\n", round, waitName(result), elapsed, cpu,
                    100.0 * cpu / elapsed);
    }
    std::printf("worst reply wait: %.2f ms CPU (budget %.0f ms)\n", worst, kCpuBudgetMs);
    return worst < kCpuBudgetMs ? 0 : 1;
}
