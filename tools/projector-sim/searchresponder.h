#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUdpSocket>

#include <memory>

// One simulated projector as the search sees it.
struct SimProjector {
    QHostAddress address;         // the address it answers from
    QString name;                 // sent in Shift-JIS
    quint32 status = 0;           // the Status word
    QByteArray hostIp;            // the HostIp text; by default the address itself
    int delayMs = 0;              // pause before each reply
    quint32 appFlag = 0x01000000; // AppFlag of the reply
    quint32 unicastCommandId = 3; // CommandID of a reply to an addressed search
    bool silent = false;          // hears requests but never answers
};

// The projector's side of the UDP search protocol for several projectors at once.
//
// One socket listens on 0.0.0.0:<port>: on Linux a socket bound to a unicast address never
// receives datagrams sent to a broadcast address, so broadcast requests can only be heard
// there. Each projector also has a socket bound to its own address (with address sharing):
// an addressed request arrives there, and every reply leaves from it, so the searcher sees
// the projector's address as the sender.
class SearchResponder final : public QObject {
    Q_OBJECT
public:
    explicit SearchResponder(QObject* parent = nullptr);
    ~SearchResponder() override;
    Q_DISABLE_COPY_MOVE(SearchResponder)

    // replyPort 0: answer to the request's source port.
    bool start(const QList<SimProjector>& projectors, quint16 port, quint16 replyPort,
               QString* error);
    // Every projector sends a notification (CommandID 8) to `to`.
    void notify(const QHostAddress& to);

private:
    struct Member {
        SimProjector projector;
        std::unique_ptr<QUdpSocket> socket;
    };
    void readPending(QUdpSocket* socket, int member);
    void handle(const QByteArray& request, const QHostAddress& from, quint16 fromPort,
                const QHostAddress& to, int member);
    void answer(int member, const QByteArray& request, quint32 commandId, const QHostAddress& to,
                quint16 toPort);
    void send(int member, const QByteArray& datagram, const QHostAddress& to, quint16 toPort,
              const QString& what);
    QByteArray buildReply(const SimProjector& projector, quint16 seqNo, quint32 timeStamp,
                          quint32 commandId) const;

    QUdpSocket m_any;
    QList<Member*> m_members;
    quint16 m_port = 5320;
    quint16 m_replyPort = 5320;
};
