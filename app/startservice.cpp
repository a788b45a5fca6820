#include "app/startservice.h"

#include "app/eventwait.h"
#include "app/logging.h"

#include <QDir>
#include <QException>
#include <QLocalServer>
#include <QStandardPaths>

namespace {
const char* const ServerBaseName = "Quill Relay";

void logException(const QException& e)
{
    qCDebug(lcApp, "exception occured [%s]", e.what());
}
} // namespace

CStartService::CStartService(QObject* parent) : QObject(parent) {}

CStartService::~CStartService()
{
    if (m_server) {
        m_server->close();
        QLocalServer::removeServer(serverName());
        delete m_server;
        m_server = nullptr;
    }
    dropProbe();
}

QString CStartService::serverName()
{
#ifdef Q_OS_WIN
    return QString::fromLatin1(ServerBaseName);
#else
    // A bare name would become a socket file in the shared temp folder, where the first
    // user's instance would keep every other user of the machine from starting.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty())
        return QString::fromLatin1(ServerBaseName);
    return QDir(runtime).filePath(QString::fromLatin1(ServerBaseName));
#endif
}

void CStartService::dropProbe()
{
    if (m_probe) {
        m_probe->abort();
        delete m_probe;
        m_probe = nullptr;
    }
}

bool CStartService::CheckStart()
{
    try {
        m_probe = new QLocalSocket(this);
        connect(m_probe, &QLocalSocket::connected, this, &CStartService::ConnectSuccess);
        connect(m_probe, &QLocalSocket::errorOccurred, this, &CStartService::ConnectError);

        m_probe->abort();
        m_probe->connectToServer(serverName(), QIODevice::ReadWrite);

        EventWait wait(ProbeTimeoutMs, WaitSliceMs);
        wait.wakeOn(m_probe, &QLocalSocket::connected);
        wait.wakeOn(m_probe, &QLocalSocket::errorOccurred);
        wait.waitUntil([this] { return m_state != Waiting; });

        if (m_state == OtherInstance)
            return false;
        dropProbe();
        return m_server != nullptr;
    } catch (const QException& e) {
        logException(e);
    } catch (...) {
    }
    dropProbe();
    return false;
}

void CStartService::ConnectSuccess()
{
    m_state = OtherInstance;
    qCDebug(lcApp, "[CStartService::ConnectSuccess] QuillRelay already exist");
    disconnect(m_probe, &QLocalSocket::errorOccurred, this, &CStartService::ConnectError);
}

void CStartService::ConnectError(QLocalSocket::LocalSocketError socketError)
{
    try {
        m_state = ProbeFailed;
        qCDebug(lcApp, "[CStartService::ConnectError] QuillRelay not exist");
        if (socketError != QLocalSocket::ConnectionRefusedError &&
            socketError != QLocalSocket::ServerNotFoundError)
            return;
        m_state = NoOtherInstance;
        listen();
    } catch (const QException& e) {
        logException(e);
    } catch (...) {
    }
}

void CStartService::listen()
{
    m_server = new QLocalServer(this);
    connect(m_server, &QLocalServer::newConnection, this, &CStartService::MultipleStarted);
    for (int attempt = 1; attempt <= ListenAttempts; ++attempt) {
        if (m_server->listen(serverName()))
            return;
        qCDebug(lcApp, "!!! Listen error[%s] !!!", qUtf8Printable(m_server->errorString()));
        m_server->close();
        // Only reached after the probe was refused or found nothing, so whatever holds the
        // name is a leftover of a crashed instance and not a live server.
        if (attempt < ListenAttempts)
            QLocalServer::removeServer(serverName());
    }
    delete m_server;
    m_server = nullptr;
}
