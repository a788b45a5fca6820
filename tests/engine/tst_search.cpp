// The search engine in the test's process: what it lists from the datagrams it receives,
// and how a search starts and ends. Its searches go to loopback addresses only; the real
// network search runs against the simulator in tests/network.
#include "engine/search/niclist.h"
#include "engine/search/pjsearchudp.h"
#include "support/packets.h"

#include <QSignalSpy>
#include <QTest>

namespace {
using Datagrams = QList<QPair<QByteArray, QString>>; // bytes, sender
const QHostAddress Own(QStringLiteral("127.0.0.1"));

// Interfaces as "name address/bits ...".
QList<NicSource> interfaces(const QStringList& lines)
{
    QList<NicSource> out;
    for (const QString& line : lines) {
        QStringList fields = line.split(QLatin1Char(' '));
        const QString name = fields.takeFirst();
        out << NicSource{true, QStringLiteral("Ethernet ") + name, name, {}};
        for (const QString& address : fields) {
            QNetworkAddressEntry entry;
            entry.setIp(QHostAddress(address.section(QLatin1Char('/'), 0, 0)));
            entry.setPrefixLength(address.section(QLatin1Char('/'), 1).toInt());
            out.last().addressEntries << entry;
        }
    }
    return out;
}

QStringList rows(const PJSearchUdp& engine)
{
    QStringList out;
    for (const PJListItem& item : engine.items())
        out << QStringLiteral("%1 %2 %3").arg(item.Address.toString(), item.Name).arg(item.Status);
    return out;
}
} // namespace

class TestSearch : public QObject {
    Q_OBJECT
private slots:
    void listing_data()
    {
        QTest::addColumn<Datagrams>("received");
        QTest::addColumn<QStringList>("listed");
        const QByteArray reply = SearchReplyBytes().cmd(SRCH_CMD_UNICAST).name("Hall").status(3);
        const QByteArray notify = SearchReplyBytes().cmd(SRCH_CMD_NOTIFY).name("Foyer");
        QTest::newRow("twice: the first stays")
            << Datagrams{{reply, "127.0.0.20"}, {SearchReplyBytes().cmd(3).name("Other"), "127.0.0.20"}}
            << QStringList{"127.0.0.20 Hall 3"};
        QTest::newRow("reporting another address: listed under both, that one first")
            << Datagrams{{SearchReplyBytes().cmd(3).name("PJ").hostIp("10.0.0.5"), "127.0.0.21"}}
            << QStringList{"10.0.0.5 PJ 0", "127.0.0.21 PJ 0"};
        QTest::newRow("from an address not searched")
            << Datagrams{{reply, "127.0.0.99"}} << QStringList();
        QTest::newRow("own request echoed") << Datagrams{{reply, "127.0.0.1"}} << QStringList();
        QTest::newRow("notification from anyone")
            << Datagrams{{notify, "127.0.0.77"}} << QStringList{"127.0.0.77 Foyer 0"};
    }
    void listing()
    {
        QFETCH(Datagrams, received);
        QFETCH(QStringList, listed);
        PJSearchUdp engine(SEARCH_APP_FLAG);
        QSignalSpy found(&engine, &PJSearchUdp::found);
        QCOMPARE(engine.searchAddresses(Own, QHostAddress("127.0.0.20"), QHostAddress("127.0.0.22"), false),
                 PJSearchUdp::Start::Started);
        for (const auto& [bytes, sender] : received)
            engine.handleDatagram(bytes, QHostAddress(sender));
        QCOMPARE(rows(engine), listed);
        QCOMPARE(found.size(), listed.size());
    }

    // Any host may announce itself, as often as it likes: past 64 rows a search ignores it.
    void notificationsAddAtMost64Rows()
    {
        PJSearchUdp engine(SEARCH_APP_FLAG);
        engine.searchBroadcast(Own, QHostAddress("127.255.255.255"));
        for (int i = 0; i < 100; ++i)
            engine.handleDatagram(QByteArray(SearchReplyBytes().cmd(SRCH_CMD_NOTIFY)), QHostAddress(quint32(0x7F000100 + i)));
        QCOMPARE(engine.items().size(), PJSearchUdp::MAX_NOTIFIED_ROWS);
        engine.handleDatagram(QByteArray(SearchReplyBytes().seq(engine.SeqNo())), QHostAddress("127.0.2.1"));
        QCOMPARE(engine.items().size(), PJSearchUdp::MAX_NOTIFIED_ROWS + 1); // replies still count
    }

    // A single typed address that does not answer is listed as failed when the search
    // ends, 500 ms after it started; one that answered is not.
    void silentAddressIsListedWhenTheSearchEnds_data()
    {
        QTest::addColumn<bool>("answers");
        QTest::newRow("silent") << false;
        QTest::newRow("answers") << true;
    }
    void silentAddressIsListedWhenTheSearchEnds()
    {
        QFETCH(bool, answers);
        PJSearchUdp engine(SEARCH_APP_FLAG);
        QSignalSpy finished(&engine, &PJSearchUdp::finished);
        const QHostAddress typed("127.0.0.50");
        QCOMPARE(engine.searchAddresses(Own, typed, typed, true), PJSearchUdp::Start::Started);
        QCOMPARE(engine.IpList(), QList<QHostAddress>({Own, typed}));
        if (answers)
            engine.handleDatagram(QByteArray(SearchReplyBytes().cmd(3).seq(engine.SeqNo()).name("PJ")), typed);
        QVERIFY(finished.wait(5000));
        QVERIFY(!engine.IsSearching());
        QCOMPARE(rows(engine), QStringList{answers ? "127.0.0.50 PJ 0" : "127.0.0.50  255"});
    }

    void rangeIsSearchedAddressByAddress()
    {
        PJSearchUdp engine(SEARCH_APP_FLAG);
        engine.searchAddresses(Own, QHostAddress("127.0.0.10"), QHostAddress("127.0.0.20"), false);
        QCOMPARE(engine.IpList().size(), 12); // own address and 11 targets
        QCOMPARE(engine.IpList().last(), QHostAddress("127.0.0.20"));
        // Another request while it runs goes on with the new targets, as one search.
        const quint16 seqNo = engine.SeqNo();
        QCOMPARE(engine.searchBroadcast(Own, QHostAddress("127.255.255.255")),
                 PJSearchUdp::Start::Retargeted);
        QCOMPARE(engine.SeqNo(), seqNo);
        QCOMPARE(engine.IpList().value(1), QHostAddress("127.255.255.255"));
    }

    // The interfaces a search can start from: each IPv4 address of an interface, in order,
    // but for the loopback every system has, addresses that are no addresses, and IPv6.
    void interfaceList()
    {
        const NicList list(interfaces({"lo 127.0.0.1/8 10.0.0.1/24", "qr0 127.0.0.2/8",
                                       "a 0.0.0.0/8 10.0.0.2/0 fe80::1/64", "wlan0 192.0.2.7/24 10.0.1.1/16"}));
        QStringList listed;
        QString name;
        QHostAddress address;
        for (int i = 0; list.GetName(i, name) && list.GetIpAddress(i, address); ++i)
            listed << name + QLatin1Char(' ') + address.toString();
        QCOMPARE(listed, QStringList({"lo 10.0.0.1", "qr0 127.0.0.2", "wlan0 192.0.2.7", "wlan0 10.0.1.1"}));
    }

    void noInterfaceStartsNothing()
    {
        PJSearchUdp engine(SEARCH_APP_FLAG);
        engine.handleDatagram(QByteArray(SearchReplyBytes().cmd(SRCH_CMD_NOTIFY)), QHostAddress("127.0.0.7"));
        QCOMPARE(engine.searchBroadcast(QHostAddress(), QHostAddress()), PJSearchUdp::Start::NoInterface);
        QVERIFY(!engine.IsSearching());
        QVERIFY(engine.items().isEmpty()); // a broadcast search starts from an empty list
    }
};

QTEST_GUILESS_MAIN(TestSearch)
#include "tst_search.moc"
