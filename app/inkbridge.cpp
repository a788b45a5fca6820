#include "app/inkbridge.h"

#include "app/logging.h"
#include "app/penstatusrecord.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QNetworkDatagram>
#include <QUdpSocket>

Inkbridge::Inkbridge(QObject* parent) : QObject(parent) {}

Inkbridge::~Inkbridge()
{
    tearDownPenStatusSocket(true);
}

void Inkbridge::run() {}

void Inkbridge::appquit()
{
    abortRequested = true;
    QCoreApplication::exit(0);
}

bool Inkbridge::setUpPenStatusSocket()
{
    if (m_udpSocket)
        tearDownPenStatusSocket();
    m_udpSocket = new QUdpSocket();
    connect(m_udpSocket, &QUdpSocket::readyRead, this, &Inkbridge::UdpReadyRead);
    connect(m_udpSocket, &QUdpSocket::errorOccurred, this, &Inkbridge::UdpSocketError);
    connect(m_udpSocket, &QUdpSocket::disconnected, this, &Inkbridge::UdpSocketDisconnect);
    connect(this, &Inkbridge::penStatusRecive, this, &Inkbridge::penStatus, Qt::QueuedConnection);
    return m_udpSocket->bind(QHostAddress::Any, PEN_STATUS_PORT);
}

void Inkbridge::tearDownPenStatusSocket(bool keepPenStatusConnection)
{
    if (!m_udpSocket)
        return;
    disconnect(m_udpSocket, nullptr, this, nullptr);
    if (!keepPenStatusConnection)
        disconnect(this, &Inkbridge::penStatusRecive, nullptr, nullptr);
    if (m_udpSocket->isOpen())
        m_udpSocket->close();
    delete m_udpSocket;
    m_udpSocket = nullptr;
}

void Inkbridge::UdpReadyRead()
{
    while (m_udpSocket && m_udpSocket->hasPendingDatagrams()) {
        QByteArray datagram(qMax<qint64>(m_udpSocket->pendingDatagramSize(), 0), Qt::Uninitialized);
        const qint64 read = m_udpSocket->readDatagram(datagram.data(), datagram.size());
        if (read < PEN_STATUS_RECORD_SIZE)
            continue;
        datagram.truncate(read);
        processPenStatusDatagram(datagram, [this](const PenEvent& e) {
            penStatus(e.id, e.button, e.posx, e.posy);
        });
    }
}

void Inkbridge::UdpSocketError()
{
    qCDebug(lcPen).noquote() << "["
                             << QDateTime::currentDateTime().toString(
                                    QStringLiteral("yyyy/MM/dd HH:mm:ss.zzz"))
                             << "]";
    qCDebug(lcPen, "udpSocketError");
}

void Inkbridge::UdpSocketDisconnect() {}

void Inkbridge::penStatus(int id, int button, int posx, int posy)
{
    Q_UNUSED(id)
    Q_UNUSED(button)
    Q_UNUSED(posx)
    Q_UNUSED(posy)
}
