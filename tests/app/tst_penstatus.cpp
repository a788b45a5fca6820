#include "engine/inkbridge.h"
#include "protocol/penstatusrecord.h"
#include "support/logcapture.h"

#include <QTest>
#include <QUdpSocket>

namespace {
QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

QByteArray record(int id, int button, int x, int y, quint32 filler = 7)
{
    return encodePenStatusRecord({id, button, x, y}, filler);
}

QList<PenEvent> decodeAll(const QByteArray& datagram)
{
    QList<PenEvent> events;
    processPenStatusDatagram(datagram, [&](const PenEvent& e) { events << e; });
    return events;
}
} // namespace

Q_DECLARE_METATYPE(QList<PenEvent>)

class TestPenStatus : public QObject {
    Q_OBJECT
private slots:
    void knownRecordMatchesHandBuiltOne();
    void datagrams_data();
    void datagrams();
    void debugLinesOfOneRecord();
    void controllerSocketDecodesRealDatagrams();
    void tearDownStopsListening();
};

void TestPenStatus::knownRecordMatchesHandBuiltOne()
{
    QCOMPARE(record(1, 1, 640, 400), hex("03CE00000702010102800190EF"));
}

void TestPenStatus::datagrams_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QList<PenEvent>>("expected");
    QTest::addColumn<int>("mismatches");

    const QByteArray good = hex("03CE00000702010102800190EF");
    QByteArray badSum = good;
    badSum[12] = char(0xF0);
    const PenEvent down{1, 1, 640, 400};

    QTest::newRow("valid record") << good << QList<PenEvent>{down} << 0;
    QTest::newRow("wrong checksum") << badSum << QList<PenEvent>{} << 1;
    QTest::newRow("bytes 2-4 ignored")
        << record(1, 1, 640, 400, 0xA1B2C3) << QList<PenEvent>{down} << 0;
    QTest::newRow("wrong byte 0") << record(1, 1, 0, 0).replace(0, 1, hex("04"))
                                  << QList<PenEvent>{} << 1;
    QTest::newRow("wrong byte 5 with fixed checksum") << [] {
        QByteArray r = record(1, 1, 0, 0);
        r[5] = 0x03;
        r[12] = char(quint8(r[12]) + 1);
        return r;
    }() << QList<PenEvent>{} << 1;
    QTest::newRow("two records in order") << record(2, 1, 10, 20) + record(2, 2, 11, 21)
                                          << QList<PenEvent>{{2, 1, 10, 20}, {2, 2, 11, 21}} << 0;
    QTest::newRow("25 bytes: trailing piece ignored")
        << good + good.left(12) << QList<PenEvent>{down} << 0;
    QTest::newRow("12 bytes: nothing") << good.left(12) << QList<PenEvent>{} << 0;
    QTest::newRow("FF FF is -1") << record(255, 0, -1, -1) << QList<PenEvent>{{255, 0, -1, -1}}
                                 << 0;
    QTest::newRow("signed extremes")
        << record(0, 2, -32768, 32767) << QList<PenEvent>{{0, 2, -32768, 32767}} << 0;
    QTest::newRow("unknown button passed on")
        << record(7, 200, 1, 1) << QList<PenEvent>{{7, 200, 1, 1}} << 0;
    QTest::newRow("bad then good") << badSum + good << QList<PenEvent>{down} << 1;
}

void TestPenStatus::datagrams()
{
    QFETCH(QByteArray, datagram);
    QFETCH(QList<PenEvent>, expected);
    QFETCH(int, mismatches);

    LogCapture log;
    QCOMPARE(decodeAll(datagram), expected);
    QCOMPARE(log.count(" -->Data mismatch!"), mismatches);
    // One "UdpRead:" line per whole record, none for a short datagram or a trailing piece.
    QCOMPARE(log.lines().filter(QRegularExpression("^UdpRead: ")).size(),
             int(datagram.size() / 13));
}

void TestPenStatus::debugLinesOfOneRecord()
{
    LogCapture log;
    decodeAll(hex("03CE00000702010102800190EF"));
    QCOMPARE(log.lines("quillrelay.pen"), QStringList{"UdpRead: 3 CE 0 0 7 2 1 1 2 80 1 90 EF"});
}

void TestPenStatus::controllerSocketDecodesRealDatagrams()
{
    Inkbridge controller;
    QVERIFY2(controller.setUpPenStatusSocket(), "UDP 8330 is taken on this machine");

    controller.acceptPensFrom(QHostAddress::LocalHost);
    LogCapture log;
    QUdpSocket sender;
    const QByteArray good = hex("03CE00000702010102800190EF");
    QByteArray bad = good;
    bad[12] = char(0xF0);
    sender.writeDatagram(good.left(12), QHostAddress::LocalHost, PEN_STATUS_PORT);
    sender.writeDatagram(bad + good, QHostAddress::LocalHost, PEN_STATUS_PORT);
    sender.writeDatagram(record(3, 0, 5, 6), QHostAddress::LocalHost, PEN_STATUS_PORT);

    QTRY_COMPARE(log.lines().filter(QRegularExpression("^UdpRead: ")).size(), 3);
    QCOMPARE(log.count(" -->Data mismatch!"), 1);
    QCOMPARE(log.lines().filter(QRegularExpression("^UdpRead: ")).last(),
             QString("UdpRead: 3 CE 0 0 7 2 3 0 0 5 0 6 E8"));
}

void TestPenStatus::tearDownStopsListening()
{
    Inkbridge controller;
    QVERIFY(controller.setUpPenStatusSocket());
    // A second set-up replaces the socket: the port must be free again for the new one.
    QVERIFY(controller.setUpPenStatusSocket());
    controller.tearDownPenStatusSocket();
    QVERIFY(!controller.isListeningForPens());

    QUdpSocket other;
    QVERIFY2(other.bind(QHostAddress::Any, PEN_STATUS_PORT), "the port was not released");
}

QTEST_GUILESS_MAIN(TestPenStatus)
#include "tst_penstatus.moc"
