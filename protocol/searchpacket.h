#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHostAddress>
#include <QList>
#include <QString>

// The projector search protocol: UDP port 5320 at both ends, little-endian integers,
// text fields that end at the first NUL byte.

inline constexpr quint16 SEARCH_PORT = 5320;

// CommandID values.
inline constexpr quint32 SRCH_CMD_BROADCAST = 2; // broadcast search request, and its reply
inline constexpr quint32 SRCH_CMD_UNICAST = 3;   // search of one given address
inline constexpr quint32 SRCH_CMD_ACCEPT = 5;    // acceptance of a reply to a broadcast search
inline constexpr quint32 SRCH_CMD_NOTIFY = 8;    // notification sent by a projector on its own

// The flags this program sends as the searcher's application flags.
inline constexpr quint32 SEARCH_APP_FLAG = 0x01000000;
// Application flag bits that make a reply's own flags matter (0x800, 0x4000, 0x40000,
// 0x4000000); without one of them in the searcher's flags any reply flags pass.
inline constexpr quint32 SEARCH_APP_FLAG_MASK = 0x04044800;

inline constexpr qsizetype SEARCH_REQUEST_SIZE = 128;
// Replies and notifications are read into this many bytes; a longer datagram is cut.
inline constexpr qsizetype SEARCH_REPLY_BUFFER_SIZE = 256;

namespace SearchPacket {
// Offsets of the header, common to every datagram.
inline constexpr qsizetype PacketIdOffset = 0;
inline constexpr qsizetype HeaderCodeOffset = 4;
inline constexpr qsizetype SeqNoOffset = 8;
inline constexpr qsizetype DataLengthOffset = 10;
inline constexpr qsizetype TimeStampOffset = 12;
// Request and reply body.
inline constexpr qsizetype CommandIdOffset = 16;
inline constexpr qsizetype StatusOffset = 20;         // reply
inline constexpr qsizetype RequestAppFlagOffset = 24; // request
inline constexpr qsizetype HostIpOffset = 32;         // reply
inline constexpr qsizetype ProjectorNameOffset = 96;  // reply
inline constexpr qsizetype ReplyAppFlagOffset = 144;  // reply

inline constexpr char PacketId[4] = {'Z', 'R', 'V', 'X'};
inline constexpr quint8 HeaderCode = 0x13;
// The bytes that follow the header in a 128-byte request.
inline constexpr quint16 DataLength = 112;
} // namespace SearchPacket

// A zero-filled 128-byte request with the fixed header fields set ("ZRVX", header code 0x13,
// data length 112); the per-search fields are filled by fillSearchRequest().
QByteArray newSearchRequest();

// Writes the fields that change from one search to the next into a 128-byte request.
void fillSearchRequest(QByteArray& request, quint16 seqNo, quint32 timeStamp, quint32 appFlag,
                       quint32 commandId);

// The acceptance of a broadcast reply: the request byte for byte with CommandID 5.
QByteArray searchAcceptance(const QByteArray& request);

// Little-endian fields of a received datagram; bytes beyond its end count as 0.
quint32 searchUInt32At(QByteArrayView data, qsizetype offset);
quint16 searchUInt16At(QByteArrayView data, qsizetype offset);

// A text field: the bytes from `offset` up to the first NUL, or to the end of the data.
QByteArray searchTextAt(QByteArrayView data, qsizetype offset);

// The fields of an accepted reply or notification that end up in the found list.
struct SearchReply {
    quint32 commandId = 0;
    quint32 status = 0;
    QHostAddress hostIp; // null when the field is empty, not IPv4 text, or 0.0.0.0
    QString name;        // ProjectorName decoded from Shift-JIS
};
SearchReply decodeSearchReply(QByteArrayView data);

// Parses the HostIp text (strict dotted decimal); anything else, and 0.0.0.0, gives a null
// address.
QHostAddress parseHostIp(QByteArrayView text);


// The two kinds of search: a broadcast on one network, or a request to each given address.
// The values are the requests' CommandID.
enum class SearchMode : quint32 { Broadcast = SRCH_CMD_BROADCAST, Unicast = SRCH_CMD_UNICAST };

// What the acceptance check made of a received datagram: one of the first three is taken,
// the others name why it was not.
enum class SearchCheck {
    UnicastReply,    // a reply to a search of given addresses, from one of them
    BroadcastReply,  // a reply to a broadcast search
    Notify,          // a projector announcing itself
    NotSearchPacket, // no "ZRVX" packet id
    OtherSearch,     // the sequence number of another search
    AppFlagMismatch, // none of the application flags the searcher asked for
    NotATarget,      // answers a search of given addresses, but from an address not searched
    OwnRequest,      // this computer's own broadcast, delivered back to it
};
inline bool isAccepted(SearchCheck check)
{
    return check == SearchCheck::UnicastReply || check == SearchCheck::BroadcastReply ||
           check == SearchCheck::Notify;
}

// The acceptance check of a received datagram against the running search: its sequence
// number, the searcher's application flags and its target list (index 0 is this computer's
// own address, the others the destinations). Writes the check's debug lines in order.
SearchCheck searchAckDataCheck(QByteArrayView data, const QHostAddress& sender, quint16 seqNo,
                               quint32 appFlag, const QList<QHostAddress>& targets);
