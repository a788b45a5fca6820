#pragma once

#include <QByteArrayView>
#include <QString>

#include <vector>

// UDP port on which the projector sends pen states, and which the pen-on command announces.
inline constexpr quint16 PEN_STATUS_PORT = 8330;

// One pen-status record of a datagram is 13 bytes:
//   03 CE xx xx xx 02 id button posx(hi lo) posy(hi lo) checksum
// Bytes 2 to 4 are not examined (they only count in the checksum).
inline constexpr qsizetype PEN_STATUS_RECORD_SIZE = 13;

// A decoded pen state, positions in the projector's 1280 x 800 pen space.
struct PenEvent {
    int id = 0;     // 0 to 255
    int button = 0; // 0 up, 1 down, 2 moved while down; other values are ignored later
    int posx = 0;   // signed 16-bit
    int posy = 0;   // signed 16-bit
    friend bool operator==(const PenEvent& a, const PenEvent& b)
    {
        return a.id == b.id && a.button == b.button && a.posx == b.posx && a.posy == b.posy;
    }
};

// True when `record` is at least 13 bytes long, its checksum matches and its fixed
// bytes 0, 1 and 5 hold 03, CE and 02.
bool isPenStatusRecord(QByteArrayView record);

// The 13 bytes of a record for `event`, with `filler` (three bytes the receiver does not
// examine, such as a sequence number) and a correct checksum.
QByteArray encodePenStatusRecord(const PenEvent& event, quint32 filler = 0);

// Decodes the first 13 bytes of a record that isPenStatusRecord() accepted.
PenEvent decodePenStatusRecord(QByteArrayView record);

// The diagnostics form of a record: "UdpRead: 3 CE 0 0 7 2 1 1 2 80 1 90 EF".
QString penStatusDebugLine(QByteArrayView record);

// Walks the 13-byte records of one datagram in order, ignoring a shorter trailing piece.
// For each record it writes the "UdpRead:" line, then appends a valid record's event to
// `events` (cleared first) or writes " -->Data mismatch!". A datagram shorter than one record
// yields nothing. Returns the number of valid records.
int decodePenStatusDatagram(QByteArrayView datagram, std::vector<PenEvent>& events);
