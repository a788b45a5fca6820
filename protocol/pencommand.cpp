#include "protocol/pencommand.h"

#include "core/ipv4.h"
#include "protocol/commandframe.h"

namespace {
constexpr int kResultByteOffset = 6;
constexpr quint8 kPenControlClass = 0x03;
constexpr quint8 kPenControlCode = 0xCE;
} // namespace

std::optional<QByteArray> penCommandFrame(PenCommand cmd, QStringView localAddress,
                                          QStringView localPort)
{
    QByteArray data;
    if (cmd == PenCommand::Off) {
        data.append(char(0x01));
    } else {
        const std::optional<quint32> address = ipv4::parse(localAddress);
        const std::optional<quint16> port = ipv4::parsePort(localPort);
        if (!address || !port)
            return std::nullopt;
        data.append(char(0x00));
        for (int shift = 0; shift < 32; shift += 8)
            data.append(char(*address >> shift));
        data.append(char(*port & 0xFF));
        data.append(char(*port >> 8));
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
