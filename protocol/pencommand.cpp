#include "protocol/pencommand.h"

#include "protocol/commandframe.h"

namespace {
constexpr int kResultByteOffset = 6;
constexpr quint8 kPenControlClass = 0x03;
constexpr quint8 kPenControlCode = 0xCE;
} // namespace

std::optional<QByteArray> penCommandFrame(PenCommand cmd, quint32 localAddress, quint16 localPort)
{
    QByteArray data;
    if (cmd == PenCommand::Off) {
        data.append(char(0x01));
    } else {
        if (localAddress == 0 || localPort == 0)
            return std::nullopt;
        data.append(char(0x00));
        for (int shift = 0; shift < 32; shift += 8)
            data.append(char(localAddress >> shift));
        data.append(char(localPort & 0xFF));
        data.append(char(localPort >> 8));
    }
    QByteArray frame;
    CommandFrame::build(frame, kPenControlClass, kPenControlCode, quint16(data.size()), data);
    return frame;
}

CommandResult resultOfReply(ReplyWait wait, const QByteArray& reply)
{
    switch (wait) {
    case ReplyWait::Reply:
        if (reply.size() <= kResultByteOffset || reply[kResultByteOffset] != 0)
            return CommandResult::Rejected;
        return CommandResult::Ok;
    case ReplyWait::ErrorReply:
        return CommandResult::ErrorReply;
    case ReplyWait::Disconnected:
        return CommandResult::Disconnected;
    case ReplyWait::TimedOut:
        break;
    }
    return CommandResult::NoReply;
}
