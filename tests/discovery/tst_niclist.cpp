// Which interface addresses the table takes, described through NicSource rather than
// the machine's real interfaces.
#include "engine/search/niclist.h"

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

// Entry `index` as "system name|display name|address|broadcast", read through the four
// getters. Each output starts as "-" (an address as 255.255.255.255), so a refused read,
// which must leave its output alone, shows as that; a mixed result as "mixed".
QString entryText(const NicList& list, int index)
{
    QString name = QStringLiteral("-"), display = name;
    QHostAddress ip(QHostAddress::Broadcast), bcast = ip;
    const int read = list.GetName(index, name) + list.GetDisplayName(index, display) +
                     list.GetIpAddress(index, ip) + list.GetBroadcast(index, bcast);
    if (read != 0 && read != 4)
        return QStringLiteral("mixed");
    return QStringList{name, display, ip.toString(), bcast.toString()}.join('|');
}

QStringList dump(const NicList& list)
{
    QStringList out;
    for (int i = 0; i < list.Count(); ++i)
        out << entryText(list, i);
    return out;
}
} // namespace

using NicSources = QList<NicSource>;

class TestNicList : public QObject {
    Q_OBJECT
private slots:
    void qualification_data();
    void qualification();
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

    // 17 qualifying addresses over two interfaces: the 17th is dropped, and a later
    // interface gets nothing either.
    QStringList first, second, sixteen;
    for (int i = 1; i <= 10; ++i)
        first << QStringLiteral("10.77.0.%1/24").arg(i);
    for (int i = 1; i <= 7; ++i)
        second << QStringLiteral("10.77.1.%1/24").arg(i);
    for (int i = 0; i < 16; ++i)
        sixteen << QStringLiteral("%1|Display %1|10.77.%2.%3|")
                       .arg(i < 10 ? "a" : "b")
                       .arg(i < 10 ? 0 : 1)
                       .arg(i < 10 ? i + 1 : i - 9);
    QTest::newRow("at most sixteen entries")
        << NicSources{nic("a", first), nic("b", second), nic("c", {"10.77.2.1/24"})} << sixteen;
}

void TestNicList::qualification()
{
    QFETCH(NicSources, sources);
    QFETCH(QStringList, entries);
    const NicList list(sources);
    QCOMPARE(list.Count(), entries.size());
    QCOMPARE(dump(list), entries);
    // Indexes without an entry are refused, the outputs left alone.
    const QString refused = QStringLiteral("-|-|255.255.255.255|255.255.255.255");
    QCOMPARE(entryText(list, list.Count()), refused);
    QCOMPARE(entryText(list, -1), refused);
}

QTEST_GUILESS_MAIN(TestNicList)
#include "tst_niclist.moc"
