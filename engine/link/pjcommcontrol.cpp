#include "engine/link/pjcommcontrol.h"

#include "core/logging.h"

PJCommControl::PJCommControl(QObject* parent) : PenCommandExchange(parent)
{
    connect(&m_socket, &QTcpSocket::connected, this, &PJCommControl::onConnected);
    connect(&m_socket, &QTcpSocket::bytesWritten, this, &PJCommControl::onBytesWritten);
    connect(&m_socket, &QTcpSocket::readyRead, this, &PJCommControl::onReadyRead);
    connect(&m_socket, &QTcpSocket::disconnected, this, &PJCommControl::onLinkEnded);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, &PJCommControl::onLinkEnded);
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer); // a coarse timer may run 5 % (250 ms) late
    connect(&m_timer, &QTimer::timeout, this, &PJCommControl::onTimeout);
}

PJCommControl::~PJCommControl()
{
    // The socket is a member: leaving it connected to our slots while it is torn down
    // would call them on a half-destroyed object.
    m_socket.disconnect(this);
    m_socket.abort();
}

void PJCommControl::start(const CPenControl& cmd)
{
    cancelDelivery();
    // Idle first: the socket's abort may report the end of the exchange it replaces.
    m_phase = Phase::Idle;
    m_timer.stop();
    m_socket.abort();
    m_cmd = cmd;
    m_scanner.reset();
    m_receivedBytes = 0;
    m_peerAddress.clear();
    const std::optional<QByteArray> frame = penCommandFrame(cmd.cmdid, cmd.localAddress, cmd.localPort);
    if (cmd.port == 0 || !frame) {
        // Connecting to port 0, or telling the projector to send the pens nowhere, would
        // only fail later or reach the wrong service.
        m_phase = Phase::Idle;
        deliverLater({cmd.port == 0 ? CommandResult::ConnectFailed : CommandResult::SendFailed, {}});
        return;
    }
    m_frame = *frame;
    m_phase = Phase::Connecting;
    m_timer.start(CONNECT_TIMEOUT_MS);
    // Some systems refuse a connection to their own addresses at once, inside this call.
    m_starting = true;
    m_socket.connectToHost(cmd.host, cmd.port);
    m_starting = false;
}

void PJCommControl::abort()
{
    if (m_phase == Phase::Idle)
        return;
    const CommandResult result = resultSoFar();
    m_phase = Phase::Idle;
    m_timer.stop();
    m_socket.abort();
    deliverLater({result, {}});
}

CommandResult PJCommControl::resultSoFar() const
{
    switch (m_phase) {
    case Phase::Sending:
        return CommandResult::SendFailed;
    case Phase::AwaitingReply:
        return CommandResult::NoReply;
    case Phase::Idle:
    case Phase::Connecting:
        break;
    }
    return CommandResult::ConnectFailed;
}

void PJCommControl::onConnected()
{
    if (m_phase != Phase::Connecting)
        return;
    m_peerAddress = m_socket.peerAddress();
    m_phase = Phase::Sending;
    m_scanner.emplace(quint8(m_frame[0]), quint8(m_frame[1]));
    if (m_socket.write(m_frame) != m_frame.size()) {
        logSendError();
        finish(CommandResult::SendFailed);
        return;
    }
    // A peer that stops reading would otherwise hold the frame for ever.
    m_timer.start(REPLY_TIMEOUT_MS);
    m_socket.flush();
    if (m_phase == Phase::Sending && m_socket.bytesToWrite() == 0)
        awaitReply();
}

void PJCommControl::onBytesWritten()
{
    if (m_phase == Phase::Sending && m_socket.bytesToWrite() == 0)
        awaitReply();
}

void PJCommControl::awaitReply()
{
    m_phase = Phase::AwaitingReply;
    m_timer.start(REPLY_TIMEOUT_MS);
}

void PJCommControl::onReadyRead()
{
    if (m_phase != Phase::Sending && m_phase != Phase::AwaitingReply)
        return;
    const QByteArray chunk = m_socket.readAll();
    if (chunk.isEmpty())
        return;
    if (m_receivedBytes + chunk.size() > MAX_RECEIVE_BYTES) {
        qCDebug(lcLink, "the peer sent more than %lld bytes: the rest is dropped",
                qlonglong(MAX_RECEIVE_BYTES));
        finish(CommandResult::NoReply);
        return;
    }
    m_receivedBytes += chunk.size();
    const int rating = m_scanner->addChunk(chunk);
    if (rating > 0)
        finish(resultOfReply(ReplyWait::Reply, m_scanner->reply()));
    else if (rating < 0)
        finish(CommandResult::ErrorReply);
}

void PJCommControl::onLinkEnded()
{
    if (m_phase == Phase::Idle)
        return;
    // A peer that closes right after its reply is reported as an error too: what it sent
    // is still the reply.
    if (m_socket.bytesAvailable() > 0)
        onReadyRead();
    switch (m_phase) {
    case Phase::Idle:
        return;
    case Phase::Connecting:
        finish(CommandResult::ConnectFailed);
        return;
    case Phase::Sending:
        logSendError();
        finish(CommandResult::SendFailed);
        return;
    case Phase::AwaitingReply:
        finish(CommandResult::Disconnected);
        return;
    }
}

void PJCommControl::onTimeout()
{
    if (m_phase == Phase::Sending)
        logSendError();
    finish(resultSoFar());
}

void PJCommControl::finish(CommandResult result)
{
    m_phase = Phase::Idle;
    m_timer.stop();
    m_socket.close();
    const CommandOutcome outcome{result, result == CommandResult::Ok ? m_peerAddress : QHostAddress()};
    if (m_starting)
        deliverLater(outcome); // never from inside start()
    else
        emit finished(outcome);
}

void PJCommControl::logSendError() const
{
    qCDebug(lcLink, "TCP Send Error!! = %s:%d\n", qUtf8Printable(m_cmd.host), int(m_cmd.port));
}
