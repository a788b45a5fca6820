#include "protocol/searchpacket.h"

#include "core/ipv4.h"
#include "core/logging.h"
#include "protocol/shiftjis.h"

#include <QtEndian>

#include <cstring>

namespace {
void putUInt16(QByteArray& data, qsizetype offset, quint16 value)
{
    qToLittleEndian(value, data.data() + offset);
}

void putUInt32(QByteArray& data, qsizetype offset, quint32 value)
{
    qToLittleEndian(value, data.data() + offset);
}

quint8 byteOrZero(QByteArrayView data, qsizetype offset)
{
    return offset >= 0 && offset < data.size() ? static_cast<quint8>(data[offset]) : 0;
}
} // namespace

QByteArray newSearchRequest()
{
    QByteArray request(SEARCH_REQUEST_SIZE, '\0');
    std::memcpy(request.data() + SearchPacket::PacketIdOffset, SearchPacket::PacketId,
                sizeof SearchPacket::PacketId);
    request[SearchPacket::HeaderCodeOffset] = static_cast<char>(SearchPacket::HeaderCode);
    putUInt16(request, SearchPacket::DataLengthOffset, SearchPacket::DataLength);
    return request;
}

void fillSearchRequest(QByteArray& request, quint16 seqNo, quint32 timeStamp, quint32 appFlag,
                       quint32 commandId)
{
    if (request.size() < SEARCH_REQUEST_SIZE)
        request = newSearchRequest();
    putUInt16(request, SearchPacket::SeqNoOffset, seqNo);
    putUInt32(request, SearchPacket::TimeStampOffset, timeStamp);
    putUInt16(request, SearchPacket::DataLengthOffset, SearchPacket::DataLength);
    putUInt32(request, SearchPacket::RequestAppFlagOffset, appFlag);
    putUInt32(request, SearchPacket::CommandIdOffset, commandId);
}

QByteArray searchAcceptance(const QByteArray& request)
{
    QByteArray accept = request;
    if (accept.size() < SEARCH_REQUEST_SIZE)
        accept.resize(SEARCH_REQUEST_SIZE, '\0');
    putUInt32(accept, SearchPacket::CommandIdOffset, SRCH_CMD_ACCEPT);
    return accept;
}

quint32 searchUInt32At(QByteArrayView data, qsizetype offset)
{
    return quint32(byteOrZero(data, offset)) | quint32(byteOrZero(data, offset + 1)) << 8 |
           quint32(byteOrZero(data, offset + 2)) << 16 |
           quint32(byteOrZero(data, offset + 3)) << 24;
}

quint16 searchUInt16At(QByteArrayView data, qsizetype offset)
{
    return quint16(byteOrZero(data, offset) | byteOrZero(data, offset + 1) << 8);
}

QByteArray searchTextAt(QByteArrayView data, qsizetype offset)
{
    if (offset < 0 || offset >= data.size())
        return QByteArray();
    const QByteArrayView rest = data.sliced(offset);
    const qsizetype end = rest.indexOf('\0');
    return (end < 0 ? rest : rest.first(end)).toByteArray();
}

QHostAddress parseHostIp(QByteArrayView text)
{
    // 0.0.0.0 names no host: a projector that has no address yet reports it, and listing it
    // would offer the user a target that cannot be reached.
    const std::optional<quint32> value = ipv4::parse(text);
    return value && *value != 0 ? QHostAddress(*value) : QHostAddress();
}

SearchReply decodeSearchReply(QByteArrayView data)
{
    SearchReply reply;
    reply.commandId = searchUInt32At(data, SearchPacket::CommandIdOffset);
    reply.status = searchUInt32At(data, SearchPacket::StatusOffset);
    reply.hostIp = parseHostIp(searchTextAt(data, SearchPacket::HostIpOffset));
    reply.name = decodeShiftJis(searchTextAt(data, SearchPacket::ProjectorNameOffset));
    return reply;
}

SearchCheck searchAckDataCheck(QByteArrayView data, const QHostAddress& sender, quint16 seqNo,
                               quint32 appFlag, const QList<QHostAddress>& targets)
{
    qCDebug(lcSearch, "@@SearchAckDataCheck : Start!!");

    const quint32 commandId = searchUInt32At(data, SearchPacket::CommandIdOffset);
    if (commandId == SRCH_CMD_NOTIFY) {
        // A projector announces itself: nothing else of it is examined.
        qCDebug(lcSearch, "##### SearchAckDataCheck : ack->CommandID == SRCH_CMD_NOTIFY");
        qCDebug(lcSearch, "@@SearchAckDataCheck : End!!");
        return SearchCheck::Notify;
    }
    qCDebug(lcSearch, "SearchAckDataCheck : (01) ack->CommandID  [OK]");

    if (data.size() < qsizetype(sizeof SearchPacket::PacketId) ||
        std::memcmp(data.data(), SearchPacket::PacketId, sizeof SearchPacket::PacketId) != 0)
        return SearchCheck::NotSearchPacket;
    qCDebug(lcSearch, "SearchAckDataCheck : (02) Header.PacketID [OK]");

    if (searchUInt16At(data, SearchPacket::SeqNoOffset) != seqNo)
        return SearchCheck::OtherSearch;
    qCDebug(lcSearch, "SearchAckDataCheck : (03) Header.SeqNo    [OK]");

    if ((appFlag & SEARCH_APP_FLAG_MASK) != 0 &&
        (searchUInt32At(data, SearchPacket::ReplyAppFlagOffset) & appFlag) == 0)
        return SearchCheck::AppFlagMismatch;
    qCDebug(lcSearch, "SearchAckDataCheck : (04) AppFlag         [OK]");

    if (commandId == SRCH_CMD_BROADCAST) {
        qCDebug(lcSearch, "SearchAckDataCheck : (05) Broadcast        [OK]");
        qCDebug(lcSearch, "@@SearchAckDataCheck : End!!");
        return SearchCheck::BroadcastReply;
    }

    qCDebug(lcSearch, "SearchAckDataCheck : (05) Unicast Check...");
    for (const QHostAddress& target : targets) {
        if (ipv4::sameAddress(target, sender)) {
            qCDebug(lcSearch, "SearchAckDataCheck : (06) Unicast         [OK]");
            qCDebug(lcSearch, "@@SearchAckDataCheck : End!!");
            return SearchCheck::UnicastReply;
        }
    }
    return SearchCheck::NotATarget;
}
