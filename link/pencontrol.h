#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QString>

// Command ids of the pen-control command.
enum PenCommandId : int {
    PEN_ON = 0,  // switch the pen function on; pen states go to the given address and port
    PEN_OFF = 1, // switch it off
};

// Outcome of one pen-control exchange with the projector (the controller's pencmddone).
// 0 is never produced.
enum PenControlResult : int {
    RESULT_OK = 1,              // positive reply, result byte 0
    RESULT_CONNECT_FAILED = -1, // could not connect (or gave up before sending)
    RESULT_SEND_FAILED = -2,    // the command could not be sent (or gave up right after)
    RESULT_ERROR_REPLY = -3,    // the projector answered with an error reply
    RESULT_DISCONNECTED = -4,   // the connection was lost while waiting for the reply
    RESULT_NO_REPLY = -5,       // no reply within the reply time-out (or gave up waiting)
    RESULT_REJECTED = -6,       // positive reply whose result byte is not 0
};

// Base of the requests that travel from the controller to its command slot. The three
// fields describe the request to whoever logs or routes it; the link does not read them.
class CCommEventBase {
public:
    CCommEventBase() = default;
    virtual ~CCommEventBase();
    CCommEventBase(const CCommEventBase&) = default;
    CCommEventBase& operator=(const CCommEventBase&) = default;

    qint32 eventClass = 0; // 1: a command for the projector
    qint32 eventCode = 0;  // 15: pen control
    qint32 eventParam = 0; // unused, 0
};

// One pen-control request: which command, to which projector, and (for PEN_ON) where the
// projector shall send the pen states.
class CPenControl final : public CCommEventBase {
public:
    CPenControl() = default;
    ~CPenControl() override;
    CPenControl(const CPenControl&) = default;
    CPenControl& operator=(const CPenControl&) = default;

    int cmdid = PEN_ON;
    QString host;                            // host name or dotted IPv4 address
    QString port = QStringLiteral("7142");   // command port, decimal
    QString localAddress;                    // this computer's dotted IPv4 address (PEN_ON)
    QString localPort = QStringLiteral("0"); // pen-status UDP port, decimal (PEN_ON: "8330")

    // The data of the command for `cmdid`: PEN_ON carries the switch byte 0, the address
    // with its dotted numbers in reverse order and the port low byte first; PEN_OFF the
    // single byte 1. False (and `data` empty) for another cmdid, for an address that is not
    // four decimal numbers 0 to 255, or for a port that is not a number 0 to 65535.
    static bool commandData(int cmdid, const QString& localAddress, const QString& localPort,
                            QByteArray* data);

    // The result of an exchange whose reply wait ended with `waitResult`
    // (PJCommControl::WaitReply) and recognised `reply`: a positive reply is RESULT_OK only
    // when its result byte (offset 6) is 0; a positive reply too short to hold that byte
    // counts as rejected.
    static int resultOfReply(int waitResult, const QByteArray& reply);
};

Q_DECLARE_METATYPE(CPenControl*)
