// Search replies and notifications as any host may send them to port 5320: the acceptance
// check against a search's state (sequence number, application flags, target list), the
// decoding of the name and the address, and the found list they go into.
//
// Input: SeqNo (2 bytes LE), the searcher's AppFlag (4), sender form (1: bit 0 IPv4-mapped
// IPv6), sender IPv4 (4, big-endian as written), number of targets (1, mod 5), the targets
// (4 each), then the datagram (cut at 256 bytes, as the engine reads it).
// Properties: only a notification is accepted without "ZRVX" and the search's SeqNo; a reply
// to a search of addresses only from a target; a decoded address is a real IPv4 address that
// reads back as itself; the found list never holds one address twice.
#include "fuzzsupport.h"

#include "engine/search/pjsearchudp.h"
#include "protocol/searchpacket.h"

#include <QHostAddress>

#include <cstring>

namespace {
QHostAddress addressOf(quint32 ipv4, bool mapped)
{
    if (!mapped)
        return QHostAddress(ipv4);
    Q_IPV6ADDR v6{};
    v6[10] = 0xFF;
    v6[11] = 0xFF;
    v6[12] = quint8(ipv4 >> 24);
    v6[13] = quint8(ipv4 >> 16);
    v6[14] = quint8(ipv4 >> 8);
    v6[15] = quint8(ipv4);
    return QHostAddress(v6);
}

quint32 bigEndian32(fuzz::Reader& in)
{
    quint32 value = 0;
    for (int i = 0; i < 4; ++i)
        value = value << 8 | in.u8();
    return value;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::initQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Reader in(data, size);
    const quint16 seqNo = in.u16();
    const quint32 appFlag = in.u32();
    const bool mapped = in.u8() & 1;
    const QHostAddress sender = addressOf(bigEndian32(in), mapped);
    QList<QHostAddress> targets;
    const int targetCount = in.u8() % 5;
    for (int i = 0; i < targetCount; ++i)
        targets << QHostAddress(bigEndian32(in));
    const QByteArray datagram = in.bytes(SEARCH_REPLY_BUFFER_SIZE);

    const int result = searchAckDataCheck(datagram, sender, seqNo, appFlag, targets);
    const quint32 commandId = searchUInt32At(datagram, SearchPacket::CommandIdOffset);
    FUZZ_CHECK(result >= SearchAckRejected && result <= SearchAckNotify);
    FUZZ_CHECK((result == SearchAckNotify) == (commandId == SRCH_CMD_NOTIFY));
    if (result == SearchAckUnicastReply || result == SearchAckBroadcastReply) {
        FUZZ_CHECK(datagram.startsWith("ZRVX"));
        FUZZ_CHECK(searchUInt16At(datagram, SearchPacket::SeqNoOffset) == seqNo);
    }
    if (result == SearchAckUnicastReply) {
        bool listed = false;
        for (const QHostAddress& target : targets)
            listed = listed || ipv4::sameAddress(target, sender);
        FUZZ_CHECK(listed);
    }

    const SearchReply reply = decodeSearchReply(datagram);
    FUZZ_CHECK(reply.name.size() <= SEARCH_REPLY_BUFFER_SIZE - SearchPacket::ProjectorNameOffset);
    if (!reply.hostIp.isNull()) {
        bool isIpv4 = false;
        const quint32 value = reply.hostIp.toIPv4Address(&isIpv4);
        FUZZ_CHECK(isIpv4 && value != 0);
        FUZZ_CHECK(parseHostIp(reply.hostIp.toString().toLatin1()) == reply.hostIp);
    }

    // The engine's own check reads the same state through its members.
    PJSearchUdp engine(nullptr, appFlag, targets);
    if (seqNo == engine.SeqNo())
        FUZZ_CHECK(engine.SearchAckDataCheck(datagram, sender) == result);

    // The found list, filled the way the engine fills it from accepted datagrams.
    if (result != SearchAckRejected) {
        engine.AddPJListItem(sender, reply.name, reply.status);
        if (!reply.hostIp.isNull())
            engine.AddPJListItem(reply.hostIp, reply.name, reply.status);
        engine.AddPJListItem(addressOf(sender.toIPv4Address(), !mapped), QString(), 0);
        FUZZ_CHECK(engine.PJListCount() >= 1 && engine.PJListCount() <= 2);
        PJListItem first;
        FUZZ_CHECK(engine.GetPJListItem(0, first));
        FUZZ_CHECK(first.Name == reply.name && first.Status == reply.status);
        PJListItem none;
        FUZZ_CHECK(!engine.GetPJListItem(engine.PJListCount(), none));
    }
    return 0;
}
