#include "discovery/pjsearchudp.h"

#include "app/logging.h"
#include "discovery/searchpacket.h"

#include <QDateTime>
#include <QException>
#include <QTimer>
#include <QUdpSocket>

namespace {
// Interval of the broadcast repeats, and the number of sends a broadcast search makes.
constexpr int RepeatIntervalMs = 500;
constexpr int BroadcastSends = 4;
// Datagrams taken from the socket in one readyRead() before the event loop runs again.
constexpr int DatagramsPerRound = 64;

void logException(const QException& e)
{
    qCDebug(lcSearch, "exception occured [%s]", e.what());
}

QByteArray ipText(const QHostAddress& address)
{
    return toPlainIpv4(address).toString().toLatin1();
}
} // namespace

PJSearchUdp::PJSearchUdp(QObject* parent, quint32 appFlag, const QList<QHostAddress>& ipList)
    : QObject(parent), m_appFlag(appFlag), m_ipList(ipList), m_request(newSearchRequest())
{
    try {
        m_socket = new QUdpSocket(this);
        m_timer = new QTimer(this);
        m_timer->setInterval(RepeatIntervalMs);
        connect(m_socket, &QUdpSocket::readyRead, this, &PJSearchUdp::UdpReadyRead);
        connect(m_socket, &QUdpSocket::errorOccurred, this, &PJSearchUdp::UdpSocketError);
        connect(m_socket, &QUdpSocket::disconnected, this, &PJSearchUdp::UdpSocketDisconnect);
        connect(m_timer, &QTimer::timeout, this, &PJSearchUdp::UdpSendTimeout);
        for (int i = 0; i < m_ipList.size(); ++i)
            qCDebug(lcSearch, "IP Address %d : %s", i, ipText(m_ipList.at(i)).constData());
    } catch (const QException& e) {
        logException(e);
    } catch (...) {
    }
}

PJSearchUdp::~PJSearchUdp()
{
    if (m_timer)
        m_timer->stop();
    if (m_socket)
        m_socket->close();
}

void PJSearchUdp::SetIpList(const QList<QHostAddress>& ipList)
{
    m_ipList = ipList;
}

bool PJSearchUdp::StartSearch(int commandId)
{
    if (commandId == int(SRCH_CMD_BROADCAST))
        m_pjList.clear();

    bool isIpv4 = false;
    const quint32 own = m_ipList.isEmpty() ? 0 : m_ipList.first().toIPv4Address(&isIpv4);
    if (!isIpv4 || own == 0) {
        qCDebug(lcSearch, "####NIC Error!!");
        qCDebug(lcSearch, "    NIC Count = %d", int(m_ipList.size()));
        if (!m_ipList.isEmpty())
            qCDebug(lcSearch, "    My IP Address %s", ipText(m_ipList.first()).constData());
        return false;
    }

    m_searchMode = commandId;
    m_notifiedRows = 0;
    ++m_seqNo; // 16 bits: 65535 wraps to 0
    m_timeStamp = quint32(QDateTime::currentMSecsSinceEpoch());
    qCDebug(lcSearch, "%u", m_timeStamp);

    m_searching = true;
    // A search started while another runs starts over on a fresh binding.
    if (m_socket->state() != QAbstractSocket::UnconnectedState)
        m_socket->close();
    // IPv4 only, as the protocol is: a dual-stack socket would also take IPv6 datagrams.
    // Replies come to port 5320 whatever happens here; if another program holds the port
    // they reach that program, and the search simply finds nothing.
    m_socket->bind(QHostAddress::AnyIPv4, SEARCH_PORT);

    fillSearchRequest(m_request, m_seqNo, m_timeStamp, m_appFlag, quint32(commandId));
    for (int i = 1; i < m_ipList.size(); ++i) {
        qCDebug(lcSearch, "Send IP Address %d : %s", i, ipText(m_ipList.at(i)).constData());
        sendRequest(m_ipList.at(i));
    }
    qCDebug(lcSearch, "UDPSend Loop End!!");
    m_sendCount = 1;
    m_timer->start(RepeatIntervalMs);
    return true;
}

bool PJSearchUdp::Stop()
{
    qCDebug(lcSearch, "Stop");
    m_timer->stop();
    m_searching = false;
    m_socket->close();
    return true;
}

bool PJSearchUdp::GetPJListItem(int index, PJListItem& item) const
{
    if (index < 0 || index >= m_pjList.size())
        return false;
    item = m_pjList.at(index);
    return true;
}

void PJSearchUdp::AddPJListItem(const QHostAddress& address, const QString& name, quint32 status)
{
    for (const PJListItem& item : std::as_const(m_pjList)) {
        if (sameIpv4Address(item.Address, address))
            return;
    }
    m_pjList.append(PJListItem{name, toPlainIpv4(address), status});
}

int PJSearchUdp::SearchAckDataCheck(QByteArrayView data, const QHostAddress& sender) const
{
    return searchAckDataCheck(data, sender, m_seqNo, m_appFlag, m_ipList);
}

bool PJSearchUdp::UDPSend(const QHostAddress& address, const char* data, qint64 length)
{
    // A null or 0.0.0.0 target (an interface without a broadcast address) would go to this
    // computer itself, and the engine would take its own request for a projector's reply.
    bool isIpv4 = false;
    const quint32 target = address.toIPv4Address(&isIpv4);
    // No wait for earlier writes: a datagram socket has no write buffer, so each datagram
    // is handed to the system at once, and waiting here would only freeze the dialog.
    if (isIpv4 && target != 0 &&
        m_socket->writeDatagram(data, length, QHostAddress(target), SEARCH_PORT) == length)
        return true;
    qCDebug(lcSearch, "############################UDPSend Error!!  = %s",
            ipText(address).constData());
    return false;
}

void PJSearchUdp::sendRequest(const QHostAddress& address)
{
    UDPSend(address, m_request.constData(), m_request.size());
}

void PJSearchUdp::UdpSendTimeout()
{
    try {
        if (m_ipList.isEmpty() || m_searchMode != int(SRCH_CMD_BROADCAST)) {
            Stop();
        } else if (m_sendCount >= BroadcastSends) {
            Stop();
        } else if (m_ipList.size() < 2) {
            Stop();
        } else {
            qCDebug(lcSearch, "IP Address = %s", ipText(m_ipList.at(1)).constData());
            sendRequest(m_ipList.at(1));
            ++m_sendCount;
        }
    } catch (const QException& e) {
        logException(e);
    } catch (...) {
    }
}

void PJSearchUdp::UdpReadyRead()
{
    try {
        // Every pending datagram is read and judged by itself, with its own sender: many
        // projectors answer a broadcast at the same moment, and their replies queue up here.
        // A round takes a bounded number, so that a flood cannot keep the dialog from being
        // painted; the socket stays readable and the rest comes with the next readyRead().
        for (int round = 0; round < DatagramsPerRound && m_socket->hasPendingDatagrams(); ++round) {
            QByteArray buffer(SEARCH_REPLY_BUFFER_SIZE, '\0');
            QHostAddress sender;
            const qint64 received = m_socket->readDatagram(buffer.data(), buffer.size(), &sender);
            if (received < 0)
                break;
            handleDatagram(buffer, qsizetype(received), sender);
        }
    } catch (const QException& e) {
        logException(e);
    } catch (...) {
    }
}

void PJSearchUdp::handleDatagram(const QByteArray& buffer, qsizetype received,
                                 const QHostAddress& sender)
{
    // The request as it is now: an acceptance answers the search this reply belongs to.
    const QByteArray request = m_request;
    const QByteArrayView data = QByteArrayView(buffer).first(received);
    const QByteArray senderText = ipText(sender);

    if (!m_ipList.isEmpty() && sameIpv4Address(sender, m_ipList.first())) {
        // Our own broadcast, delivered back to us.
        qCDebug(lcSearch, "##echo##:hostip() : %s", senderText.constData());
        return;
    }
    qCDebug(lcSearch, "Receive Data Count = %d", int(received));
    qCDebug(lcSearch, "Receive Data Top   = %s", searchTextAt(data, 0).constData());
    qCDebug(lcSearch, "IP Address         = %s", senderText.constData());

    const int result = SearchAckDataCheck(data, sender);
    if (result == SearchAckRejected)
        return;
    if (result == SearchAckNotify && m_notifiedRows >= MAX_NOTIFIED_ROWS) {
        qCDebug(lcSearch, "notification ignored: %d rows of this search came from notifications",
                m_notifiedRows);
        return;
    }
    const int rowsBefore = PJListCount();
    if (result == SearchAckBroadcastReply) {
        const QByteArray accept = searchAcceptance(request);
        UDPSend(sender, accept.constData(), accept.size());
        qCDebug(lcSearch, "Accept Command Send : %s", senderText.constData());
    }

    const SearchReply reply = decodeSearchReply(data);
    qCDebug(lcSearch, "hostip1 : %s", senderText.constData());
    qCDebug(lcSearch, "hostip2 : %s", ipText(reply.hostIp).constData());
    if (reply.hostIp.isNull() || sameIpv4Address(reply.hostIp, sender)) {
        AddPJListItem(sender, reply.name, reply.status);
    } else {
        // Listed under both: the address it reports may be the one the user knows, the
        // sender's is the one that answered here.
        AddPJListItem(reply.hostIp, reply.name, reply.status);
        AddPJListItem(sender, reply.name, reply.status);
    }
    if (result == SearchAckNotify)
        m_notifiedRows += PJListCount() - rowsBefore;
}

void PJSearchUdp::UdpSocketError()
{
    qCDebug(lcSearch, "####################################udpSocketError :");
}

void PJSearchUdp::UdpSocketDisconnect()
{
    qCDebug(lcSearch, "###################################udpSocketDisconnect :");
}
