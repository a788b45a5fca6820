// The command frame, the recognition of replies in a byte stream, the pen-control data and
// the mapping of a reply to a result code: everything of the link that needs no socket.
#include "protocol/commandframe.h"
#include "protocol/pencommand.h"
#include "engine/link/pjcommcontrol.h"

#include <QTest>

namespace {
QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text));
}
} // namespace

class TestCommandFrame final : public QObject {
    Q_OBJECT

private slots:
    void buildFrame_data();
    void buildFrame();
    void penControlFrame_data();
    void penControlFrame();
    void checkReply_data();
    void checkReply();
    void replyScanner_data();
    void replyScanner();
    void resultOfReply_data();
    void resultOfReply();
};

void TestCommandFrame::buildFrame_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("one data byte") << 1 << hex("01") << hex("03CE00000101D3");
    QTest::newRow("no data") << 0 << QByteArray() << hex("03 CE 00 00 00 D1");
    // 0x03 + 0xCE + 0x0F + 0xFF + 4095 * 0x01 = 0x11DE
    QTest::newRow("largest length") << 4095 << QByteArray(4095, '\x01')
                                    << hex("03CE000FFF") + QByteArray(4095, '\x01') + hex("DE");
    // Only 12 bits of length exist on the wire; the upper bits must not leak into byte 3.
    QTest::newRow("length wider than 12 bits") << 0xF001 << hex("01") << hex("03CE00000101D3");
}

void TestCommandFrame::buildFrame()
{
    QFETCH(int, length);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, expected);

    QByteArray frame("left over from an earlier frame");
    const int size = PJCommControl::BuildFrame(frame, 0x03, 0xCE, quint16(length), data);
    QCOMPARE(frame.toHex(' '), expected.toHex(' '));
    QCOMPARE(size, expected.size());
}

void TestCommandFrame::penControlFrame_data()
{
    QTest::addColumn<int>("cmdid");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QByteArray>("expected"); // empty: refused, nothing to send

    const QByteArray refused;
    QTest::newRow("pen on") << int(PEN_ON) << "192.168.0.10"
                            << "8330" << hex("03 CE 00 00 07 00 0A 00 A8 C0 8A 20 F4");
    QTest::newRow("pen on, address reversed")
        << int(PEN_ON) << "192.168.1.1"
        << "8330" << hex("03 CE 00 00 07 00 01 01 A8 C0 8A 20 EC");
    QTest::newRow("pen on, port low byte first")
        << int(PEN_ON) << "10.77.0.1"
        << "258" << hex("03 CE 00 00 07 00 01 00 4D 0A 02 01 33");
    QTest::newRow("pen off ignores the address") << int(PEN_OFF) << ""
                                                 << "0" << hex("03CE00000101D3");
    QTest::newRow("empty address") << int(PEN_ON) << ""
                                   << "8330" << refused;
    QTest::newRow("three numbers") << int(PEN_ON) << "10.0.0"
                                   << "8330" << refused;
    QTest::newRow("five numbers") << int(PEN_ON) << "10.0.0.1.2"
                                  << "8330" << refused;
    QTest::newRow("empty number") << int(PEN_ON) << "10..0.1"
                                  << "8330" << refused;
    QTest::newRow("number above 255") << int(PEN_ON) << "10.0.0.256"
                                      << "8330" << refused;
    QTest::newRow("not a number") << int(PEN_ON) << "10.0.0.x"
                                  << "8330" << refused;
    QTest::newRow("negative number") << int(PEN_ON) << "10.0.0.-1"
                                     << "8330" << refused;
    QTest::newRow("port above 65535") << int(PEN_ON) << "10.0.0.1"
                                      << "74866" << refused;
    QTest::newRow("port not a number") << int(PEN_ON) << "10.0.0.1"
                                       << "udp" << refused;
    QTest::newRow("unknown command") << 2 << "10.0.0.1"
                                     << "8330" << refused;
}

void TestCommandFrame::penControlFrame()
{
    QFETCH(int, cmdid);
    QFETCH(QString, address);
    QFETCH(QString, port);
    QFETCH(QByteArray, expected);

    QByteArray data("stale");
    const bool ok = CPenControl::commandData(cmdid, address, port, &data);
    QCOMPARE(ok, !expected.isEmpty());
    if (!ok) {
        QVERIFY(data.isEmpty());
        return;
    }
    QByteArray frame;
    PJCommControl::BuildFrame(frame, 0x03, 0xCE, quint16(data.size()), data);
    QCOMPARE(frame.toHex(' '), expected.toHex(' '));
}

void TestCommandFrame::checkReply_data()
{
    QTest::addColumn<QByteArray>("chunk");
    QTest::addColumn<int>("expected");

    QTest::newRow("positive") << hex("23CE0000020000F3") << 1;
    QTest::newRow("error") << hex("A3CE000002000073") << -1;
    QTest::newRow("error with any code") << hex("8000000000"
                                                "80")
                                         << -1;
    QTest::newRow("bad checksum") << hex("23CE0000020000F4") << 0;
    QTest::newRow("another command's reply") << hex("22CE000000F0") << 0;
    QTest::newRow("right class, other code") << hex("23CF000000F2") << 0;
    QTest::newRow("the command itself echoed") << hex("03CE00000101D3") << 0;
    QTest::newRow("one byte") << hex("00") << 0;
    QTest::newRow("empty") << QByteArray() << 0;
}

void TestCommandFrame::checkReply()
{
    QFETCH(QByteArray, chunk);
    QFETCH(int, expected);
    QCOMPARE(CommandFrame::checkReply(0x03, 0xCE, chunk), expected);
}

void TestCommandFrame::replyScanner_data()
{
    QTest::addColumn<QList<QByteArray>>("reads");
    QTest::addColumn<int>("expected");
    QTest::addColumn<QByteArray>("reply");

    const QByteArray ok = hex("23CE0000020000F3");
    const QByteArray error = hex("A3CE000002000073");
    const QByteArray other = hex("22CE000000F0");
    const QByteArray badSum = hex("23CE0000020000F4");

    QTest::newRow("whole reply") << QList<QByteArray>{ok} << 1 << ok;
    QTest::newRow("split after three bytes") << QList<QByteArray>{ok.left(3), ok.mid(3)} << 1 << ok;
    QTest::newRow("split inside the header of an error reply")
        << QList<QByteArray>{error.left(4), error.mid(4)} << -1 << error;
    QList<QByteArray> bytewise;
    for (const char b : ok)
        bytewise << QByteArray(1, b);
    QTest::newRow("one byte per read") << bytewise << 1 << ok;
    QTest::newRow("incomplete") << QList<QByteArray>{ok.left(7)} << 0 << QByteArray();
    QTest::newRow("other reply, then reply") << QList<QByteArray>{other, ok} << 1 << ok;
    QTest::newRow("other reply and reply in one read") << QList<QByteArray>{other + ok} << 1 << ok;
    QTest::newRow("bad checksum, then error reply")
        << QList<QByteArray>{badSum, error} << -1 << error;
    QTest::newRow("stray text, then reply")
        << QList<QByteArray>{QByteArray("hello\r\n"), ok} << 1 << ok;
    // The stray read's "length" (5) would swallow the first bytes of the reply.
    QTest::newRow("stray bytes announcing more, then reply")
        << QList<QByteArray>{hex("A0 00 00 00 05"), ok} << 1 << ok;
    QTest::newRow("two other replies, then reply, one read")
        << QList<QByteArray>{other + other + ok} << 1 << ok;
    QTest::newRow("reply followed by more bytes")
        << QList<QByteArray>{ok + hex("0102"), hex("03")} << 1 << ok;
    QTest::newRow("short positive reply")
        << QList<QByteArray>{hex("23CE000000F1")} << 1 << hex("23CE000000F1");
    QTest::newRow("other reply split, then reply split")
        << QList<QByteArray>{other.left(2), other.mid(2) + ok.left(1), ok.mid(1)} << 1 << ok;
}

void TestCommandFrame::replyScanner()
{
    QFETCH(QList<QByteArray>, reads);
    QFETCH(int, expected);
    QFETCH(QByteArray, reply);

    ReplyScanner scanner(0x03, 0xCE);
    for (const QByteArray& read : reads)
        scanner.addChunk(read);
    QCOMPARE(scanner.result(), expected);
    QCOMPARE(scanner.reply().toHex(' '), reply.toHex(' '));
    if (expected != 0) {
        // Once found, the reply stays: the peer's next frame does not replace it.
        scanner.addChunk(hex("A3 CE 00 00 02 00 00 73"));
        QCOMPARE(scanner.result(), expected);
        QCOMPARE(scanner.reply().toHex(' '), reply.toHex(' '));
    }
}

void TestCommandFrame::resultOfReply_data()
{
    QTest::addColumn<int>("waitResult");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("expected");

    QTest::newRow("positive, result 0") << 1 << hex("23CE0000020000F3") << int(RESULT_OK);
    QTest::newRow("positive, result 1") << 1 << hex("23CE0000020001F4") << int(RESULT_REJECTED);
    QTest::newRow("positive, result 2") << 1 << hex("23CE0000020002F5") << int(RESULT_REJECTED);
    QTest::newRow("positive, too short for a result")
        << 1 << hex("23CE000000F1") << int(RESULT_REJECTED);
    QTest::newRow("error reply") << -3 << hex("A3CE000002000073") << int(RESULT_ERROR_REPLY);
    QTest::newRow("connection lost") << -4 << QByteArray() << int(RESULT_DISCONNECTED);
    QTest::newRow("time-out") << -5 << QByteArray() << int(RESULT_NO_REPLY);
    QTest::newRow("anything else") << 0 << QByteArray() << int(RESULT_NO_REPLY);
}

void TestCommandFrame::resultOfReply()
{
    QFETCH(int, waitResult);
    QFETCH(QByteArray, reply);
    QFETCH(int, expected);
    QCOMPARE(CPenControl::resultOfReply(waitResult, reply), expected);
}

QTEST_GUILESS_MAIN(TestCommandFrame)
#include "tst_commandframe.moc"
