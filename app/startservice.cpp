#include "app/startservice.h"

#include "core/eventwait.h"
#include "core/logging.h"

namespace {
// The line that asks the running instance to end.
const char EndRequest[] = "end\n";
} // namespace

CStartService::CStartService(QObject* parent) : QObject(parent) {}

CStartService::~CStartService()
{
    if (m_server) {
        const QString name = m_server->serverName();
        const bool abstract = m_server->socketOptions() & QLocalServer::AbstractNamespaceOption;
        m_server->close();
        if (!abstract) // an abstract name has no file to remove
            QLocalServer::removeServer(name);
    }
}

bool CStartService::CheckStart()
{
    if (probe(serverName(), QLocalSocket::NoOptions) != NoOtherInstance)
        return false;
    // An instance that could not use the usual name listens under the fallback.
    const bool hasFallback = fallbackName() != serverName();
    if (hasFallback &&
        probe(fallbackName(), QLocalSocket::AbstractNamespaceOption) == OtherInstance)
        return false;

    const QAbstractSocket::SocketError error = listen(serverName(), QLocalServer::NoOptions);
    if (m_server)
        return true;
    if (error == QAbstractSocket::AddressInUseError)
        return false; // the name stayed taken after the stale one was removed
    // No instance answered, so this one runs; it keeps later starts out through the
    // fallback name.
    if (hasFallback)
        listen(fallbackName(), QLocalServer::AbstractNamespaceOption);
    qCDebug(lcApp, "single instance: \"%s\" cannot be used, %s", qUtf8Printable(serverName()),
            m_server ? "using a name without a folder" : "running unguarded");
    return true;
}

CStartService::ProbeState CStartService::probe(const QString& name,
                                               QLocalSocket::SocketOptions options)
{
    m_state = Waiting;
    m_probe = new QLocalSocket(this);
    m_probe->setSocketOptions(options);
    connect(m_probe, &QLocalSocket::connected, this, &CStartService::ConnectSuccess);
    connect(m_probe, &QLocalSocket::errorOccurred, this, &CStartService::ConnectError);
    m_probe->connectToServer(name, QIODevice::ReadWrite);

    EventWait wait(ProbeTimeoutMs, WaitSliceMs);
    wait.wakeOn(m_probe, &QLocalSocket::connected);
    wait.wakeOn(m_probe, &QLocalSocket::errorOccurred);
    wait.waitUntil([this] { return m_state != Waiting; });

    m_probe->abort();
    delete m_probe;
    m_probe = nullptr;
    return m_state;
}

void CStartService::ConnectSuccess()
{
    m_state = OtherInstance;
    qCDebug(lcApp, "[CStartService::ConnectSuccess] QuillRelay already exist");
    disconnect(m_probe, &QLocalSocket::errorOccurred, this, &CStartService::ConnectError);
}

void CStartService::ConnectError(QLocalSocket::LocalSocketError socketError)
{
    m_state = ProbeFailed;
    qCDebug(lcApp, "[CStartService::ConnectError] QuillRelay not exist");
    if (socketError == QLocalSocket::ConnectionRefusedError ||
        socketError == QLocalSocket::ServerNotFoundError)
        m_state = NoOtherInstance;
}

QAbstractSocket::SocketError CStartService::listen(const QString& name,
                                                   QLocalServer::SocketOptions options)
{
    auto* server = new QLocalServer(this);
    server->setSocketOptions(options);
    connect(server, &QLocalServer::newConnection, this, &CStartService::MultipleStarted);
    connect(server, &QLocalServer::newConnection, this, [this, server] { takeConnections(server); });
    QAbstractSocket::SocketError error = QAbstractSocket::UnknownSocketError;
    for (int attempt = 1; attempt <= ListenAttempts; ++attempt) {
        if (server->listen(name)) {
            m_server = server;
            return QAbstractSocket::UnknownSocketError;
        }
        error = server->serverError();
        qCDebug(lcApp, "!!! Listen error[%s] !!!", qUtf8Printable(server->errorString()));
        server->close();
        // Only reached after the probe was refused or found nothing, so whatever holds the
        // name is a leftover of a crashed instance and not a live server. Any other failure
        // does not go away by trying again.
        if (error != QAbstractSocket::AddressInUseError)
            break;
        QLocalServer::removeServer(name);
    }
    delete server;
    return error;
}

void CStartService::takeConnections(QLocalServer* server)
{
    // Taken at once, so that probes never fill the queue of pending connections; each one
    // goes when its peer closes, or with the server at the end of the run.
    while (QLocalSocket* peer = server->nextPendingConnection()) {
        const auto readRequest = [this, peer] {
            if (peer->canReadLine() && peer->readLine() == EndRequest) {
                qCDebug(lcApp, "single instance: asked to end");
                emit endRequested();
            }
        };
        connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
        connect(peer, &QLocalSocket::readyRead, this, readRequest);
        readRequest(); // what arrived with the connection
    }
}

CStartService::EndResult CStartService::endRunningInstance(int timeoutMs)
{
    EventWait wait(timeoutMs, WaitSliceMs);
    const bool hasFallback = fallbackName() != serverName();
    for (const bool fallback : {false, true}) {
        if (fallback && !hasFallback)
            break;
        QLocalSocket socket;
        socket.setSocketOptions(fallback ? QLocalSocket::AbstractNamespaceOption
                                         : QLocalSocket::NoOptions);
        wait.wakeOn(&socket, &QLocalSocket::stateChanged);
        socket.connectToServer(fallback ? fallbackName() : serverName());
        wait.waitUntil([&] { return socket.state() != QLocalSocket::ConnectingState; });
        if (socket.state() != QLocalSocket::ConnectedState)
            continue;
        const qintptr process = openServerProcess(socket);
        socket.write(EndRequest);
        // The instance closes the connection when it has done what Exit does.
        const bool closed =
            wait.waitUntil([&] { return socket.state() == QLocalSocket::UnconnectedState; });
        const bool ended = waitForServerProcess(process, closed ? wait.remainingMs() : 0);
        return closed && ended ? EndResult::Ended : EndResult::StillRunning;
    }
    return EndResult::NotRunning;
}
