#include "engine/pen/penreceiver.h"

#include "core/ipv4.h"
#include "core/logging.h"
#include "engine/pen/penlatency.h"

#include <QDateTime>
#include <QUdpSocket>

namespace {
// Any host may send to this port. While datagrams of others pour in, the system's default
// buffer (a few hundred small datagrams) fills within milliseconds of any pause of the
// event loop, and the projector's records are then dropped with the rest. The system caps
// the size at its own maximum.
constexpr int ReceiveBufferBytes = 2 * 1024 * 1024;
// Room for the largest UDP datagram over IPv4 (65507 bytes), so none is cut short.
constexpr qint64 DatagramBufferBytes = 65536;
} // namespace

PenReceiver::PenReceiver(Handler onDatagram, QObject* parent)
    : QObject(parent), m_onDatagram(std::move(onDatagram)),
      m_latency(PenLatencyLog::fromEnvironment()),
      m_datagram(std::make_unique<char[]>(DatagramBufferBytes))
{
    m_events.reserve(DatagramBufferBytes / PEN_STATUS_RECORD_SIZE);
}

PenReceiver::~PenReceiver() = default;

bool PenReceiver::listen(quint16 port)
{
    close();
    auto socket = std::make_unique<QUdpSocket>();
    if (!socket->bind(QHostAddress::Any, port))
        return false;
    socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, ReceiveBufferBytes);
    connect(socket.get(), &QUdpSocket::readyRead, this, &PenReceiver::UdpReadyRead);
    connect(socket.get(), &QUdpSocket::errorOccurred, this, &PenReceiver::UdpSocketError);
    if (m_latency)
        m_latency->watch(socket->socketDescriptor());
    m_socket = std::move(socket);
    return true;
}

void PenReceiver::close()
{
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->close();
    }
    m_socket.reset();
    if (m_latency)
        m_latency->flush();
}

void PenReceiver::UdpReadyRead()
{
    // readyRead says a datagram is waiting: it is read at once, and the socket is asked
    // whether another one follows only once this one has been handled, which keeps that
    // question (a system call) off the pen's latency.
    // The handler may close the socket (a pen datagram cannot, but the event loop of a nested
    // wait can run from it), so the socket is looked up again for every datagram.
    // Each datagram is read into the one buffer with its sender, without a copy of its own;
    // the socket does not emit readyRead again while this runs, so the buffer stays as it
    // is until the datagram has been handled.
    if (!m_socket)
        return;
    QHostAddress sender;
    do {
        const qint64 size = m_socket->readDatagram(m_datagram.get(), DatagramBufferBytes, &sender);
        if (size < 0)
            break;
        const int records = handleDatagram(QByteArrayView(m_datagram.get(), size), sender);
        if (m_latency && m_socket)
            m_latency->handled(m_socket->socketDescriptor(), records);
    } while (m_socket && m_socket->hasPendingDatagrams());
}

int PenReceiver::handleDatagram(QByteArrayView data, const QHostAddress& sender)
{
    if (data.size() < PEN_STATUS_RECORD_SIZE)
        return 0;
    if (m_source.isNull() || !ipv4::sameAddress(sender, m_source)) {
        qCDebug(lcPen).noquote() << "UdpRead: dropped a datagram from" << sender.toString()
                                 << "(not the connected projector)";
        return 0;
    }
    const int records = decodePenStatusDatagram(data, m_events);
    if (records > 0)
        m_onDatagram(m_events);
    return records;
}

void PenReceiver::UdpSocketError()
{
    qCDebug(lcPen).noquote() << "["
                             << QDateTime::currentDateTime().toString(
                                    QStringLiteral("yyyy/MM/dd HH:mm:ss.zzz"))
                             << "]";
    qCDebug(lcPen, "udpSocketError");
}
