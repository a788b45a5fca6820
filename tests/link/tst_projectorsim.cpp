// The projector simulator itself, as the search and the pen-status receiver see it: every
// later test of the program trusts its bytes, so they are checked here from the computer's
// side of a namespace pair with plain sockets.
#include "core/eventwait.h"
#include "support/netnsprojector.h"

#include <QNetworkDatagram>
#include <QTcpSocket>
#include <QTest>
#include <QTextCodec>
#include <QUdpSocket>
#include <QtEndian>

namespace {
constexpr quint16 kSearchPort = 5320;

QByteArray searchRequest(quint32 commandId, quint16 seqNo)
{
    QByteArray request(128, '\0');
    request.replace(0, 4, "ZRVX");
    request[4] = 0x13;
    qToLittleEndian<quint16>(seqNo, request.data() + 8);
    qToLittleEndian<quint16>(112, request.data() + 10);
    qToLittleEndian<quint32>(0x12345678, request.data() + 12);
    qToLittleEndian<quint32>(commandId, request.data() + 16);
    qToLittleEndian<quint32>(0x01000000, request.data() + 24);
    return request;
}

quint32 u32(const QByteArray& d, int offset)
{
    return qFromLittleEndian<quint32>(d.constData() + offset);
}

QByteArray text(const QByteArray& d, int offset)
{
    const QByteArray rest = d.mid(offset);
    const qsizetype end = rest.indexOf('\0');
    return end < 0 ? rest : rest.left(end);
}

// Datagrams that arrive within `ms`, except those this socket sent itself (a broadcast
// comes back to its sender).
QList<QNetworkDatagram> collect(QUdpSocket& socket, int ms, int stopAfter = 1000)
{
    QList<QNetworkDatagram> got;
    EventWait wait(ms, 100);
    wait.wakeOn(&socket, &QUdpSocket::readyRead);
    wait.waitUntil([&] {
        while (socket.hasPendingDatagrams()) {
            const QNetworkDatagram d = socket.receiveDatagram();
            if (QHostAddress(d.senderAddress().toIPv4Address()) !=
                QHostAddress(NetnsProjector::computerAddress()))
                got << d;
        }
        return got.size() >= stopAfter;
    });
    return got;
}
} // namespace

class TestProjectorSim final : public QObject {
    Q_OBJECT

private slots:
    void init();
    void broadcastIsAnsweredByEveryProjector();
    void addressedSearchIsAnsweredByThatProjectorOnly();
    void notificationAndAcceptance();
    void penStatesFollowPenOnAndStopAtPenOff();

private:
    NetnsProjector m_sim;
};

void TestProjectorSim::init()
{
    QR_REQUIRE_NETNS();
}

void TestProjectorSim::broadcastIsAnsweredByEveryProjector()
{
    const QStringList addresses = NetnsProjector::projectorAddresses();
    QVERIFY(addresses.size() >= 2);
    QVERIFY2(m_sim.start({"--projector", addresses[0] + ",name=会議室プロジェクタ,status=0x0102",
                          "--projector", addresses[1] + ",hostip=10.77.9.9,appflag=0x4000"}),
             qPrintable(m_sim.errorString()));
    QUdpSocket socket;
    QVERIFY(socket.bind(QHostAddress::AnyIPv4, kSearchPort));
    socket.writeDatagram(searchRequest(2, 513), QHostAddress(QStringLiteral("10.77.0.255")),
                         kSearchPort);
    const QList<QNetworkDatagram> replies = collect(socket, 3000, 2);
    QCOMPARE(replies.size(), 2);

    QMap<QString, QByteArray> bySender;
    for (const QNetworkDatagram& d : replies) {
        QCOMPARE(d.senderPort(), int(kSearchPort));
        bySender.insert(QHostAddress(d.senderAddress().toIPv4Address()).toString(), d.data());
    }
    const QByteArray first = bySender.value(addresses[0]);
    QVERIFY(first.startsWith("ZRVX"));
    QCOMPARE(qFromLittleEndian<quint16>(first.constData() + 8), quint16(513));
    QCOMPARE(u32(first, 16), 2u);
    QCOMPARE(u32(first, 20), 0x0102u);
    QCOMPARE(text(first, 32), addresses[0].toLatin1());
    QTextCodec* sjis = QTextCodec::codecForName("Shift-JIS");
    QVERIFY(sjis);
    QCOMPARE(sjis->toUnicode(text(first, 96)), QStringLiteral("会議室プロジェクタ"));
    // Shift-JIS, not UTF-8: nine characters, two bytes each.
    QCOMPARE(text(first, 96).size(), 18);

    const QByteArray second = bySender.value(addresses[1]);
    QCOMPARE(text(second, 32), QByteArray("10.77.9.9"));
    QCOMPARE(u32(second, 144), 0x4000u);
    // The replies can overtake the simulator's own log line: wait for the line.
    QVERIFY(m_sim.waitForLines(QStringLiteral("search-rx 10.77.0.255 ")));
    QCOMPARE(m_sim.lines(QStringLiteral("search-rx 10.77.0.255 ")).size(), 1);
}

void TestProjectorSim::addressedSearchIsAnsweredByThatProjectorOnly()
{
    const QStringList addresses = NetnsProjector::projectorAddresses();
    QVERIFY(m_sim.start(
        {"--projector", addresses[0], "--projector", addresses[1] + ",unicast-cmd=7,delay=300"}));
    QUdpSocket socket;
    QVERIFY(socket.bind(QHostAddress::AnyIPv4, kSearchPort));
    socket.writeDatagram(searchRequest(3, 9), QHostAddress(addresses[1]), kSearchPort);
    const QList<QNetworkDatagram> replies = collect(socket, 1500);
    QCOMPARE(replies.size(), 1);
    QCOMPARE(QHostAddress(replies[0].senderAddress().toIPv4Address()), QHostAddress(addresses[1]));
    QCOMPARE(u32(replies[0].data(), 16), 7u);
    QVERIFY(m_sim.waitForLines(QStringLiteral("search-rx ") + addresses[1] + ' '));
    QCOMPARE(m_sim.lines(QStringLiteral("search-rx ") + addresses[1] + ' ').size(), 1);
}

void TestProjectorSim::notificationAndAcceptance()
{
    QUdpSocket socket;
    QVERIFY(socket.bind(QHostAddress::AnyIPv4, kSearchPort));
    const QStringList addresses = NetnsProjector::projectorAddresses();
    QVERIFY(
        m_sim.start({"--projector", addresses[0], "--notify", NetnsProjector::computerAddress()}));
    const QList<QNetworkDatagram> notes = collect(socket, 2000, 1);
    QCOMPARE(notes.size(), 1);
    QCOMPARE(u32(notes[0].data(), 16), 8u);

    // An acceptance is taken note of and not answered.
    socket.writeDatagram(searchRequest(5, 1), QHostAddress(addresses[0]), kSearchPort);
    QVERIFY(m_sim.waitForLines(QStringLiteral("search-accept ")));
    QCOMPARE(collect(socket, 300).size(), 0);
}

void TestProjectorSim::penStatesFollowPenOnAndStopAtPenOff()
{
    QVERIFY(m_sim.start({"--pen-script", "two-pens", "--pen-loop", "--pen-seq", "--pen-delay", "0",
                         "--pen-rate", "50"}));
    QUdpSocket pens;
    QVERIFY(pens.bind(QHostAddress::AnyIPv4, 8330));

    auto send = [](const QByteArray& frame) {
        QTcpSocket command;
        command.connectToHost(NetnsProjector::projectorAddress(), 7142);
        if (!command.waitForConnected(3000))
            return QByteArray();
        command.write(frame);
        command.waitForBytesWritten(3000);
        return command.waitForReadyRead(3000) ? command.readAll() : QByteArray();
    };
    // Pen on for 10.77.0.1:8330.
    QCOMPARE(send(QByteArray::fromHex("03CE000007000100 4D0A8A20DA")).toHex(),
             QByteArray("23ce0000020000f3"));
    const QList<QNetworkDatagram> got = collect(pens, 3000, 5);
    QCOMPARE(got.size(), 5);
    for (const QNetworkDatagram& d : got) {
        const QByteArray data = d.data();
        QCOMPARE(data.size(), 26); // both pens in one datagram
        for (int at = 0; at < data.size(); at += 13) {
            const QByteArray r = data.mid(at, 13);
            quint8 sum = 0;
            for (int i = 0; i < 12; ++i)
                sum += quint8(r[i]);
            QCOMPARE(quint8(r[12]), sum);
            QCOMPARE(r.left(2), QByteArray("\x03\xCE"));
            QCOMPARE(r[5], '\x02');
        }
    }
    QCOMPARE(send(QByteArray::fromHex("03CE00000101D3")).toHex(), QByteArray("23ce0000020000f3"));
    QVERIFY(m_sim.waitForLines(QStringLiteral("pen-stop 10.77.0.1:8330")));
    collect(pens, 100); // what was already on its way
    QCOMPARE(collect(pens, 300).size(), 0);
}

QTEST_GUILESS_MAIN(TestProjectorSim)
#include "tst_projectorsim.moc"
