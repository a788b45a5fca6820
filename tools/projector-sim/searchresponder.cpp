#include "searchresponder.h"

#include "simlog.h"

#include <QNetworkDatagram>
#include <QTextCodec>
#include <QtEndian>

namespace {
constexpr int kReplySize = 256;
constexpr int kHostIpOffset = 32;
constexpr int kNameOffset = 96;
constexpr int kNameMax = 47; // up to the AppFlag at 144, with room for the NUL
constexpr int kAppFlagOffset = 144;

quint32 readU32(const QByteArray& data, int offset)
{
    if (data.size() < offset + 4)
        return 0;
    return qFromLittleEndian<quint32>(data.constData() + offset);
}

quint16 readU16(const QByteArray& data, int offset)
{
    if (data.size() < offset + 2)
        return 0;
    return qFromLittleEndian<quint16>(data.constData() + offset);
}

void writeU32(QByteArray& data, int offset, quint32 value)
{
    qToLittleEndian(value, data.data() + offset);
}

// The name in Shift-JIS, cut at a character boundary so that it fits its field.
QByteArray toShiftJis(const QString& text, int maxBytes)
{
    QTextCodec* codec = QTextCodec::codecForName("Shift-JIS");
    QByteArray bytes;
    for (const QChar c : text) {
        const QByteArray one = codec ? codec->fromUnicode(QString(c)) : QByteArray(1, c.toLatin1());
        if (bytes.size() + one.size() > maxBytes)
            break;
        bytes += one;
    }
    return bytes;
}
} // namespace

SearchResponder::SearchResponder(QObject* parent) : QObject(parent)
{
}

SearchResponder::~SearchResponder()
{
    qDeleteAll(m_members);
}

bool SearchResponder::start(const QList<SimProjector>& projectors, quint16 port, quint16 replyPort,
                            QString* error)
{
    m_port = port;
    m_replyPort = replyPort;
    const auto mode = QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint;
    if (!m_any.bind(QHostAddress::AnyIPv4, port, mode)) {
        *error =
            QStringLiteral("cannot listen on 0.0.0.0:%1: %2").arg(port).arg(m_any.errorString());
        return false;
    }
    connect(&m_any, &QUdpSocket::readyRead, this, [this] { readPending(&m_any, -1); });
    for (const SimProjector& projector : projectors) {
        auto* member = new Member{projector, std::make_unique<QUdpSocket>()};
        m_members.append(member);
        const int index = int(m_members.size()) - 1;
        if (!member->socket->bind(projector.address, port, mode)) {
            *error =
                QStringLiteral("cannot bind %1: %2 (is the address on an interface?)")
                    .arg(SimLog::endpoint(projector.address, port), member->socket->errorString());
            return false;
        }
        QUdpSocket* socket = member->socket.get();
        connect(socket, &QUdpSocket::readyRead, this,
                [this, socket, index] { readPending(socket, index); });
        SimLog::line(QStringLiteral("search-listen %1 name=%2")
                         .arg(SimLog::endpoint(projector.address, port), projector.name));
    }
    return true;
}

void SearchResponder::readPending(QUdpSocket* socket, int member)
{
    while (socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket->receiveDatagram();
        if (!datagram.isValid())
            continue;
        const QHostAddress from(datagram.senderAddress().toIPv4Address());
        const QHostAddress to(datagram.destinationAddress().toIPv4Address());
        handle(datagram.data(), from, quint16(datagram.senderPort()), to, member);
    }
}

void SearchResponder::handle(const QByteArray& request, const QHostAddress& from, quint16 fromPort,
                             const QHostAddress& to, int member)
{
    const quint32 commandId = readU32(request, 16);
    const QString local = member >= 0 ? m_members[member]->projector.address.toString()
                                      : (to.isNull() ? QStringLiteral("0.0.0.0") : to.toString());
    SimLog::line(QStringLiteral("search-rx %1 %2 cmd=%3 seq=%4 %5")
                     .arg(local, SimLog::endpoint(from, fromPort))
                     .arg(commandId)
                     .arg(readU16(request, 8))
                     .arg(SimLog::hex(request)));
    if (request.size() < 28 || !request.startsWith("ZRVX")) {
        SimLog::line(QStringLiteral("search-ignored %1 not a search request")
                         .arg(SimLog::endpoint(from, fromPort)));
        return;
    }
    if (commandId == 5) {
        SimLog::line(
            QStringLiteral("search-accept %1 %2").arg(local, SimLog::endpoint(from, fromPort)));
        return;
    }
    if (commandId != 2 && commandId != 3) {
        SimLog::line(QStringLiteral("search-ignored %1 cmd=%2")
                         .arg(SimLog::endpoint(from, fromPort))
                         .arg(commandId));
        return;
    }
    const quint16 toPort = m_replyPort == 0 ? fromPort : m_replyPort;
    if (member >= 0) {
        // Addressed to this projector's own address.
        answer(member, request, commandId == 2 ? 2 : m_members[member]->projector.unicastCommandId,
               from, toPort);
        return;
    }
    for (int i = 0; i < m_members.size(); ++i) {
        // A request to one projector's address that still reached the shared socket (it
        // does when the address-bound socket is missing) is that projector's alone.
        if (!to.isNull() && to == m_members[i]->projector.address) {
            answer(i, request, commandId == 2 ? 2 : m_members[i]->projector.unicastCommandId, from,
                   toPort);
            return;
        }
    }
    // A broadcast: every projector on the segment hears it and answers.
    for (int i = 0; i < m_members.size(); ++i)
        answer(i, request, commandId == 2 ? 2 : m_members[i]->projector.unicastCommandId, from,
               toPort);
}

void SearchResponder::answer(int member, const QByteArray& request, quint32 commandId,
                             const QHostAddress& to, quint16 toPort)
{
    const SimProjector& projector = m_members[member]->projector;
    if (projector.silent) {
        SimLog::line(QStringLiteral("search-silent %1").arg(projector.address.toString()));
        return;
    }
    const QByteArray reply =
        buildReply(projector, readU16(request, 8), readU32(request, 12), commandId);
    if (projector.delayMs <= 0) {
        send(member, reply, to, toPort, QStringLiteral("search-tx"));
        return;
    }
    QTimer::singleShot(projector.delayMs, this, [this, member, reply, to, toPort] {
        send(member, reply, to, toPort, QStringLiteral("search-tx"));
    });
}

void SearchResponder::notify(const QHostAddress& to)
{
    for (int i = 0; i < m_members.size(); ++i) {
        const QByteArray datagram = buildReply(m_members[i]->projector, 0, 0, 8);
        send(i, datagram, to, m_replyPort == 0 ? m_port : m_replyPort, QStringLiteral("notify-tx"));
    }
}

void SearchResponder::send(int member, const QByteArray& datagram, const QHostAddress& to,
                           quint16 toPort, const QString& what)
{
    const QHostAddress& from = m_members[member]->projector.address;
    if (!SimLog::isAllowed(to)) {
        SimLog::line(QStringLiteral("refused %1 %2: only loopback and 10.77.0.0/16")
                         .arg(what, SimLog::endpoint(to, toPort)));
        return;
    }
    const qint64 sent = m_members[member]->socket->writeDatagram(datagram, to, toPort);
    if (sent != datagram.size()) {
        SimLog::line(QStringLiteral("%1-error %2 %3: %4")
                         .arg(what, from.toString(), SimLog::endpoint(to, toPort),
                              m_members[member]->socket->errorString()));
        return;
    }
    const quint32 commandId = readU32(datagram, 16);
    SimLog::line(QStringLiteral("%1 %2 %3 cmd=%4 %5")
                     .arg(what, from.toString(), SimLog::endpoint(to, toPort))
                     .arg(commandId)
                     .arg(SimLog::hex(datagram)));
}

QByteArray SearchResponder::buildReply(const SimProjector& projector, quint16 seqNo,
                                       quint32 timeStamp, quint32 commandId) const
{
    QByteArray reply(kReplySize, '\0');
    reply.replace(0, 4, "ZRVX");
    reply[4] = char(0x13);
    qToLittleEndian(seqNo, reply.data() + 8);
    qToLittleEndian(quint16(kReplySize - 16), reply.data() + 10);
    writeU32(reply, 12, timeStamp);
    writeU32(reply, 16, commandId);
    writeU32(reply, 20, projector.status);
    const QByteArray hostIp = projector.hostIp.left(kNameOffset - kHostIpOffset - 1);
    reply.replace(kHostIpOffset, hostIp.size(), hostIp);
    const QByteArray name = toShiftJis(projector.name, kNameMax);
    reply.replace(kNameOffset, name.size(), name);
    writeU32(reply, kAppFlagOffset, projector.appFlag);
    return reply;
}
