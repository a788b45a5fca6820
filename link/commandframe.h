#pragma once

#include <QByteArray>
#include <QList>
#include <QtGlobal>

// The command frame of the projector's command port and the recognition of its replies.
//
//   byte 0   command byte 1 (class)        byte 3   bits 8-11 of the data length
//   byte 1   command byte 2 (code)         byte 4   bits 0-7 of the data length
//   byte 2   0x00                          5 … 5+n-1  data, then one checksum byte
//
// The checksum is the low 8 bits of the sum of all bytes before it. Replies are laid out
// the same way: a positive reply repeats the command bytes with bit 5 of byte 0 set, an
// error reply has bit 7 of byte 0 set.
namespace CommandFrame {

constexpr int kHeaderSize = 5;
constexpr int kMaxDataLength = 0x0FFF;

// Empties `frame`, fills it and returns its size. Only the low 12 bits of `length` are
// encoded; it is not compared with the size of `data`.
int build(QByteArray& frame, quint8 byte1, quint8 byte2, quint16 length,
          const QByteArray& data = QByteArray());

quint8 checksum(const QByteArray& bytes, qsizetype count);

// Rates one piece of received data against the command bytes of the last command:
// 1 positive reply, -1 error reply, 0 not a reply (bad checksum, another command's reply,
// anything else, or empty).
int checkReply(quint8 byte1, quint8 byte2, const QByteArray& chunk);

} // namespace CommandFrame

// Finds the reply to one command in the bytes a TCP connection delivers, however the
// connection cuts them into reads.
//
// At each position it expects the start of a frame. A byte that cannot start a reply (not
// the positive reply's first byte, bit 7 clear) is passed over together with the rest of the
// read that brought it, as a stray chunk. Otherwise the frame's header gives its length;
// once the whole frame is there it is rated with CommandFrame::checkReply, and a frame that
// is not a reply is passed over as a whole. Pieces of a frame that arrive in several reads
// are joined first; several frames in one read are taken one after the other.
class ReplyScanner final {
public:
    ReplyScanner(quint8 byte1, quint8 byte2) : m_byte1(byte1), m_byte2(byte2) {}

    // Adds the bytes of one read and looks for the reply; returns result().
    int addChunk(const QByteArray& chunk);
    // 1 positive reply, -1 error reply, 0 none yet.
    int result() const { return m_result; }
    // The recognised reply frame (empty while result() is 0).
    QByteArray reply() const { return m_reply; }

private:
    void scan();
    void dropFront(qsizetype count);

    quint8 m_byte1;
    quint8 m_byte2;
    QByteArray m_pending;         // received, not yet examined
    QList<qsizetype> m_chunkEnds; // where each read ends within m_pending
    int m_result = 0;
    QByteArray m_reply;
};
