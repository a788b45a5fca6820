// Command replies as the projector's command port (or anything that answers on it) may
// deliver them: the reply scanner over reads cut anywhere, the rating of one frame, and the
// result a reply gives the controller.
//
// Input: the two command bytes of the last command (2 bytes), then reads, each a 2-byte
// length (LE, low 13 bits) and that many bytes.
// Properties: a read that is by itself a whole reply frame is recognised when it arrives; a
// recognised reply is a complete frame of the bytes received, rated as the scanner said;
// the controller's result is one of its codes, never 0; a frame built for a positive reply
// is rated positive.
#include "fuzzsupport.h"

#include "protocol/commandframe.h"
#include "protocol/pencommand.h"
#include "engine/link/pjcommcontrol.h"

namespace {
bool isWholeFrame(const QByteArray& bytes)
{
    if (bytes.size() < CommandFrame::kHeaderSize + 1)
        return false;
    const qsizetype length = (quint8(bytes[3]) & 0x0F) << 8 | quint8(bytes[4]);
    return bytes.size() == CommandFrame::kHeaderSize + length + 1;
}

bool isKnownResult(int result)
{
    return result == RESULT_OK || (result <= RESULT_CONNECT_FAILED && result >= RESULT_REJECTED);
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
    const quint8 byte1 = in.u8();
    const quint8 byte2 = in.u8();

    ReplyScanner scanner(byte1, byte2);
    QByteArray received;
    while (!in.atEnd()) {
        const QByteArray chunk = in.bytes(in.u16() & 0x1FFF);
        const bool hadResult = scanner.result() != 0;
        received.append(chunk);
        const int rating = scanner.addChunk(chunk);
        FUZZ_CHECK(rating == scanner.result());
        FUZZ_CHECK(rating >= -1 && rating <= 1);
        if (hadResult)
            continue;
        // One reply per read is how a projector answers: such a read is never missed.
        if (isWholeFrame(chunk) && CommandFrame::checkReply(byte1, byte2, chunk) != 0)
            FUZZ_CHECK(rating != 0);
    }

    const int rating = scanner.result();
    const QByteArray reply = scanner.reply();
    if (rating != 0) {
        FUZZ_CHECK(isWholeFrame(reply));
        FUZZ_CHECK(received.contains(reply));
        FUZZ_CHECK(CommandFrame::checkReply(byte1, byte2, reply) == rating);
    } else {
        FUZZ_CHECK(reply.isEmpty());
    }
    const int waitResult = rating > 0 ? 1 : rating < 0 ? RESULT_ERROR_REPLY : RESULT_NO_REPLY;
    FUZZ_CHECK(isKnownResult(CPenControl::resultOfReply(waitResult, reply)));

    // The positive reply to this command, built as a frame, is rated positive.
    QByteArray frame;
    const QByteArray payload = received.left(CommandFrame::kMaxDataLength);
    const int built = PJCommControl::BuildFrame(frame, quint8(byte1 | 0x20), byte2,
                                                quint16(payload.size()), payload);
    FUZZ_CHECK(built == frame.size() && isWholeFrame(frame));
    FUZZ_CHECK(CommandFrame::checkReply(byte1, byte2, frame) == 1);
    return 0;
}
