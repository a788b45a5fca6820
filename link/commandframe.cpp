#include "link/commandframe.h"

namespace CommandFrame {

quint8 checksum(const QByteArray& bytes, qsizetype count)
{
    unsigned sum = 0;
    for (qsizetype i = 0; i < count && i < bytes.size(); ++i)
        sum += quint8(bytes[i]);
    return quint8(sum & 0xFF);
}

int build(QByteArray& frame, quint8 byte1, quint8 byte2, quint16 length, const QByteArray& data)
{
    frame.clear();
    frame.reserve(kHeaderSize + data.size() + 1);
    frame.append(char(byte1));
    frame.append(char(byte2));
    frame.append('\0');
    frame.append(char((length >> 8) & 0x0F));
    frame.append(char(length & 0xFF));
    frame.append(data);
    frame.append(char(checksum(frame, frame.size())));
    return int(frame.size());
}

int checkReply(quint8 byte1, quint8 byte2, const QByteArray& chunk)
{
    if (chunk.size() < 2)
        return 0; // a reply has at least its two command bytes
    if (checksum(chunk, chunk.size() - 1) != quint8(chunk.back()))
        return 0;
    const quint8 first = quint8(chunk[0]);
    if (first == (byte1 | 0x20))
        return quint8(chunk[1]) == byte2 ? 1 : 0;
    if (first & 0x80)
        return -1;
    return 0;
}

} // namespace CommandFrame

int ReplyScanner::addChunk(const QByteArray& chunk)
{
    if (m_result != 0 || chunk.isEmpty())
        return m_result;
    m_pending.append(chunk);
    m_chunkEnds.append(m_pending.size());
    scan();
    return m_result;
}

void ReplyScanner::dropFront(qsizetype count)
{
    m_pending.remove(0, count);
    QList<qsizetype> ends;
    for (const qsizetype end : std::as_const(m_chunkEnds)) {
        if (end > count)
            ends.append(end - count);
    }
    m_chunkEnds = ends;
}

void ReplyScanner::scan()
{
    while (!m_pending.isEmpty()) {
        const quint8 first = quint8(m_pending[0]);
        if (first != (m_byte1 | 0x20) && !(first & 0x80)) {
            dropFront(m_chunkEnds.value(0, m_pending.size()));
            continue;
        }
        if (m_pending.size() < CommandFrame::kHeaderSize)
            return;
        const qsizetype length = ((quint8(m_pending[3]) & 0x0F) << 8) | quint8(m_pending[4]);
        const qsizetype size = CommandFrame::kHeaderSize + length + 1;
        if (m_pending.size() < size)
            return;
        const QByteArray frame = m_pending.left(size);
        const int rating = CommandFrame::checkReply(m_byte1, m_byte2, frame);
        if (rating != 0) {
            m_result = rating;
            m_reply = frame;
            return;
        }
        dropFront(size);
    }
}
