// Search replies and notifications as any host may send them to port 5320, into the datagram
// handler of a running search.
//
// Input: 2 bytes (once the search's number, now unused), the searcher's AppFlag (4 bytes LE),
// a form (1: bit 1 a silent address is listed), the sender (4, big-endian as written),
// a count (1, mod 5) and that many targets (4 each: the own address, then the first and the
// last searched, or a broadcast address ending in .255), then the datagram (256 bytes at
// most). Every address is taken into 127/8 (its first byte is dropped), since the engine
// sends requests and acceptances to them.
// Properties: a datagram is taken for the own request exactly when it comes from the own
// address; only a notification is accepted without "ZRVX" and the search's number; a reply
// to a search of addresses only from one of them; a rejected datagram lists nothing, an
// accepted one its sender (in the plain IPv4 form); the rows never hold an address twice,
// however often it comes, and each was announced once.
#include "fuzzsupport.h"

#include "core/ipv4.h"
#include "engine/search/pjsearchudp.h"

#include <QSet>
#include <QtEndian>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput in{data, size};
    in.le<2>();
    PJSearchUdp engine(in.le<4>());
    QList<PJListItem> announced;
    QObject::connect(&engine, &PJSearchUdp::found,
                     [&](const PJListItem& row) { announced << row; });
    const auto loopback = [&in] {
        return QHostAddress(0x7F000000 | (qbswap(in.le<4>()) & 0xFFFFFF));
    };
    const std::uint8_t form = in.u8();
    const QHostAddress sender = loopback();
    QList<QHostAddress> targets;
    for (int count = in.u8() % 5; targets.size() < std::max(count, 2);)
        targets << (targets.size() < count ? loopback() : QHostAddress(0x7F000002));
    const quint32 first = targets[1].toIPv4Address(), last = targets.last().toIPv4Address();
    if ((last & 0xFF) == 0xFF)
        engine.searchBroadcast(targets[0], QHostAddress(last));
    else // eight addresses at most
        engine.searchAddresses(targets[0], QHostAddress(first),
                               QHostAddress((first & ~7u) | (last & 7)), form & 2);

    const QByteArray datagram = in.bytes(SEARCH_REPLY_BUFFER_SIZE);
    const SearchCheck check = engine.handleDatagram(datagram, sender);
    engine.handleDatagram(datagram, sender); // a projector answers every repeat of a broadcast
    const bool notify = searchUInt32At(datagram, SearchPacket::CommandIdOffset) == SRCH_CMD_NOTIFY;
    FUZZ_CHECK((check == SearchCheck::OwnRequest) == (sender == targets[0]));
    FUZZ_CHECK(!isAccepted(check) || notify ||
               (datagram.startsWith("ZRVX") &&
                searchUInt16At(datagram, SearchPacket::SeqNoOffset) == engine.SeqNo()));
    FUZZ_CHECK(check != SearchCheck::UnicastReply || engine.IpList().mid(1).contains(sender));
    QList<QHostAddress> addresses;
    for (const PJListItem& row : engine.items())
        addresses << row.Address;
    FUZZ_CHECK(QSet<QHostAddress>(addresses.begin(), addresses.end()).size() == addresses.size());
    FUZZ_CHECK(engine.items() == announced);
    FUZZ_CHECK(isAccepted(check) ? addresses.contains(sender) : addresses.isEmpty());
    return 0;
}
