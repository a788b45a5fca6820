// The command link and the pen-control commands against the projector simulator, over a
// real TCP connection in a namespace pair: every result code from a real exchange, the
// frames as they reach the projector, replies cut into pieces or preceded by other data,
// and the waits that must end early (abort) or must end at all (a peer that stops reading).
#include "core/eventwait.h"
#include "protocol/pencommand.h"
#include "engine/link/pjcommcontrol.h"
#include "support/logcapture.h"
#include "support/netnsprojector.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

namespace {
const QString kPenOnFrame =
    QStringLiteral("03 CE 00 00 07 00 01 00 4D 0A 8A 20 DA"); // 10.77.0.1:8330
const QString kPenOffFrame = QStringLiteral("03 CE 00 00 01 01 D3");

// One command the way the controller runs it: open, wait for the connection (giving up at
// once when connecting has failed), send, wait for the reply, close.
int runCommand(PJCommControl& link, const CPenControl& cmd, const bool* abort = nullptr)
{
    static const bool never = false;
    if (!abort)
        abort = &never;
    if (!link.Open(cmd.host, cmd.port, false))
        return RESULT_CONNECT_FAILED;
    EventWait connecting(PJCommControl::CONNECT_TIMEOUT_MS, PJCommControl::WAIT_SLICE_MS);
    connecting.wakeOn(&link, &PJCommControl::stateChanged);
    connecting.waitUntil([&] {
        return link.State() == PJCommControl::LINK_CONNECTED || link.ConnectFailed() || *abort;
    });
    if (link.State() != PJCommControl::LINK_CONNECTED || *abort)
        return RESULT_CONNECT_FAILED;
    if (link.SendPenControl(cmd.cmdid, cmd.localAddress, cmd.localPort) < 0) {
        link.Close();
        return RESULT_SEND_FAILED;
    }
    const int waited = link.WaitReply(abort); // before Reply(): argument order is unspecified
    const int result = CPenControl::resultOfReply(waited, link.Reply());
    link.Close();
    return result;
}

CPenControl command(int cmdid, const QString& host = NetnsProjector::projectorAddress(),
                    const QString& port = QStringLiteral("7142"))
{
    CPenControl cmd;
    cmd.cmdid = cmdid;
    cmd.host = host;
    cmd.port = port;
    if (cmdid == PEN_ON) {
        cmd.localAddress = NetnsProjector::computerAddress();
        cmd.localPort = QStringLiteral("8330");
    }
    return cmd;
}

// "cmd-rx 10.77.0.1:40112 03 CE …" → "03 CE …"
QStringList receivedFrames(const NetnsProjector& projector)
{
    QStringList frames;
    for (const QString& line : projector.lines(QStringLiteral("cmd-rx ")))
        frames << line.section(QLatin1Char(' '), 2);
    return frames;
}
} // namespace

class TestCommandLink final : public QObject {
    Q_OBJECT

private slots:
    void init();
    void exchange_data();
    void exchange();
    void abortEndsTheReplyWait();
    void refusedCommandsSendNothing();
    void sendWaitEndsWhenThePeerStopsReading();
    void peerAddressNamesTheProjector();

private:
    NetnsProjector m_projector;
};

void TestCommandLink::init()
{
    QR_REQUIRE_NETNS();
}

void TestCommandLink::exchange_data()
{
    QTest::addColumn<QStringList>("options"); // of the simulator
    QTest::addColumn<int>("cmdid");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("port");
    QTest::addColumn<int>("expected");
    QTest::addColumn<QString>("frame");       // what the projector must have received
    QTest::addColumn<QString>("replyBuffer"); // every byte of the wait, hex

    const QString projector = NetnsProjector::projectorAddress();
    const QString port = QStringLiteral("7142");
    const QString okReply = QStringLiteral("23 CE 00 00 02 00 00 F3");
    auto mode = [](const char* m) {
        return QStringList{"--command-mode", m};
    };

    QTest::newRow("pen on") << mode("ok") << int(PEN_ON) << projector << port << int(RESULT_OK)
                            << kPenOnFrame << okReply;
    QTest::newRow("pen off") << mode("ok") << int(PEN_OFF) << projector << port << int(RESULT_OK)
                             << kPenOffFrame << okReply;
    QTest::newRow("reply after a pause")
        << (mode("ok") << "--reply-delay"
                       << "1500")
        << int(PEN_OFF) << projector << port << int(RESULT_OK) << kPenOffFrame << okReply;
    // The closing right behind the reply must not turn it into a lost connection.
    QTest::newRow("reply, then the projector hangs up")
        << (mode("ok") << "--close-after-reply") << int(PEN_ON) << projector << port
        << int(RESULT_OK) << kPenOnFrame << okReply;
    QTest::newRow("connection refused") << mode("refuse") << int(PEN_ON) << projector << port
                                        << int(RESULT_CONNECT_FAILED) << QString() << QString();
    QTest::newRow("wrong port") << mode("ok") << int(PEN_ON) << projector << "7143"
                                << int(RESULT_CONNECT_FAILED) << QString() << QString();
    QTest::newRow("port that is no port") << mode("ok") << int(PEN_ON) << projector << "71420"
                                          << int(RESULT_CONNECT_FAILED) << QString() << QString();
    // Nobody answers ARP for this address: the kernel gives up after about 3 s.
    QTest::newRow("unreachable address") << mode("ok") << int(PEN_ON) << "10.77.0.99" << port
                                         << int(RESULT_CONNECT_FAILED) << QString() << QString();
    QTest::newRow("unknown host name")
        << mode("ok") << int(PEN_ON) << "no-such-projector.invalid" << port
        << int(RESULT_CONNECT_FAILED) << QString() << QString();
    QTest::newRow("error reply") << mode("error") << int(PEN_ON) << projector << port
                                 << int(RESULT_ERROR_REPLY) << kPenOnFrame
                                 << "A3 CE 00 00 02 00 00 73";
    QTest::newRow("connection dropped") << mode("drop") << int(PEN_ON) << projector << port
                                        << int(RESULT_DISCONNECTED) << kPenOnFrame << "";
    QTest::newRow("no reply") << mode("silent") << int(PEN_OFF) << projector << port
                              << int(RESULT_NO_REPLY) << kPenOffFrame << "";
    QTest::newRow("result byte 2")
        << mode("reject") << int(PEN_ON) << projector << port << int(RESULT_REJECTED) << kPenOnFrame
        << "23 CE 00 00 02 00 02 F5";
    QTest::newRow("reply too short for a result")
        << mode("short") << int(PEN_ON) << projector << port << int(RESULT_REJECTED) << kPenOnFrame
        << "23 CE 00 00 00 F1";
    QTest::newRow("reply in two reads") << mode("split") << int(PEN_ON) << projector << port
                                        << int(RESULT_OK) << kPenOnFrame << okReply;
    QTest::newRow("reply cut after one byte")
        << (mode("split") << "--split-at"
                          << "1")
        << int(PEN_OFF) << projector << port << int(RESULT_OK) << kPenOffFrame << okReply;
    QTest::newRow("other data, then the reply")
        << mode("garbage") << int(PEN_ON) << projector << port << int(RESULT_OK) << kPenOnFrame
        << "22 CE 00 00 00 F0 " + okReply;
}

void TestCommandLink::exchange()
{
    QFETCH(QStringList, options);
    QFETCH(int, cmdid);
    QFETCH(QString, host);
    QFETCH(QString, port);
    QFETCH(int, expected);
    QFETCH(QString, frame);
    QFETCH(QString, replyBuffer);

    QVERIFY2(m_projector.start(options), qPrintable(m_projector.errorString()));
    PJCommControl link;
    QCOMPARE(runCommand(link, command(cmdid, host, port)), expected);

    if (frame.isEmpty()) {
        QVERIFY(link.ReplyBuffer().isEmpty());
        m_projector.stop();
        QCOMPARE(receivedFrames(m_projector), QStringList());
        return;
    }
    QCOMPARE(QString::fromLatin1(link.ReplyBuffer().toHex(' ').toUpper()), replyBuffer);
    QVERIFY(m_projector.waitForLines(QStringLiteral("cmd-close ")));
    QCOMPARE(receivedFrames(m_projector), QStringList{frame});
    if (expected == RESULT_OK && cmdid == PEN_ON) {
        // The projector took the announced address and port for its pen states.
        QVERIFY(m_projector.waitForLines(QStringLiteral("pen-start 10.77.0.1:8330 ")));
    }
}

void TestCommandLink::abortEndsTheReplyWait()
{
    QVERIFY(m_projector.start({"--command-mode", "silent"}));
    PJCommControl link;
    QVERIFY(link.Open(NetnsProjector::projectorAddress(), QStringLiteral("7142"), true));
    QCOMPARE(link.SendPenControl(PEN_OFF, QString(), QStringLiteral("0")), 1);

    bool abort = false;
    QElapsedTimer sinceAbort;
    QTimer::singleShot(300, [&] {
        abort = true;
        sinceAbort.start();
    });
    QCOMPARE(link.WaitReply(&abort), int(RESULT_NO_REPLY));
    QVERIFY(sinceAbort.isValid());
    // The flag is looked at every 100 ms; a wait that ignored it would last 5000 ms.
    QVERIFY2(sinceAbort.elapsed() < 1500, qPrintable(QString::number(sinceAbort.elapsed())));
}

void TestCommandLink::refusedCommandsSendNothing()
{
    QVERIFY(m_projector.start({"--command-mode", "ok"}));
    LogCapture log;
    PJCommControl link;
    // Not open yet: nothing to send on.
    QCOMPARE(link.SendPenControl(PEN_OFF, QString(), QStringLiteral("0")), int(RESULT_SEND_FAILED));

    QVERIFY(link.Open(NetnsProjector::projectorAddress(), QStringLiteral("7142"), true));
    QCOMPARE(link.SendPenControl(PEN_ON, QString(), QStringLiteral("8330")),
             int(RESULT_SEND_FAILED));
    QCOMPARE(link.SendPenControl(PEN_ON, QStringLiteral("10.0.0"), QStringLiteral("8330")),
             int(RESULT_SEND_FAILED));
    QCOMPARE(link.SendPenControl(2, QStringLiteral("10.77.0.1"), QStringLiteral("8330")),
             int(RESULT_SEND_FAILED));
    // The link still works afterwards, and only this command reached the projector.
    QCOMPARE(link.SendPenControl(PEN_OFF, QString(), QStringLiteral("0")), 1);
    QCOMPARE(link.WaitReply(nullptr), 1);
    link.Close();
    QVERIFY(m_projector.waitForLines(QStringLiteral("cmd-close ")));
    QCOMPARE(receivedFrames(m_projector), QStringList{kPenOffFrame});
    // Refusing bad input is not a network failure: no send-error line.
    QCOMPARE(log.lines("quillrelay.link").filter(QStringLiteral("TCP Send Error")), QStringList());
}

void TestCommandLink::sendWaitEndsWhenThePeerStopsReading()
{
    QVERIFY(m_projector.start({"--command-mode", "noread"}));
    LogCapture log;
    PJCommControl link;
    QVERIFY(link.Open(NetnsProjector::projectorAddress(), QStringLiteral("7142"), true));

    // Frames of the largest size until the socket buffers on both sides are full; then the
    // wait for the bytes to leave must give up after the reply time-out instead of hanging.
    QByteArray frame;
    PJCommControl::BuildFrame(frame, 0x03, 0xCE, 4095, QByteArray(4095, '\0'));
    int result = 1;
    int sent = 0;
    while (result == 1 && sent < 20000) {
        result = link.SendFrame(frame);
        ++sent;
    }
    QCOMPARE(result, int(RESULT_SEND_FAILED));
    QVERIFY(log.contains(QStringLiteral("TCP Send Error!! = 10.77.0.2:7142\n")));
}

void TestCommandLink::peerAddressNamesTheProjector()
{
    // Two projectors, one command port each; the link tells which one it talked to.
    const QStringList addresses = NetnsProjector::projectorAddresses();
    QVERIFY2(addresses.size() >= 2, "the namespace pair needs a second projector address");
    QVERIFY(m_projector.start({"--command-address", addresses[1]}));
    PJCommControl link;
    QVERIFY(link.PeerAddress().isNull());
    QCOMPARE(runCommand(link, command(PEN_OFF, addresses[1])), int(RESULT_OK));
    QCOMPARE(link.PeerAddress(), QHostAddress(addresses[1]));
    QCOMPARE(link.PeerPort(), quint16(7142));
    // Only the second address listens: the first refuses at once, and says so.
    QCOMPARE(runCommand(link, command(PEN_OFF, addresses[0])), int(RESULT_CONNECT_FAILED));
    QVERIFY(link.ConnectFailed());
}

QTEST_GUILESS_MAIN(TestCommandLink)
#include "tst_commandlink.moc"
