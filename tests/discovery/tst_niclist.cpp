// Which interface addresses the table takes, described through NicSource rather than
// the machine's real interfaces.
#include "discovery/niclist.h"

#include <QNetworkInterface>
#include <QTest>

namespace {
// "10.77.0.1/24" or "10.77.0.1/24 10.77.0.255" (address/prefix, then the broadcast).
QNetworkAddressEntry entry(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(' '));
    const QPair<QHostAddress, int> subnet = QHostAddress::parseSubnet(parts.first());
    QNetworkAddressEntry e;
    // parseSubnet masks the address; take the host part from the text itself.
    e.setIp(QHostAddress(parts.first().section(QLatin1Char('/'), 0, 0)));
    e.setPrefixLength(subnet.second);
    if (parts.size() > 1)
        e.setBroadcast(QHostAddress(parts.at(1)));
    return e;
}

NicSource nic(const QString& name, const QStringList& addresses, bool valid = true)
{
    NicSource source;
    source.valid = valid;
    source.name = name;
    source.displayName = QStringLiteral("Display ") + name;
    for (const QString& a : addresses)
        source.addressEntries.append(entry(a));
    return source;
}

// One line per entry: "system name|display name|address|broadcast".
QStringList dump(const NicList& list)
{
    QStringList out;
    for (int i = 0; i < list.Count(); ++i) {
        QString name, display;
        QHostAddress ip, bcast;
        if (!list.GetName(i, name) || !list.GetDisplayName(i, display) ||
            !list.GetIpAddress(i, ip) || !list.GetBroadcast(i, bcast))
            out << QStringLiteral("unreadable %1").arg(i);
        else
            out << QStringList{name, display, ip.toString(), bcast.toString()}.join('|');
    }
    return out;
}
} // namespace

using NicSources = QList<NicSource>;

class TestNicList : public QObject {
    Q_OBJECT
private slots:
    void qualification_data();
    void qualification();
    void atMostSixteenEntries();
    void gettersRefuseIndexesWithoutEntry_data();
    void gettersRefuseIndexesWithoutEntry();
};

void TestNicList::qualification_data()
{
    QTest::addColumn<NicSources>("sources");
    QTest::addColumn<QStringList>("entries");

    QTest::newRow("loopback 127.0.0.1 only")
        << NicSources{nic("lo", {"127.0.0.1/8", "::1/128"})} << QStringList{};
    QTest::newRow("other 127 addresses count")
        << NicSources{nic("lo", {"127.0.0.1/8", "127.0.0.2/8"})}
        << QStringList{"lo|Display lo|127.0.0.2|"};
    QTest::newRow("IPv6 only") << NicSources{nic("eth6", {"fe80::1/64", "2001:db8::5/64"})}
                               << QStringList{};
    QTest::newRow("unspecified address")
        << NicSources{nic("eth0", {"0.0.0.0/24"})} << QStringList{};
    QTest::newRow("netmask 0") << NicSources{nic("tun0", {"10.77.3.3/0"})} << QStringList{};
    QTest::newRow("invalid interface")
        << NicSources{nic("eth0", {"10.77.0.1/24"}, false)} << QStringList{};
    QTest::newRow("two addresses, one interface")
        << NicSources{nic("pc0",
                          {"10.77.0.1/24 10.77.0.255", "fe80::2/64", "10.77.8.1/16 10.77.255.255"})}
        << QStringList{"pc0|Display pc0|10.77.0.1|10.77.0.255",
                       "pc0|Display pc0|10.77.8.1|10.77.255.255"};
    QTest::newRow("interface order kept, bad ones skipped")
        << NicSources{nic("lo", {"127.0.0.1/8"}), nic("b", {"10.77.2.1/24 10.77.2.255"}),
                      nic("x", {"10.77.9.1/24"}, false), nic("a", {"10.77.1.1/32"})}
        << QStringList{"b|Display b|10.77.2.1|10.77.2.255", "a|Display a|10.77.1.1|"};
}

void TestNicList::qualification()
{
    QFETCH(NicSources, sources);
    QFETCH(QStringList, entries);
    const NicList list(sources);
    QCOMPARE(list.Count(), entries.size());
    QCOMPARE(dump(list), entries);
}

void TestNicList::atMostSixteenEntries()
{
    // 17 qualifying addresses over two interfaces: the 17th is dropped, and a later
    // interface gets nothing either.
    QStringList first;
    for (int i = 1; i <= 10; ++i)
        first << QStringLiteral("10.77.0.%1/24").arg(i);
    QStringList second;
    for (int i = 1; i <= 7; ++i)
        second << QStringLiteral("10.77.1.%1/24").arg(i);
    const NicList list({nic("a", first), nic("b", second), nic("c", {"10.77.2.1/24"})});
    QCOMPARE(list.Count(), 16);
    QHostAddress last;
    QVERIFY(list.GetIpAddress(15, last));
    QCOMPARE(last, QHostAddress("10.77.1.6"));
}

void TestNicList::gettersRefuseIndexesWithoutEntry_data()
{
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("readable");

    QTest::newRow("empty table, index 0") << 0 << 0 << false;
    QTest::newRow("index equal to Count") << 2 << 2 << false;
    QTest::newRow("full table, index 15") << 16 << 15 << true;
    QTest::newRow("full table, index 16") << 16 << 16 << false;
}

void TestNicList::gettersRefuseIndexesWithoutEntry()
{
    QFETCH(int, entries);
    QFETCH(int, index);
    QFETCH(bool, readable);

    QStringList addresses;
    for (int i = 0; i < entries; ++i)
        addresses << QStringLiteral("10.77.0.%1/24 10.77.0.255").arg(i + 1);
    const NicList list({nic("pc0", addresses)});
    QCOMPARE(list.Count(), entries);

    const QString untouched = QStringLiteral("untouched");
    const QHostAddress sentinel("10.77.99.99");
    QString name = untouched, display = untouched;
    QHostAddress ip = sentinel, bcast = sentinel;
    QCOMPARE(list.GetName(index, name), readable);
    QCOMPARE(list.GetDisplayName(index, display), readable);
    QCOMPARE(list.GetIpAddress(index, ip), readable);
    QCOMPARE(list.GetBroadcast(index, bcast), readable);
    if (readable) {
        QCOMPARE(name, QStringLiteral("pc0"));
        QCOMPARE(ip, QHostAddress(QStringLiteral("10.77.0.%1").arg(index + 1)));
        QCOMPARE(bcast, QHostAddress("10.77.0.255"));
    } else {
        QCOMPARE(name, untouched);
        QCOMPARE(display, untouched);
        QCOMPARE(ip, sentinel);
        QCOMPARE(bcast, sentinel);
    }
}

QTEST_GUILESS_MAIN(TestNicList)
#include "tst_niclist.moc"
