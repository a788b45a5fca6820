#pragma once

#include <QLocalServer>
#include <QLocalSocket>
#include <QObject>
#include <QString>

// Makes sure only one instance runs: probes the local server "Quill Relay" and, when no
// instance answers, becomes that server for the rest of the run. Another process may ask
// the instance through it to end (QuillRelay --exit, which the installers run); a probe
// that connects and sends nothing changes nothing.
//
// Where the usual rendezvous cannot be created (a runtime folder on a file system without
// sockets, or a name too long for one), the instance is the server of a fallback name that
// needs no folder, and every start probes that one too; so the first instance runs and a
// second one is still refused.
class CStartService : public QObject {
    Q_OBJECT
public:
    explicit CStartService(QObject* parent = nullptr);
    ~CStartService() override;

    // The rendezvous. On Windows the pipe name "Quill Relay"; elsewhere the socket file
    // "Quill Relay" in the user's private runtime folder, so that one user's instance never
    // blocks another user of the same machine.
    static QString serverName();
    // The fallback: on Linux a name in the abstract socket namespace that carries the user's
    // id; elsewhere the same name as serverName().
    static QString fallbackName();

    enum class EndResult { Ended, NotRunning, StillRunning };
    // Asks the running instance to end as a session end does (settings saved, pen function
    // off) and waits until it has gone, at most timeoutMs.
    static EndResult endRunningInstance(int timeoutMs);

signals:
    void MultipleStarted();
    void endRequested();

public slots:
    bool CheckStart();
    void ConnectSuccess();
    void ConnectError(QLocalSocket::LocalSocketError socketError);

private:
    enum ProbeState { Waiting = 0, OtherInstance = 1, ProbeFailed = 2, NoOtherInstance = -1 };

    ProbeState probe(const QString& name, QLocalSocket::SocketOptions options);
    QAbstractSocket::SocketError listen(const QString& name, QLocalServer::SocketOptions options);
    void takeConnections(QLocalServer* server);
    // The process that serves the rendezvous at the other end of `socket`, and the wait for
    // its end: on Windows an installer replaces the program's files next, which stay locked
    // while its image is mapped; elsewhere the closed connection tells enough (0, true).
    static qintptr openServerProcess(const QLocalSocket& socket);
    static bool waitForServerProcess(qintptr process, int timeoutMs);

    ProbeState m_state = Waiting;
    QLocalServer* m_server = nullptr;
    QLocalSocket* m_probe = nullptr;

    static constexpr int ProbeTimeoutMs = 5000;
    static constexpr int WaitSliceMs = 1000;
    static constexpr int ListenAttempts = 2;
};
