#pragma once

#include "core/eventwait.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTest>

// The projector simulator in the projector namespace of the test's namespace pair
// (tools/netns-pair.sh: this computer is 10.77.0.1 on "pc0", the projectors 10.77.0.2 and
// up). Every line it writes is kept, so that a test can check what reached the projector
// byte for byte: "cmd-rx 10.77.0.1:40112 03 CE 00 00 01 01 D3" (projector-sim --help).
class NetnsProjector final {
public:
    NetnsProjector()
    {
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] {
            m_partial += m_process.readAllStandardOutput();
            for (qsizetype end; (end = m_partial.indexOf('\n')) >= 0; m_partial.remove(0, end + 1))
                m_lines << QString::fromUtf8(m_partial.left(end)).trimmed();
        });
    }
    ~NetnsProjector()
    {
        m_process.terminate();
        m_process.waitForFinished(3000);
    }

    // Starts the simulator with these options; false if it did not get ready.
    bool start(const QStringList& options)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral("ip"), QStringList{"netns", "exec", qEnvironmentVariable("QR_NETNS_PROJECTOR"),
                                                          qEnvironmentVariable("QR_PROJECTOR_SIM")} + options);
        return waitForLines(QStringLiteral("ready"));
    }
    QStringList lines(const QString& prefix) const { return m_lines.filter(QRegularExpression('^' + QRegularExpression::escape(prefix))); }
    // Waits in the event loop until `count` lines beginning with `prefix` have come.
    bool waitForLines(const QString& prefix, int count = 1, int timeoutMs = 10000)
    {
        EventWait wait(timeoutMs, 100);
        wait.wakeOn(&m_process, &QProcess::readyReadStandardOutput);
        return wait.waitUntil([&] { return lines(prefix).size() >= count; });
    }

private:
    QProcess m_process;
    QByteArray m_partial;
    QStringList m_lines;
};

// Skips the test, loudly, outside a namespace pair (without root there is none).
#define QR_REQUIRE_NETNS()                                                                         \
    do {                                                                                           \
        if (qEnvironmentVariableIsEmpty("QR_NETNS_PROJECTOR"))                                     \
            QSKIP("SKIPPED: needs the namespace pair of tools/netns-pair.sh (run as root)");       \
    } while (false)
