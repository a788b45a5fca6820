// Command replies as the projector's command port (or anything that answers on it) may
// deliver them: cut into reads anywhere, through the reply scanner.
//
// Input: the two command bytes of the last command, then reads, each a length (2 bytes LE,
// low 13 bits) and that many bytes.
// Properties: a read that is by itself a whole reply frame to the command is never missed,
// and the first rating stays; a recognised reply is a whole frame of the bytes received,
// rated as the scanner said.
#include "fuzzsupport.h"

#include "protocol/commandframe.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto isWholeFrame = [](const QByteArray& b) {
        return b.size() > 5 && b.size() == 6 + ((b[3] & 0x0F) << 8 | quint8(b[4]));
    };
    FuzzInput in{data, size};
    const quint8 byte1 = in.u8(), byte2 = in.u8();
    ReplyScanner scanner(byte1, byte2);
    QByteArray received;
    while (in.pos < in.size) {
        const QByteArray chunk = in.bytes(in.le<2>() & 0x1FFF);
        const int before = scanner.result();
        received += chunk;
        const int rating = scanner.addChunk(chunk);
        FUZZ_CHECK(rating == scanner.result() && (before == 0 || rating == before));
        FUZZ_CHECK(rating != 0 || !isWholeFrame(chunk) ||
                   CommandFrame::checkReply(byte1, byte2, chunk) == 0);
    }
    const QByteArray reply = scanner.reply();
    FUZZ_CHECK(scanner.result() == 0
                   ? reply.isEmpty()
                   : isWholeFrame(reply) && received.contains(reply) &&
                         CommandFrame::checkReply(byte1, byte2, reply) == scanner.result());
    return 0;
}
