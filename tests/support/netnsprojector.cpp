#include "support/netnsprojector.h"

#include "core/eventwait.h"

#include <QFileInfo>
#include <QNetworkInterface>
#include <QSettings>
#include <QtGlobal>

NetnsProjector::NetnsProjector(QObject* parent) : QObject(parent)
{
    connect(&m_process, &QProcess::readyReadStandardOutput, this, &NetnsProjector::readOutput);
    // The simulator's own complaints (bad options, a port in use) go to the test's output.
    connect(&m_process, &QProcess::readyReadStandardError, this, [this] {
        const QByteArray text = m_process.readAllStandardError();
        if (!text.trimmed().isEmpty())
            qWarning("projector-sim: %s", text.trimmed().constData());
    });
}

NetnsProjector::~NetnsProjector()
{
    stop();
}

bool NetnsProjector::available(QString* why)
{
    QString reason;
    if (qEnvironmentVariableIsEmpty("QR_NETNS_PROJECTOR"))
        reason = QStringLiteral("not inside a namespace pair (run it through ctest or "
                                "tests/support/netns-pair.sh as root)");
    else if (!QFileInfo(qEnvironmentVariable("QR_PROJECTOR_SIM")).isExecutable())
        reason = QStringLiteral("the projector simulator is not built (QR_PROJECTOR_SIM)");
    if (why)
        *why = reason;
    return reason.isEmpty();
}

QString NetnsProjector::computerAddress()
{
    return qEnvironmentVariable("QR_COMPUTER_ADDR", QStringLiteral("10.77.0.1"));
}

QString NetnsProjector::projectorAddress()
{
    return qEnvironmentVariable("QR_PROJECTOR_ADDR", QStringLiteral("10.77.0.2"));
}

QStringList NetnsProjector::projectorAddresses()
{
    return qEnvironmentVariable("QR_PROJECTOR_ADDRS", projectorAddress())
        .split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

QString NetnsProjector::computerInterfaceName()
{
    for (const QNetworkInterface& nic : QNetworkInterface::allInterfaces()) {
        for (const QNetworkAddressEntry& entry : nic.addressEntries()) {
            if (entry.ip() == QHostAddress(computerAddress()))
                return nic.name();
        }
    }
    return {};
}

void NetnsProjector::storeSettings(const QString& ip, const QString& adapter, int penMode)
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Lumoravista", "Quill Relay");
    store.clear();
    store.setValue("Settings/Type", 0);
    store.setValue("Settings/IpAddress", ip);
    store.setValue("Settings/HostName", QString());
    store.setValue("Settings/Port", 7142);
    store.setValue("Settings/PenMode", penMode);
    store.setValue("Settings/Adapter", adapter);
    store.sync();
}

bool NetnsProjector::start(const QStringList& options, int timeoutMs)
{
    stop();
    m_lines.clear();
    m_partial.clear();
    m_error.clear();
    if (!available(&m_error))
        return false;
    QStringList args{QStringLiteral("netns"), QStringLiteral("exec"),
                     qEnvironmentVariable("QR_NETNS_PROJECTOR"),
                     qEnvironmentVariable("QR_PROJECTOR_SIM")};
    args << options;
    m_process.start(QStringLiteral("ip"), args);
    if (!waitForLines(QStringLiteral("ready"), 1, timeoutMs)) {
        m_error = QStringLiteral("the simulator did not get ready: ") + m_lines.join('\n');
        stop();
        return false;
    }
    return true;
}

void NetnsProjector::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
    readOutput();
}

bool NetnsProjector::isRunning() const
{
    return m_process.state() == QProcess::Running;
}

QStringList NetnsProjector::lines(const QString& prefix) const
{
    QStringList found;
    for (const QString& line : m_lines) {
        if (line.startsWith(prefix))
            found << line;
    }
    return found;
}

bool NetnsProjector::waitForLines(const QString& prefix, int count, int timeoutMs)
{
    EventWait wait(timeoutMs, 100);
    wait.wakeOn(&m_process, &QProcess::readyReadStandardOutput);
    wait.wakeOn(&m_process, &QProcess::finished);
    return wait.waitUntil([&] {
        return lines(prefix).size() >= count || m_process.state() == QProcess::NotRunning;
    }) && lines(prefix).size() >= count;
}

void NetnsProjector::readOutput()
{
    m_partial += m_process.readAllStandardOutput();
    qsizetype end;
    while ((end = m_partial.indexOf('\n')) >= 0) {
        m_lines << QString::fromUtf8(m_partial.left(end)).trimmed();
        m_partial.remove(0, end + 1);
    }
}
