#include "engine/link/pjcommcontrol.h"

#include "core/eventwait.h"
#include "core/ipv4.h"
#include "core/logging.h"
#include "protocol/commandframe.h"

PJCommControl::PJCommControl(QObject* parent) : QObject(parent)
{
    connect(&socket, &QTcpSocket::connected, this, &PJCommControl::ConnectedHandle);
    connect(&socket, &QTcpSocket::disconnected, this, &PJCommControl::DisConnectedHandle);
    connect(&socket, &QTcpSocket::readyRead, this, &PJCommControl::ReadyReadHandle);
    connect(&socket, &QTcpSocket::errorOccurred, this, &PJCommControl::SocketErrorHandle);
    rxTimer.setSingleShot(true);
    rxTimer.setInterval(REPLY_TIMEOUT_MS);
    rxTimer.setTimerType(Qt::PreciseTimer); // a coarse timer may run 5 % (250 ms) late
    connect(&rxTimer, &QTimer::timeout, this, &PJCommControl::RxTimeoutHandle);
}

PJCommControl::~PJCommControl()
{
    rxTimer.stop();
    // The socket is a member: leaving it connected to our slots while it is torn down
    // would call them on a half-destroyed object.
    socket.disconnect(this);
    if (socket.isOpen())
        socket.close();
}

void PJCommControl::setState(LinkState newState)
{
    if (state == newState)
        return;
    state = newState;
    emit stateChanged();
}

bool PJCommControl::Open(const QString& hostName, const QString& portText, bool wait)
{
    setState(LinkState::Idle);
    m_receiveQueue.clear();
    host = hostName;
    port = portText;
    lastCommand.clear();
    m_reply.clear();
    m_wasConnected = false;
    m_receivedBytes = 0;
    m_receiveOverflow = false;
    m_peerAddress.clear();

    socket.abort();
    const std::optional<quint16> portNumber = ipv4::parsePort(portText);
    if (!portNumber) {
        // Connecting to port 0, or to whatever a truncated number happens to name, would
        // only fail later or reach the wrong service.
        setState(LinkState::Error);
        return false;
    }
    socket.connectToHost(hostName, *portNumber, QIODevice::ReadWrite);
    if (!wait)
        return true;
    EventWait connecting(CONNECT_TIMEOUT_MS, WAIT_SLICE_MS);
    connecting.wakeOn(this, &PJCommControl::stateChanged);
    connecting.waitUntil([this] { return state != LinkState::Idle; });
    return state == LinkState::Connected;
}

void PJCommControl::ConnectedHandle()
{
    m_wasConnected = true;
    m_peerAddress = socket.peerAddress();
    setState(LinkState::Connected);
}

void PJCommControl::DisConnectedHandle()
{
    if (socket.isOpen())
        socket.close();
    // The receive queue is kept: bytes that arrived just before the peer closed may hold
    // the reply, and the reply wait examines them before it looks at the state. Open and
    // Close empty it.
    setState(LinkState::Idle);
}

void PJCommControl::ReadyReadHandle()
{
    const QByteArray chunk = socket.readAll();
    if (chunk.isEmpty())
        return;
    if (m_receivedBytes + chunk.size() > MAX_RECEIVE_BYTES) {
        if (!m_receiveOverflow)
            qCDebug(lcLink, "the peer sent more than %lld bytes: the rest is dropped",
                    qlonglong(MAX_RECEIVE_BYTES));
        m_receiveOverflow = true;
        return;
    }
    m_receivedBytes += chunk.size();
    m_receiveQueue.append(chunk);
}

void PJCommControl::SocketErrorHandle(QAbstractSocket::SocketError)
{
    // A peer that closes after its reply is reported as an error too: keep what it sent.
    if (socket.bytesAvailable() > 0)
        ReadyReadHandle();
    if (socket.isOpen())
        socket.close();
    setState(LinkState::Error); // the receive queue is kept, as on a disconnection
}

void PJCommControl::RxTimeoutHandle()
{
    rxTimer.stop();
    rxTimedOut = true;
}

void PJCommControl::logSendError() const
{
    qCDebug(lcLink, "TCP Send Error!! = %s:%s\n", qUtf8Printable(host), qUtf8Printable(port));
}

bool PJCommControl::SendFrame(const QByteArray& frame)
{
    // While connecting the socket is open already and would keep the frame until the
    // connection is made (or fails): only a connected link counts as open.
    if (!socket.isOpen() || socket.state() != QAbstractSocket::ConnectedState)
        return false;
    if (socket.write(frame) != frame.size()) {
        logSendError();
        return false;
    }
    socket.flush();
    if (socket.bytesToWrite() > 0) {
        // Wait for the bytes to leave, but not for ever: a peer that stops reading would
        // otherwise hold the program here. The reply time-out bounds it.
        EventWait writing(REPLY_TIMEOUT_MS, WAIT_SLICE_MS);
        writing.wakeOn(&socket, &QTcpSocket::bytesWritten);
        writing.wakeOn(this, &PJCommControl::stateChanged);
        writing.waitUntil(
            [this] { return socket.bytesToWrite() == 0 || state != LinkState::Connected; });
        if (socket.bytesToWrite() > 0 || state != LinkState::Connected) {
            logSendError();
            return false;
        }
    }
    lastCommand = frame;
    return true;
}

bool PJCommControl::SendPenControl(PenCommand cmd, const QString& localAddress,
                                   const QString& localPort)
{
    const std::optional<QByteArray> frame = penCommandFrame(cmd, localAddress, localPort);
    return frame && SendFrame(*frame);
}

ReplyWait PJCommControl::WaitReply(const bool* abort)
{
    ReplyWait result = ReplyWait::TimedOut;
    m_reply.clear();
    rxTimedOut = false;
    rxTimer.start();
    // Before any command was sent there is no reply to recognise: only error replies
    // (bit 7 set) could match then, as for any command.
    const quint8 byte1 = lastCommand.size() > 0 ? quint8(lastCommand[0]) : 0;
    const quint8 byte2 = lastCommand.size() > 1 ? quint8(lastCommand[1]) : 0;
    ReplyScanner scanner(byte1, byte2);

    // The time-out timer ends the wait; the deadline below is only a backstop.
    EventWait waiting(REPLY_TIMEOUT_MS + 1000, WAIT_SLICE_MS);
    waiting.wakeOn(&socket, &QTcpSocket::readyRead);
    waiting.wakeOn(&rxTimer, &QTimer::timeout);
    waiting.wakeOn(this, &PJCommControl::stateChanged);
    waiting.waitUntil([&] {
        // What has arrived is looked at first: a reply that came in just before the peer
        // closed or the time ran out is still the reply.
        while (!m_receiveQueue.isEmpty()) {
            const QByteArray chunk = m_receiveQueue.takeFirst();
            const int rating = scanner.addChunk(chunk);
            if (rating != 0) {
                m_reply = scanner.reply();
                result = rating > 0 ? ReplyWait::Reply : ReplyWait::ErrorReply;
                return true;
            }
        }
        if (rxTimedOut || (abort && *abort) || m_receiveOverflow) {
            result = ReplyWait::TimedOut;
            return true;
        }
        if (state != LinkState::Connected) {
            result = ReplyWait::Disconnected;
            return true;
        }
        return false;
    });
    rxTimer.stop();
    return result;
}

void PJCommControl::Close()
{
    if (socket.isOpen())
        socket.close();
    m_receiveQueue.clear();
}
