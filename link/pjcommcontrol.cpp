#include "link/pjcommcontrol.h"

#include "app/eventwait.h"
#include "app/logging.h"
#include "link/commandframe.h"
#include "link/pencontrol.h"

#include <QMutexLocker>

namespace {
// A port the link can connect to: decimal digits only, 1 to 65535.
quint16 parsePort(const QString& text)
{
    bool ok = false;
    const uint value = text.trimmed().toUInt(&ok, 10);
    return ok && value >= 1 && value <= 65535 ? quint16(value) : quint16(0);
}
} // namespace

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
    ClearQueue();
}

void PJCommControl::setState(int newState)
{
    if (state == newState)
        return;
    state = newState;
    emit stateChanged(newState);
}

bool PJCommControl::Open(const QString& hostName, const QString& portText, bool wait)
{
    setState(LINK_IDLE);
    ClearQueue();
    host = hostName;
    port = portText;
    lastCommand.clear();
    replyBuffer.clear();
    m_reply.clear();
    m_wasConnected = false;
    m_receivedBytes = 0;
    m_receiveOverflow = false;
    m_peerAddress.clear();
    m_peerPort = 0;

    socket.abort();
    const quint16 portNumber = parsePort(portText);
    if (portNumber == 0) {
        // Connecting to port 0, or to whatever a truncated number happens to name, would
        // only fail later or reach the wrong service.
        setState(LINK_ERROR);
        return false;
    }
    socket.connectToHost(hostName, portNumber, QIODevice::ReadWrite);
    if (!wait)
        return true;
    EventWait connecting(CONNECT_TIMEOUT_MS, WAIT_SLICE_MS);
    connecting.wakeOn(this, &PJCommControl::stateChanged);
    connecting.waitUntil([this] { return state != LINK_IDLE; });
    return state == LINK_CONNECTED;
}

void PJCommControl::ConnectedHandle()
{
    m_wasConnected = true;
    m_peerAddress = socket.peerAddress();
    m_peerPort = socket.peerPort();
    setState(LINK_CONNECTED);
}

void PJCommControl::DisConnectedHandle()
{
    if (socket.isOpen())
        socket.close();
    // The receive queue is kept: bytes that arrived just before the peer closed may hold
    // the reply, and the reply wait examines them before it looks at the state. Open and
    // Close empty it.
    setState(LINK_IDLE);
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
    enqueue(chunk);
}

void PJCommControl::SocketErrorHandle(QAbstractSocket::SocketError)
{
    // A peer that closes after its reply is reported as an error too: keep what it sent.
    if (socket.bytesAvailable() > 0)
        ReadyReadHandle();
    if (socket.isOpen())
        socket.close();
    setState(LINK_ERROR); // the receive queue is kept, as on a disconnection
}

void PJCommControl::RxTimeoutHandle()
{
    rxTimer.stop();
    rxTimedOut = true;
}

int PJCommControl::BuildFrame(QByteArray& frame, quint8 byte1, quint8 byte2, quint16 length,
                              const QByteArray& data)
{
    return CommandFrame::build(frame, byte1, byte2, length, data);
}

void PJCommControl::logSendError() const
{
    qCDebug(lcLink, "TCP Send Error!! = %s:%s\n", qUtf8Printable(host), qUtf8Printable(port));
}

int PJCommControl::SendFrame(const QByteArray& frame)
{
    try {
        // While connecting the socket is open already and would keep the frame until the
        // connection is made (or fails): only a connected link counts as open.
        if (!socket.isOpen() || socket.state() != QAbstractSocket::ConnectedState)
            return RESULT_SEND_FAILED;
        if (socket.write(frame) != frame.size()) {
            logSendError();
            return RESULT_SEND_FAILED;
        }
        socket.flush();
        if (socket.bytesToWrite() > 0) {
            // Wait for the bytes to leave, but not for ever: a peer that stops reading
            // would otherwise hold the program here. The reply time-out bounds it.
            EventWait writing(REPLY_TIMEOUT_MS, WAIT_SLICE_MS);
            writing.wakeOn(&socket, &QTcpSocket::bytesWritten);
            writing.wakeOn(this, &PJCommControl::stateChanged);
            writing.waitUntil(
                [this] { return socket.bytesToWrite() == 0 || state != LINK_CONNECTED; });
            if (socket.bytesToWrite() > 0 || state != LINK_CONNECTED) {
                logSendError();
                return RESULT_SEND_FAILED;
            }
        }
        lastCommand = frame;
        return 1;
    } catch (...) {
        return RESULT_SEND_FAILED;
    }
}

int PJCommControl::SendPenControl(int cmdid, const QString& localAddress, const QString& localPort)
{
    try {
        if (!socket.isOpen() || !socket.isWritable() ||
            socket.state() != QAbstractSocket::ConnectedState)
            return RESULT_SEND_FAILED;
        QByteArray data;
        if (!CPenControl::commandData(cmdid, localAddress, localPort, &data))
            return RESULT_SEND_FAILED;
        QByteArray frame;
        BuildFrame(frame, 0x03, 0xCE, quint16(data.size()), data);
        return SendFrame(frame);
    } catch (...) {
        return RESULT_SEND_FAILED;
    }
}

int PJCommControl::WaitReply(const bool* abort)
{
    int result = RESULT_NO_REPLY;
    try {
        replyBuffer.clear();
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
            // What has arrived is looked at first: a reply that came in just before the
            // peer closed or the time ran out is still the reply.
            QByteArray chunk;
            while (takeFirst(&chunk)) {
                replyBuffer.append(chunk);
                const int rating = scanner.addChunk(chunk);
                if (rating != 0) {
                    m_reply = scanner.reply();
                    result = rating > 0 ? 1 : RESULT_ERROR_REPLY;
                    return true;
                }
            }
            if (rxTimedOut || (abort && *abort) || m_receiveOverflow) {
                result = RESULT_NO_REPLY;
                return true;
            }
            if (state != LINK_CONNECTED) {
                result = RESULT_DISCONNECTED;
                return true;
            }
            return false;
        });
    } catch (...) {
        // The result reached so far stands.
    }
    rxTimer.stop();
    return result;
}

void PJCommControl::Close()
{
    if (socket.isOpen())
        socket.close();
    ClearQueue();
}

void PJCommControl::ClearQueue()
{
    QMutexLocker lock(&m_queueLock);
    m_receiveQueue.clear();
}

void PJCommControl::enqueue(const QByteArray& chunk)
{
    QMutexLocker lock(&m_queueLock);
    m_receiveQueue.append(chunk);
}

bool PJCommControl::takeFirst(QByteArray* chunk)
{
    QMutexLocker lock(&m_queueLock);
    if (m_receiveQueue.isEmpty())
        return false;
    *chunk = m_receiveQueue.takeFirst();
    return true;
}
