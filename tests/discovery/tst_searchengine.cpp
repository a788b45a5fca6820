// The search engine's bookkeeping that needs no network: refused starts and the found list.
// Nothing here binds or sends: every StartSearch() below fails its interface check.
#include "engine/search/pjsearchudp.h"
#include "protocol/searchpacket.h"
#include "support/logcapture.h"

#include <QTest>

using AddressList = QList<QHostAddress>;

class TestSearchEngine : public QObject {
    Q_OBJECT
private slots:
    void refusedStart_data();
    void refusedStart();
    void foundListKeepsFirstOfEachIpv4Address();
};

void TestSearchEngine::refusedStart_data()
{
    QTest::addColumn<AddressList>("targets");
    QTest::addColumn<int>("command");
    QTest::addColumn<bool>("listEmptied");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("broadcast, no targets") << AddressList{} << int(SRCH_CMD_BROADCAST) << true
                                           << QStringList{"####NIC Error!!", "    NIC Count = 0"};
    QTest::newRow("unicast, own address 0.0.0.0")
        << AddressList{QHostAddress("0.0.0.0"), QHostAddress("10.77.0.2")} << int(SRCH_CMD_UNICAST)
        << false
        << QStringList{"####NIC Error!!", "    NIC Count = 2", "    My IP Address 0.0.0.0"};
    QTest::newRow("unicast, own address IPv6")
        << AddressList{QHostAddress("fe80::1")} << int(SRCH_CMD_UNICAST) << false
        << QStringList{"####NIC Error!!", "    NIC Count = 1", "    My IP Address fe80::1"};
}

void TestSearchEngine::refusedStart()
{
    QFETCH(AddressList, targets);
    QFETCH(int, command);
    QFETCH(bool, listEmptied);
    QFETCH(QStringList, lines);

    PJSearchUdp engine(nullptr, SEARCH_APP_FLAG, targets);
    engine.AddPJListItem(QHostAddress("10.77.0.9"), QStringLiteral("earlier"), 0);
    LogCapture log;
    QVERIFY(!engine.StartSearch(command));
    QVERIFY(!engine.IsSearching());
    QCOMPARE(engine.SeqNo(), quint16(0));
    QCOMPARE(engine.SearchMode(), 0);
    QCOMPARE(engine.PJListCount(), listEmptied ? 0 : 1);
    QCOMPARE(log.lines("quillrelay.search"), lines);
}

void TestSearchEngine::foundListKeepsFirstOfEachIpv4Address()
{
    PJSearchUdp engine(nullptr, SEARCH_APP_FLAG, {});
    // A dual-stack socket reports senders IPv4-mapped: the same projector either way.
    engine.AddPJListItem(QHostAddress("::ffff:10.77.0.5"), QStringLiteral("first"), 1);
    engine.AddPJListItem(QHostAddress("10.77.0.5"), QStringLiteral("second"), 2);
    engine.AddPJListItem(QHostAddress("10.77.0.6"), QString(), 0xFF);
    engine.AddPJListItem(QHostAddress("::ffff:10.77.0.6"), QStringLiteral("late"), 3);
    QCOMPARE(engine.PJListCount(), 2);

    PJListItem item;
    QVERIFY(engine.GetPJListItem(0, item));
    QCOMPARE(item.Name, QStringLiteral("first"));
    QCOMPARE(item.Status, 1u);
    QCOMPARE(item.Address.toString(), QStringLiteral("10.77.0.5")); // dotted, as listed
    QVERIFY(engine.GetPJListItem(1, item));
    QCOMPARE(item.Name, QString());
    QCOMPARE(item.Status, 0xFFu);
    QCOMPARE(item.Address.toString(), QStringLiteral("10.77.0.6"));
    QVERIFY(!engine.GetPJListItem(2, item)); // index == PJListCount()
    QCOMPARE(item.Name, QString());          // left as it was
}

QTEST_GUILESS_MAIN(TestSearchEngine)
#include "tst_searchengine.moc"
