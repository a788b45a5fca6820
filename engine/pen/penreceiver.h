#pragma once

#include "protocol/penstatusrecord.h"

#include <QByteArrayView>
#include <QHostAddress>
#include <QObject>

#include <functional>
#include <memory>
#include <span>
#include <vector>

class PenLatencyLog;
class QUdpSocket;

// The pen-status socket: receives the projector's datagrams on UDP port 8330, drops those
// of any other sender, checks each 13-byte record and hands the valid ones of a datagram on
// together, in order.
class PenReceiver final : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(std::span<const PenEvent>)>;

    explicit PenReceiver(Handler onDatagram, QObject* parent = nullptr);
    ~PenReceiver() override;
    Q_DISABLE_COPY_MOVE(PenReceiver)

    // Binds a new socket to `port` on every local address, replacing the old one. False
    // when the port cannot be bound (another program holds it); nothing listens then.
    bool listen(quint16 port);
    void close();
    bool isListening() const { return m_socket != nullptr; }

    // Only the projector that switched its pen function on for this computer may move the
    // pointer; anyone else on the network could otherwise click on this desktop.
    void acceptFrom(const QHostAddress& projector) { m_source = projector; }
    QHostAddress source() const { return m_source; }

    // One datagram as it arrived from `sender`: the socket's reader calls it for each one.
    // Returns the number of records handed on (in one call, when there were any).
    int handleDatagram(QByteArrayView data, const QHostAddress& sender);

public slots:
    void UdpReadyRead();
    void UdpSocketError();

private:
    Handler m_onDatagram;
    std::vector<PenEvent> m_events; // the valid events of the datagram being handled
    std::unique_ptr<PenLatencyLog> m_latency; // null unless the latency benchmark asks
    std::unique_ptr<QUdpSocket> m_socket;
    std::unique_ptr<char[]> m_datagram; // the datagram being handled
    QHostAddress m_source;
};
