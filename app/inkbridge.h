#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>

class QUdpSocket;

// The program's main controller: pen-status socket, pen dispatch, connection logic and tray.
class Inkbridge : public QObject {
    Q_OBJECT
public:
    explicit Inkbridge(QObject* parent = nullptr);
    ~Inkbridge() override;
    Q_DISABLE_COPY_MOVE(Inkbridge)

    // Pen-status socket life cycle: bound to UDP 8330 after a successful pen-on, removed
    // after a successful pen-off. Returns whether the port could be bound.
    bool setUpPenStatusSocket();
    void tearDownPenStatusSocket(bool keepPenStatusConnection = false);
    bool isListeningForPens() const { return m_udpSocket != nullptr; }

signals:
    void penStatusRecive(int id, int button, int posx, int posy);

private slots:
    void penStatus(int id, int button, int posx, int posy);

public slots:
    void run();
    void appquit();
    void UdpReadyRead();
    void UdpSocketError();
    void UdpSocketDisconnect();

private:
    QUdpSocket* m_udpSocket = nullptr;
    bool abortRequested = false;
};
