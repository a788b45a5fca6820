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
// A frame may begin where a read begins or where a complete, well-formed frame (valid
// checksum) ends. Each such position is followed until the frame's header says it is
// complete; then CommandFrame::checkReply rates it. A well-formed frame that is not the reply
// (another command's reply) is passed over and the next frame looked for after it; anything
// else at a position (a bad checksum, stray bytes whose "length" never completes) is given
// up there, while the next read still gets its own chance. So a reply cut into several reads
// is joined, several frames in one read are taken one after the other, and stray data does
// not hide a reply that arrives in a later read.
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
    quint8 m_byte1;
    quint8 m_byte2;
    QByteArray m_received;     // every byte so far
    QList<qsizetype> m_starts; // positions where a frame may begin, in ascending order
    int m_result = 0;
    QByteArray m_reply;
};
