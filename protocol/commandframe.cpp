#include "protocol/commandframe.h"

#include <algorithm>

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
    if (m_starts.isEmpty() || m_starts.back() != m_received.size())
        m_starts.append(m_received.size());
    m_received.append(chunk);

    // Follow every open position; a finished frame may open the position behind it, which
    // is looked at in the same pass (positions only grow).
    QList<qsizetype> open;
    for (qsizetype i = 0; i < m_starts.size(); ++i) {
        const qsizetype start = m_starts[i];
        const qsizetype available = m_received.size() - start;
        if (available < CommandFrame::kHeaderSize) {
            open.append(start);
            continue;
        }
        const qsizetype length =
            ((quint8(m_received[start + 3]) & 0x0F) << 8) | quint8(m_received[start + 4]);
        const qsizetype size = CommandFrame::kHeaderSize + length + 1;
        if (available < size) {
            open.append(start);
            continue;
        }
        const QByteArray frame = m_received.mid(start, size);
        const int rating = CommandFrame::checkReply(m_byte1, m_byte2, frame);
        if (rating != 0) {
            m_result = rating;
            m_reply = frame;
            m_starts.clear();
            return m_result;
        }
        const bool wellFormed = CommandFrame::checksum(frame, size - 1) == quint8(frame.back());
        const qsizetype next = start + size;
        if (wellFormed && next < m_received.size() && !m_starts.contains(next)) {
            // Keep the list sorted so that the earliest reply wins.
            const auto at = std::lower_bound(m_starts.begin() + i + 1, m_starts.end(), next);
            m_starts.insert(at - m_starts.begin(), next);
        } else if (wellFormed && next == m_received.size()) {
            open.append(next); // the next read starts there anyway; noted once below
        }
    }
    std::sort(open.begin(), open.end());
    open.erase(std::unique(open.begin(), open.end()), open.end());
    m_starts = open;
    return m_result;
}
