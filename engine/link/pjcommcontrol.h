#pragma once

#include "engine/link/pencommandexchange.h"
#include "protocol/commandframe.h"

#include <QByteArray>
#include <QTcpSocket>
#include <QTimer>

#include <optional>

// The exchange over the projector's command port: connect (at most 30 s; a refused,
// unreachable or unknown host ends it at once), send the frame (5 s), wait for its reply
// (5 s), close. Driven by the socket's signals and one timer: nothing waits, so a command
// in progress costs no CPU and the rest of the program runs on.
class PJCommControl final : public PenCommandExchange {
    Q_OBJECT
public:
    static constexpr int REPLY_TIMEOUT_MS = 5000;
    static constexpr int CONNECT_TIMEOUT_MS = 30000;
    // Bytes taken from the peer per command. A reply frame has at most 4101; a peer that
    // sends far more is not answering, and the exchange ends as if no reply had come
    // instead of filling the memory.
    static constexpr qsizetype MAX_RECEIVE_BYTES = 64 * 1024;

    explicit PJCommControl(QObject* parent = nullptr);
    ~PJCommControl() override;
    Q_DISABLE_COPY_MOVE(PJCommControl)

    void start(const CPenControl& cmd) override;
    void abort() override;
    bool isRunning() const override { return m_phase != Phase::Idle; }

private:
    enum class Phase { Idle, Connecting, Sending, AwaitingReply };

    void onConnected();
    void onBytesWritten();
    void onReadyRead();
    void onLinkEnded();
    void onTimeout();
    void awaitReply();
    // What giving up now leaves.
    CommandResult resultSoFar() const;
    void finish(CommandResult result);
    void logSendError() const;

    Phase m_phase = Phase::Idle;
    CPenControl m_cmd;
    QByteArray m_frame;
    std::optional<ReplyScanner> m_scanner; // from the frame's sending on
    qsizetype m_receivedBytes = 0;
    bool m_starting = false; // inside start()
    QHostAddress m_peerAddress;
    QTcpSocket m_socket;
    QTimer m_timer; // the deadline of the current phase
};
