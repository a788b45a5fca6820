// The search engine against hostile hosts on the link: replies with every field at its
// extreme, and notifications by the thousand. Nothing may crash or read out of bounds, no
// reply may be listed that the acceptance check refuses, and the unsolicited notifications
// of one search fill at most a bounded number of rows.
#include "hostilepeer.h"

#include "engine/search/pjsearchudp.h"
#include "protocol/searchpacket.h"
#include "support/netnsprojector.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <QtEndian>

#include <cstring>

namespace {
const QString Own = QStringLiteral("10.77.0.1");
const QString Broadcast = QStringLiteral("10.77.0.255");

QByteArray reply(quint32 commandId, quint16 seqNo, const QByteArray& hostIp, const QByteArray& name,
                 quint32 status = 0x10, int size = 256)
{
    QByteArray d(qMax(size, 148), '\0');
    std::memcpy(d.data(), "ZRVX", 4);
    d[4] = 0x13;
    qToLittleEndian<quint16>(seqNo, d.data() + 8);
    qToLittleEndian<quint16>(112, d.data() + 10);
    qToLittleEndian<quint32>(commandId, d.data() + 16);
    qToLittleEndian<quint32>(status, d.data() + 20);
    // The searcher's flags have none of the bits that make a reply's flags matter, so a
    // long name may run over them.
    qToLittleEndian<quint32>(SEARCH_APP_FLAG, d.data() + 144);
    const auto put = [&d](qsizetype at, const QByteArray& text) {
        const qsizetype n = qMin<qsizetype>(text.size(), d.size() - at);
        std::memcpy(d.data() + at, text.constData(), size_t(n));
    };
    put(32, hostIp);
    put(96, name);
    return d.left(size);
}

QList<PJListItem> items(const PJSearchUdp& engine)
{
    QList<PJListItem> out;
    for (int i = 0; i < engine.PJListCount(); ++i) {
        PJListItem item;
        engine.GetPJListItem(i, item);
        out << item;
    }
    return out;
}

// Sends `datagrams` in order from the projector's namespace, datagram i from source i mod n.
bool sendFromProjectorSide(const QList<QByteArray>& datagrams, const QStringList& sources,
                           int ratePerSecond, int durationMs, QString* error)
{
    UdpBlaster blaster;
    UdpBlaster::Options o;
    o.netnsName = qEnvironmentVariable("QR_NETNS_PROJECTOR");
    o.sources = sources;
    o.destination = Own;
    o.port = SEARCH_PORT;
    o.ratePerSecond = ratePerSecond;
    o.durationMs = durationMs;
    o.count = quint64(datagrams.size());
    o.payload = [datagrams](quint64 n) {
        return datagrams.at(qsizetype(n));
    };
    if (!blaster.start(o)) {
        *error = blaster.error();
        return false;
    }
    blaster.wait();
    return blaster.sent() == quint64(datagrams.size());
}
} // namespace

class TestHostileSearch : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void extremeRepliesStayInBounds_data();
    void extremeRepliesStayInBounds();
    void notificationFloodFillsABoundedNumberOfRows();
};

void TestHostileSearch::initTestCase()
{
    QR_REQUIRE_NETNS();
    QVERIFY(NetnsProjector::projectorAddresses().size() >= 11);
}

void TestHostileSearch::extremeRepliesStayInBounds_data()
{
    QTest::addColumn<QByteArray>("hostile"); // its SeqNo field is set to the search's
    QTest::addColumn<int>("seqNoOffset");
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<QString>("name");
    QTest::addColumn<quint32>("status");

    const QByteArray pj = "10.77.0.2";
    const QString sender = "10.77.0.2";
    QTest::newRow("256 bytes, name without NUL")
        << reply(2, 0, pj, QByteArray(160, 'N')) << 0 << QStringList{sender} << QString(160, 'N')
        << 0x10u;
    QTest::newRow("60000 bytes, cut at 256")
        << reply(2, 0, pj, QByteArray(59904, 'L'), 0x10, 60000) << 0 << QStringList{sender}
        << QString(160, 'L') << 0x10u;
    QTest::newRow("every byte 0xFF after the header")
        << reply(2, 0, QByteArray(64, char(0xFF)), QByteArray(160, char(0xFF)), 0xFFFFFFFFu) << 0
        << QStringList{sender} << QString() << 0xFFFFFFFFu;
    QTest::newRow("Shift-JIS lead byte as the last byte")
        << reply(2, 0, pj, QByteArray(159, 'A') + char(0x82)) << 0 << QStringList{sender}
        << QString() << 0x10u;
    QTest::newRow("HostIp runs into the name") << reply(2, 0, QByteArray(64, '1'), "PJ") << 0
                                               << QStringList{sender} << QString("PJ") << 0x10u;
    QTest::newRow("HostIp 0.0.0.0")
        << reply(2, 0, "0.0.0.0", "PJ") << 0 << QStringList{sender} << QString("PJ") << 0x10u;
    QTest::newRow("HostIp elsewhere")
        << reply(2, 0, "10.77.200.9", "PJ") << 0 << QStringList{"10.77.200.9", sender}
        << QString("PJ") << 0x10u;
    QTest::newRow("wrong SeqNo") << reply(2, 0, pj, "PJ") << 1 << QStringList{} << QString() << 0u;
    QTest::newRow("SeqNo of the previous search")
        << reply(2, 0, pj, "PJ") << -1 << QStringList{} << QString() << 0u;
    QTest::newRow("unicast reply from a stranger")
        << reply(3, 0, pj, "PJ") << 0 << QStringList{} << QString() << 0u;
    QTest::newRow("CommandID 0xFFFFFFFF")
        << reply(0xFFFFFFFFu, 0, pj, "PJ") << 0 << QStringList{} << QString() << 0u;
    QTest::newRow("empty datagram") << QByteArray() << 0 << QStringList{} << QString() << 0u;
    QTest::newRow("four bytes") << QByteArray("ZRVX") << 0 << QStringList{} << QString() << 0u;
    QTest::newRow("header only") << reply(2, 0, pj, "PJ").left(16) << 0 << QStringList{}
                                 << QString() << 0u;
}

void TestHostileSearch::extremeRepliesStayInBounds()
{
    QFETCH(QByteArray, hostile);
    QFETCH(int, seqNoOffset);
    QFETCH(QStringList, addresses);
    QFETCH(QString, name);
    QFETCH(quint32, status);

    PJSearchUdp engine(nullptr, SEARCH_APP_FLAG, {QHostAddress(Own), QHostAddress(Broadcast)});
    QVERIFY(engine.StartSearch(int(SRCH_CMD_BROADCAST)));
    if (hostile.size() >= 10)
        qToLittleEndian<quint16>(quint16(engine.SeqNo() + seqNoOffset), hostile.data() + 8);
    // A good reply from another projector after the hostile one: once it is listed, the
    // hostile datagram has been dealt with.
    const QByteArray marker = reply(2, engine.SeqNo(), "", "marker");
    QString error;
    QVERIFY2(
        sendFromProjectorSide({hostile, marker}, {"10.77.0.2", "10.77.0.3"}, 1000, 2000, &error),
        qPrintable(error));
    QTRY_VERIFY_WITH_TIMEOUT(!items(engine).isEmpty() && items(engine).last().Name == "marker",
                             1500);

    QStringList listed;
    const QList<PJListItem> found = items(engine);
    for (const PJListItem& item : found.first(found.size() - 1))
        listed << item.Address.toString();
    QCOMPARE(listed, addresses);
    if (!addresses.isEmpty()) {
        if (!name.isEmpty())
            QCOMPARE(found.first().Name, name);
        QVERIFY(found.first().Name.size() <= 160);
        QCOMPARE(found.first().Status, status);
    }
    QVERIFY(engine.IsSearching());
    engine.Stop();
}

void TestHostileSearch::notificationFloodFillsABoundedNumberOfRows()
{
    // Ten hosts send notifications for as long as the search listens, each naming another
    // address: without a bound every one would become two rows of the projector list.
    PJSearchUdp engine(nullptr, SEARCH_APP_FLAG, {QHostAddress(Own), QHostAddress(Broadcast)});
    QVERIFY(engine.StartSearch(int(SRCH_CMD_BROADCAST)));
    const QStringList sources = NetnsProjector::projectorAddresses().mid(1, 10);
    QList<QByteArray> flood;
    for (int i = 0; i < 6000; ++i) {
        const QByteArray hostIp =
            QStringLiteral("10.77.%1.%2").arg(1 + i / 250).arg(1 + i % 250).toLatin1();
        flood << reply(SRCH_CMD_NOTIFY, quint16(i), hostIp, "flood " + QByteArray::number(i));
    }
    // Then a real projector answers the search.
    flood << reply(2, engine.SeqNo(), "10.77.250.250", "marker");

    QElapsedTimer pulseClock;
    qint64 longestGap = 0;
    QTimer pulse;
    pulse.setTimerType(Qt::PreciseTimer);
    connect(&pulse, &QTimer::timeout, [&] {
        if (pulseClock.isValid())
            longestGap = qMax(longestGap, pulseClock.restart());
        else
            pulseClock.start();
    });
    pulse.start(10);

    UdpBlaster blaster;
    UdpBlaster::Options o;
    o.netnsName = qEnvironmentVariable("QR_NETNS_PROJECTOR");
    o.sources = sources;
    o.destination = Own;
    o.port = SEARCH_PORT;
    o.ratePerSecond = 8000;
    o.durationMs = 1500;
    o.count = quint64(flood.size());
    o.payload = [&flood](quint64 n) {
        return flood.at(qsizetype(n));
    };
    QVERIFY2(blaster.start(o), qPrintable(blaster.error()));
    QTRY_VERIFY_WITH_TIMEOUT(blaster.finished(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT((!items(engine).isEmpty() && items(engine).last().Name == "marker") ||
                                 !engine.IsSearching(),
                             3000);

    const QList<PJListItem> found = items(engine);
    qInfo("notification flood: %llu datagrams sent in %lld ms, %d rows listed, longest GUI "
          "timer gap %lld ms",
          blaster.sent(), blaster.elapsedMs(), int(found.size()), longestGap);
    QVERIFY(blaster.sent() > quint64(PJSearchUdp::MAX_NOTIFIED_ROWS) * 10);
    // The first notifications are listed as usual, up to the bound (a notification naming
    // another address than its sender's adds two rows), and the real reply after them (two).
    QVERIFY2(found.size() <= PJSearchUdp::MAX_NOTIFIED_ROWS + 3,
             qPrintable(QString::number(found.size())));
    QVERIFY(found.size() >= PJSearchUdp::MAX_NOTIFIED_ROWS);
    QCOMPARE(found.first().Name, QString("flood 0"));
    QCOMPARE(found.last().Name, QString("marker"));
    QVERIFY2(longestGap < 500, qPrintable(QString::number(longestGap)));
}

int main(int argc, char** argv)
{
    // The engine writes several debug lines per datagram; thousands of datagrams would
    // measure the terminal, not the engine. The environment's rules win over any set later,
    // so they are replaced before the start.
    qputenv("QT_LOGGING_RULES", "quillrelay.*.debug=true;quillrelay.search.debug=false");
    QCoreApplication app(argc, argv);
    TestHostileSearch test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_hostilesearch.moc"
