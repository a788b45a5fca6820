#include "engine/search/pjsearchudp.h"

#include "core/ipv4.h"
#include "core/logging.h"

#include <QDateTime>

namespace {
// Interval of the broadcast repeats, and the number of sends a broadcast search makes.
constexpr int RepeatIntervalMs = 500;
constexpr int BroadcastSends = 4;
// Datagrams taken from the socket in one readyRead() before the event loop runs again.
constexpr int DatagramsPerRound = 64;

QByteArray ipText(const QHostAddress& address)
{
    return ipv4::toPlain(address).toString().toLatin1();
}
} // namespace

PJSearchUdp::PJSearchUdp(quint32 appFlag, QObject* parent)
    : QObject(parent), m_appFlag(appFlag), m_request(newSearchRequest())
{
    m_timer.setInterval(RepeatIntervalMs);
    connect(&m_socket, &QUdpSocket::readyRead, this, &PJSearchUdp::UdpReadyRead);
    connect(&m_socket, &QUdpSocket::errorOccurred, this, &PJSearchUdp::UdpSocketError);
    connect(&m_timer, &QTimer::timeout, this, &PJSearchUdp::UdpSendTimeout);
}

PJSearchUdp::~PJSearchUdp()
{
    m_timer.stop();
    m_socket.close();
}

PJSearchUdp::Start PJSearchUdp::searchBroadcast(const QHostAddress& own,
                                                const QHostAddress& broadcast)
{
    if (!m_searching)
        m_pjList.clear();
    return start(SearchMode::Broadcast, {own, broadcast});
}

PJSearchUdp::Start PJSearchUdp::searchAddresses(const QHostAddress& own, const QHostAddress& first,
                                                const QHostAddress& last, bool listSilent)
{
    QList<QHostAddress> targets{own};
    // Counted on 64 bits so that a range ending at 255.255.255.255 stops there.
    for (quint64 value = first.toIPv4Address(); value <= last.toIPv4Address(); ++value)
        targets.append(QHostAddress(quint32(value)));
    const Start result = start(SearchMode::Unicast, targets);
    if (result == Start::Started)
        m_silentAddress = listSilent ? first : QHostAddress();
    return result;
}

PJSearchUdp::Start PJSearchUdp::start(SearchMode mode, const QList<QHostAddress>& targets)
{
    for (int i = 0; i < targets.size(); ++i)
        qCDebug(lcSearch, "IP Address %d : %s", i, ipText(targets.at(i)).constData());
    if (m_searching) {
        // The running search sends its remaining repeats to the new targets and checks
        // later replies against them.
        m_ipList = targets;
        return Start::Retargeted;
    }
    const quint32 own = targets.first().toIPv4Address();
    if (own == 0) {
        qCDebug(lcSearch, "####NIC Error!!");
        qCDebug(lcSearch, "    NIC Count = %d", int(targets.size()));
        qCDebug(lcSearch, "    My IP Address %s", ipText(targets.first()).constData());
        return Start::NoInterface;
    }
    m_ipList = targets;
    m_searchMode = mode;
    m_notifiedRows = 0;
    m_silentAddress.clear();
    ++m_seqNo; // 16 bits: 65535 wraps to 0
    const auto timeStamp = quint32(QDateTime::currentMSecsSinceEpoch());
    qCDebug(lcSearch, "%u", timeStamp);

    m_searching = true;
    // IPv4 only, as the protocol is: a dual-stack socket would also take IPv6 datagrams.
    // Replies come to port 5320 whatever happens here; if another program holds the port
    // they reach that program, and the search simply finds nothing.
    m_socket.bind(QHostAddress::AnyIPv4, SEARCH_PORT);

    fillSearchRequest(m_request, m_seqNo, timeStamp, m_appFlag, quint32(mode));
    for (int i = 1; i < m_ipList.size(); ++i) {
        qCDebug(lcSearch, "Send IP Address %d : %s", i, ipText(m_ipList.at(i)).constData());
        UDPSend(m_ipList.at(i), m_request);
    }
    qCDebug(lcSearch, "UDPSend Loop End!!");
    m_sendCount = 1;
    m_timer.start();
    return Start::Started;
}

void PJSearchUdp::Stop()
{
    qCDebug(lcSearch, "Stop");
    m_timer.stop();
    m_socket.close();
    if (!m_searching)
        return;
    m_searching = false;
    // A typed single address that did not answer is listed as failed; one that answered is
    // listed already, and the first entry stays.
    if (!m_silentAddress.isNull())
        AddPJListItem(m_silentAddress, QString(), FAILED_STATUS);
    m_silentAddress.clear();
    emit finished();
}

void PJSearchUdp::AddPJListItem(const QHostAddress& address, const QString& name, quint32 status)
{
    for (const PJListItem& item : std::as_const(m_pjList)) {
        if (ipv4::sameAddress(item.Address, address))
            return;
    }
    m_pjList.append(PJListItem{name, ipv4::toPlain(address), status});
    emit found(m_pjList.back());
}

bool PJSearchUdp::UDPSend(const QHostAddress& address, const QByteArray& data)
{
    // A null or 0.0.0.0 target (an interface without a broadcast address) would go to this
    // computer itself, and the engine would take its own request for a projector's reply.
    // No wait for earlier writes: a datagram socket has no write buffer, so each datagram
    // is handed to the system at once, and waiting here would only freeze the dialog.
    const quint32 target = address.toIPv4Address();
    if (target != 0 && m_socket.writeDatagram(data, QHostAddress(target), SEARCH_PORT) == data.size())
        return true;
    qCDebug(lcSearch, "############################UDPSend Error!!  = %s",
            ipText(address).constData());
    return false;
}

void PJSearchUdp::UdpSendTimeout()
{
    if (m_searchMode != SearchMode::Broadcast || m_sendCount >= BroadcastSends ||
        m_ipList.size() < 2) {
        Stop();
        return;
    }
    qCDebug(lcSearch, "IP Address = %s", ipText(m_ipList.at(1)).constData());
    UDPSend(m_ipList.at(1), m_request);
    ++m_sendCount;
}

void PJSearchUdp::UdpReadyRead()
{
    // Every pending datagram is read and judged by itself, with its own sender: many
    // projectors answer a broadcast at the same moment, and their replies queue up here.
    // A round takes a bounded number, so that a flood cannot keep the dialog from being
    // painted; the socket stays readable and the rest comes with the next readyRead().
    QByteArray buffer(SEARCH_REPLY_BUFFER_SIZE, '\0');
    for (int round = 0; round < DatagramsPerRound && m_socket.hasPendingDatagrams(); ++round) {
        QHostAddress sender;
        const qint64 received = m_socket.readDatagram(buffer.data(), buffer.size(), &sender);
        if (received < 0)
            break;
        handleDatagram(QByteArrayView(buffer).first(received), sender);
    }
}

SearchCheck PJSearchUdp::handleDatagram(QByteArrayView data, const QHostAddress& sender)
{
    const QByteArray senderText = ipText(sender);
    // Our own broadcast, delivered back to us: from our own address, or (on a computer with
    // more than one) byte for byte the request.
    if (data == m_request || (!m_ipList.isEmpty() && ipv4::sameAddress(sender, m_ipList.first()))) {
        qCDebug(lcSearch, "##echo##:hostip() : %s", senderText.constData());
        return SearchCheck::OwnRequest;
    }
    qCDebug(lcSearch, "Receive Data Count = %d", int(data.size()));
    qCDebug(lcSearch, "Receive Data Top   = %s", searchTextAt(data, 0).constData());
    qCDebug(lcSearch, "IP Address         = %s", senderText.constData());

    const SearchCheck check = searchAckDataCheck(data, sender, m_seqNo, m_appFlag, m_ipList);
    if (!isAccepted(check))
        return check;
    if (check == SearchCheck::Notify && m_notifiedRows >= MAX_NOTIFIED_ROWS) {
        qCDebug(lcSearch, "notification ignored: %d rows of this search came from notifications",
                m_notifiedRows);
        return check;
    }
    const qsizetype rowsBefore = m_pjList.size();
    if (check == SearchCheck::BroadcastReply) {
        UDPSend(sender, searchAcceptance(m_request));
        qCDebug(lcSearch, "Accept Command Send : %s", senderText.constData());
    }

    const SearchReply reply = decodeSearchReply(data);
    qCDebug(lcSearch, "hostip1 : %s", senderText.constData());
    qCDebug(lcSearch, "hostip2 : %s", ipText(reply.hostIp).constData());
    if (reply.hostIp.isNull() || ipv4::sameAddress(reply.hostIp, sender)) {
        AddPJListItem(sender, reply.name, reply.status);
    } else {
        // Listed under both: the address it reports may be the one the user knows, the
        // sender's is the one that answered here.
        AddPJListItem(reply.hostIp, reply.name, reply.status);
        AddPJListItem(sender, reply.name, reply.status);
    }
    if (check == SearchCheck::Notify)
        m_notifiedRows += int(m_pjList.size() - rowsBefore);
    return check;
}

void PJSearchUdp::UdpSocketError()
{
    qCDebug(lcSearch, "####################################udpSocketError :");
}
