#pragma once

#include "protocol/pencommand.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpSocket>
#include <QTimer>

// The connection to a projector's command port: connect, send one command frame, wait for
// its reply, close. One link serves one command. Everything runs on the thread that owns it;
// every wait is a nested event loop that blocks until something happens, so a command in
// progress costs no CPU and the rest of the program keeps running.
class PJCommControl final : public QObject {
    Q_OBJECT
public:
    enum class LinkState { Idle, Connected, Error };
    static constexpr int REPLY_TIMEOUT_MS = 5000;
    static constexpr int CONNECT_TIMEOUT_MS = 30000;
    static constexpr int WAIT_SLICE_MS = 100;
    // Bytes the link takes from the peer per command. A reply frame has at most 4101; a
    // peer that sends far more is not answering, and what it sends beyond this is dropped
    // unread (the reply wait then ends at once) instead of filling the memory.
    static constexpr qsizetype MAX_RECEIVE_BYTES = 64 * 1024;

    explicit PJCommControl(QObject* parent = nullptr);
    ~PJCommControl() override;
    Q_DISABLE_COPY_MOVE(PJCommControl)

    // Starts connecting to `host` (name or dotted IPv4) at `port` (decimal). With `wait`
    // false it returns at once, true unless the port is not a number from 1 to 65535; the
    // outcome shows in State() and stateChanged(). With `wait` true it waits up to 30 s and
    // returns whether the link is connected.
    bool Open(const QString& host, const QString& port, bool wait);
    LinkState State() const { return state; }
    // True once connecting has failed (refused, unreachable, host not found, ...) before the
    // link was ever connected: waiting longer will not help.
    bool ConnectFailed() const { return state == LinkState::Error && !m_wasConnected; }
    // The address of the projector the link is (or was last) connected to; null before the
    // link connected. Kept after Close().
    QHostAddress PeerAddress() const { return m_peerAddress; }

    // Sends a frame: true when all of it was handed to the network; false when the link is
    // not connected, writing failed or the peer did not take the bytes within the reply
    // time-out.
    bool SendFrame(const QByteArray& frame);
    // Sends the pen-control command `cmd` (On with this computer's address and UDP port):
    // false without sending for an unusable address or port.
    bool SendPenControl(PenCommand cmd, const QString& localAddress, const QString& localPort);

    // Waits for the reply to the last frame sent, until REPLY_TIMEOUT_MS have passed or
    // `*abort` became true (looked at whenever the wait wakes, at least every WAIT_SLICE_MS;
    // `abort` may be null).
    ReplyWait WaitReply(const bool* abort);
    // The reply frame that WaitReply recognised (empty if none).
    QByteArray Reply() const { return m_reply; }

    void Close();

signals:
    // Emitted whenever State() changes.
    void stateChanged();

private slots:
    void ConnectedHandle();
    void DisConnectedHandle();
    void ReadyReadHandle();
    void SocketErrorHandle(QAbstractSocket::SocketError socketError);
    void RxTimeoutHandle();

private:
    void setState(LinkState newState);
    void logSendError() const;

    LinkState state = LinkState::Idle;
    QTcpSocket socket;
    QString host;
    QString port = QStringLiteral("7142");
    QByteArray lastCommand;           // the last frame sent; its first two bytes select the reply
    QByteArray m_reply;               // the reply frame recognised by the last reply wait
    QList<QByteArray> m_receiveQueue; // reads not yet examined
    QTimer rxTimer;
    bool rxTimedOut = false;
    bool m_wasConnected = false;
    qsizetype m_receivedBytes = 0;  // taken from the peer since Open()
    bool m_receiveOverflow = false; // the peer sent more than MAX_RECEIVE_BYTES
    QHostAddress m_peerAddress;
};
