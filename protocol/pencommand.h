#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QString>

#include <optional>

// The pen-control command of the projector's command port, which switches the pen function
// on (the projector then sends pen states to the given address and port) or off.
enum class PenCommand : int { On = 0, Off = 1 };

// Outcome of one pen-control exchange with the projector.
enum class CommandResult : int {
    Ok = 1,             // positive reply, result byte 0
    ConnectFailed = -1, // could not connect (or gave up before sending)
    SendFailed = -2,    // the command could not be sent (or gave up right after)
    ErrorReply = -3,    // the projector answered with an error reply
    Disconnected = -4,  // the connection was lost while waiting for the reply
    NoReply = -5,       // no reply within the reply time-out (or gave up waiting)
    Rejected = -6,      // positive reply whose result byte is not 0
};

// How a wait for the reply to a command ended.
enum class ReplyWait { Reply, ErrorReply, Disconnected, TimedOut };

// One pen-control request: which command, to which projector, and (for On) where the
// projector shall send the pen states.
struct CPenControl {
    PenCommand cmdid = PenCommand::On;
    QString host;              // host name or dotted IPv4 address
    quint16 port = 7142;       // command port
    quint32 localAddress = 0;  // this computer's IPv4 address (On)
    quint16 localPort = 0;     // pen-status UDP port (On: 8330)
};

// The command frame of `cmd`: 03 CE 00, the data length, the data and the checksum. On
// carries the switch byte 0, the address with its dotted numbers in reverse order and the
// port low byte first; Off the single byte 1. Nothing for an On without an address or
// with port 0, which would send the pens nowhere.
std::optional<QByteArray> penCommandFrame(PenCommand cmd, quint32 localAddress, quint16 localPort);

// The result of an exchange whose reply wait ended with `wait` and recognised `reply`: a
// positive reply is Ok only when its result byte (offset 6) is 0; a positive reply too
// short to hold that byte counts as rejected.
CommandResult resultOfReply(ReplyWait wait, const QByteArray& reply);

Q_DECLARE_METATYPE(CPenControl)
