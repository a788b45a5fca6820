// Measures the CPU time that a command exchange costs while it waits for a reply that never
// comes: a peer on loopback accepts the connection, reads the command and stays silent, so
// the exchange runs the full reply time-out. Run: bench_reply_wait [rounds]
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

const char* resultName(CommandResult result)
{
    switch (result) {
    case CommandResult::Ok: return "ok";
    case CommandResult::NoReply: return "no-reply";
    default: return "failed";
    }
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
        CPenControl off;
        off.cmdid = PenCommand::Off;
        off.host = QStringLiteral("127.0.0.1");
        off.port = server.serverPort();
        CommandResult result = CommandResult::Ok;
        QObject::connect(&link, &PenCommandExchange::finished, &app, [&](const CommandOutcome& outcome) {
            result = outcome.result;
            app.quit();
        });
        QElapsedTimer wall;
        const double before = cpuMs();
        wall.start();
        link.start(off);
        app.exec();
        const double cpu = cpuMs() - before;
        const double elapsed = double(wall.elapsed());
        worst = std::max(worst, cpu);
        std::printf("%-6d %10s %10.0f %10.2f %8.3f\n", round, resultName(result), elapsed, cpu,
                    100.0 * cpu / elapsed);
    }
    std::printf("worst exchange: %.2f ms CPU (budget %.0f ms)\n", worst, kCpuBudgetMs);
    return worst < kCpuBudgetMs ? 0 : 1;
}
