#pragma once

#include <QLocalSocket>
#include <QObject>
#include <QString>

class QLocalServer;

// Makes sure only one instance runs: probes the local server "Quill Relay" and, when no
// instance answers, becomes that server for the rest of the run.
class CStartService : public QObject {
    Q_OBJECT
public:
    explicit CStartService(QObject* parent = nullptr);
    ~CStartService() override;

    // The rendezvous address. On Windows the pipe name "Quill Relay"; elsewhere the socket
    // file "Quill Relay" in the user's private runtime folder, so that one user's instance
    // never blocks another user of the same machine.
    static QString serverName();

signals:
    void MultipleStarted();

public slots:
    bool CheckStart();
    void ConnectSuccess();
    void ConnectError(QLocalSocket::LocalSocketError socketError);

private:
    enum ProbeState { Waiting = 0, OtherInstance = 1, ProbeFailed = 2, NoOtherInstance = -1 };

    void listen();
    void dropProbe();

    int m_state = Waiting;
    QLocalServer* m_server = nullptr;
    QLocalSocket* m_probe = nullptr;

    static constexpr int ProbeTimeoutMs = 5000;
    static constexpr int WaitSliceMs = 1000;
    static constexpr int ListenAttempts = 2;
};
