// The search engine on a real wire: the test runs in the computer namespace of a namespace
// pair (10.77.0.1/24, broadcast 10.77.0.255) and the projector simulator answers from the
// projector namespace. What reached the projectors is read from the simulator's lines.
#include "core/eventwait.h"
#include "core/logging.h"
#include "engine/search/niclist.h"
#include "engine/search/pjsearchudp.h"
#include "protocol/searchpacket.h"
#include "support/logcapture.h"
#include "support/netnsprojector.h"

#include <QDateTime>
#include <QLoggingCategory>
#include <QSet>
#include <QTest>
#include <QUdpSocket>
#include <QtEndian>

namespace {
const QHostAddress Own("10.77.0.1");
const QHostAddress Broadcast("10.77.0.255");

// One "search-rx LOCAL FROM:PORT cmd=N seq=N HEX" line of the simulator.
struct Received {
    QString local; // the projector address it arrived at, or the broadcast/any address
    QString from;  // "10.77.0.1:5320"
    quint32 cmd = 0;
    int seq = -1;
    QByteArray bytes;
};

// What the simulator received, all of it or only the datagrams with CommandID `cmd`.
QList<Received> received(const NetnsProjector& sim, int cmd = -1)
{
    QList<Received> out;
    for (const QString& line : sim.lines(QStringLiteral("search-rx "))) {
        const QStringList f = line.split(QLatin1Char(' '));
        if (f.size() < 5)
            continue;
        const Received r{f.at(1), f.at(2), f.at(3).mid(4).toUInt(), f.at(4).mid(4).toInt(),
                         QByteArray::fromHex(f.mid(5).join(QString()).toLatin1())};
        if (cmd < 0 || r.cmd == quint32(cmd))
            out << r;
    }
    return out;
}

// The found list, one "address" per item, or with `details` "address name status" (hex),
// sorted.
QStringList found(const PJSearchUdp& engine, bool details = false)
{
    QStringList out;
    for (int i = 0; i < engine.PJListCount(); ++i) {
        PJListItem item;
        if (!engine.GetPJListItem(i, item))
            out << QStringLiteral("unreadable %1").arg(i);
        else if (details)
            out << QStringLiteral("%1 %2 %3")
                       .arg(item.Address.toString(), item.Name)
                       .arg(item.Status, 0, 16);
        else
            out << item.Address.toString();
    }
    if (details)
        out.sort();
    return out;
}

// The engine has no signals: the wait looks again every 50 ms while the event loop idles.
bool waitForSearchEnd(const PJSearchUdp& engine, int timeoutMs = 5000)
{
    EventWait wait(timeoutMs, 50);
    return wait.waitUntil([&] { return !engine.IsSearching(); });
}

// Lets the event loop deliver what is still in flight for `ms`.
void settle(int ms)
{
    EventWait wait(ms, ms);
    wait.waitUntil([] { return false; });
}

// Switches the search diagnostics off while it exists, where their volume would only bury
// a failure. (Filter rules cannot do it: QT_LOGGING_RULES, set by ctest, overrides them.)
class QuietSearchLog final {
public:
    QuietSearchLog() { category().setEnabled(QtDebugMsg, false); }
    ~QuietSearchLog() { category().setEnabled(QtDebugMsg, m_was); }
    Q_DISABLE_COPY_MOVE(QuietSearchLog)

private:
    static QLoggingCategory& category() { return const_cast<QLoggingCategory&>(lcSearch()); }
    const bool m_was = lcSearch().isDebugEnabled();
};

QString projectorAddress(int n)
{
    return NetnsProjector::projectorAddresses().value(n);
}
} // namespace

class TestSearchNet : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void interfaceTableSeesTheTestInterface();
    void broadcastSearch();
    void fiftyProjectorsAnsweringAtOnceAreAllFound();
    void addressSearchSendsOnceEachAndRejectsOthers();
    void notificationsAddWithoutAcceptance();
    void laterSearchWrapsItsNumberAndTakesANewTargetList();
    void unsendableTargetIsReportedAndSearchGoesOn();

private:
    NetnsProjector m_sim;
};

void TestSearchNet::init()
{
    QR_REQUIRE_NETNS();
}

void TestSearchNet::cleanup()
{
    m_sim.stop();
}

void TestSearchNet::interfaceTableSeesTheTestInterface()
{
    // The namespace has the loopback (127.0.0.1, left out) and the veth end.
    const NicList nics;
    QCOMPARE(nics.Count(), 1);
    QString name;
    QHostAddress ip, bcast;
    QVERIFY(nics.GetName(0, name) && nics.GetIpAddress(0, ip) && nics.GetBroadcast(0, bcast));
    QCOMPARE(QStringList({name, ip.toString(), bcast.toString()}),
             QStringList({"pc0", "10.77.0.1", "10.77.0.255"}));
}

void TestSearchNet::broadcastSearch()
{
    // Three projectors: a plain one, one whose HostIp names another address, one with an
    // empty HostIp.
    const QString pj = projectorAddress(0), other = projectorAddress(1),
                  empty = projectorAddress(2), elsewhere = QStringLiteral("10.77.0.60");
    QVERIFY2(m_sim.start({"--projector", pj + ",name=Hall,status=0x30", "--projector",
                          other + ",hostip=" + elsewhere, "--projector", empty + ",hostip="}),
             qPrintable(m_sim.errorString()));
    LogCapture log;
    PJSearchUdp engine(nullptr, SEARCH_APP_FLAG, {Own, Broadcast});
    const quint32 before = quint32(QDateTime::currentMSecsSinceEpoch());
    QVERIFY(engine.StartSearch(SRCH_CMD_BROADCAST));
    const quint32 after = quint32(QDateTime::currentMSecsSinceEpoch());
    QVERIFY(waitForSearchEnd(engine));
    QVERIFY(m_sim.waitForLines("search-accept", 12));
    settle(200); // a fifth request, if any, would show up now

    // Four identical requests to the broadcast address, from port 5320.
    const QList<Received> requests = received(m_sim, SRCH_CMD_BROADCAST);
    QCOMPARE(requests.size(), 4);
    for (const Received& r : requests) {
        QVERIFY2(!NetnsProjector::projectorAddresses().contains(r.local),
                 "sent to a projector, not the broadcast address");
        QCOMPARE(r.from, QStringLiteral("10.77.0.1:5320"));
        QCOMPARE(r.bytes, requests.first().bytes);
    }
    const QByteArray& request = requests.first().bytes;
    QCOMPARE(request.size(), 128);
    QCOMPARE(request.first(12).toHex(), QByteArray("5a5256581300000001007000"));
    const quint32 stamp = qFromLittleEndian<quint32>(request.constData() + 12);
    QVERIFY2(stamp - before <= after - before, "TimeStamp not taken at the start");
    QCOMPARE(request.sliced(16, 12).toHex(), QByteArray("020000000000000000000001"));
    QCOMPARE(request.sliced(28), QByteArray(100, '\0'));

    // Every broadcast comes back to the computer itself and must not be taken for a reply.
    // A request sent to the computer's own address would come back the same way: four
    // echoes for four broadcasts mean that none was.
    QCOMPARE(log.count("##echo##:hostip() : 10.77.0.1"), 4);

    // Each of the twelve replies is answered with the request, CommandID 5.
    QByteArray acceptance = request;
    acceptance[16] = char(SRCH_CMD_ACCEPT);
    QMap<QString, int> acceptedAt;
    for (const Received& a : received(m_sim, SRCH_CMD_ACCEPT)) {
        ++acceptedAt[a.local];
        QCOMPARE(a.from, QStringLiteral("10.77.0.1:5320"));
        QCOMPARE(a.bytes.toHex(), acceptance.toHex());
    }
    QCOMPARE(acceptedAt, (QMap<QString, int>{{pj, 4}, {other, 4}, {empty, 4}}));

    // Each projector once, the echo not at all; a HostIp that differs from the sender gives
    // two items, HostIp first; an empty one only the sender.
    const QStringList list = found(engine);
    QCOMPARE(list.size(), 4);
    QVERIFY2(list.indexOf(elsewhere) >= 0 && list.indexOf(elsewhere) + 1 == list.indexOf(other),
             qPrintable(list.join(' ')));
    QVERIFY(list.contains(empty));
    QVERIFY(found(engine, true).contains(pj + " Hall 30"));
}

void TestSearchNet::fiftyProjectorsAnsweringAtOnceAreAllFound()
{
    const QStringList addresses = NetnsProjector::projectorAddresses().mid(0, 50);
    QCOMPARE(addresses.size(), 50);
    QStringList options;
    for (int i = 0; i < addresses.size(); ++i)
        options << "--projector" << QStringLiteral("%1,name=会議室%2").arg(addresses[i]).arg(i);
    QVERIFY2(m_sim.start(options), qPrintable(m_sim.errorString()));

    PJSearchUdp engine(nullptr, SEARCH_APP_FLAG, {Own, Broadcast});
    {
        const QuietSearchLog quiet; // 200 replies, thousands of lines
        QVERIFY(engine.StartSearch(SRCH_CMD_BROADCAST));
        QVERIFY(waitForSearchEnd(engine));
    }

    QStringList expected;
    for (int i = 0; i < addresses.size(); ++i)
        expected << QStringLiteral("%1 会議室%2 0").arg(addresses[i]).arg(i);
    expected.sort();
    QCOMPARE(found(engine, true), expected);
    // Every projector was answered with an acceptance.
    QVERIFY(m_sim.waitForLines("search-accept", 50));
    QSet<QString> accepted;
    for (const Received& a : received(m_sim, SRCH_CMD_ACCEPT))
        accepted.insert(a.local);
    QCOMPARE(accepted.size(), 50);
}

void TestSearchNet::addressSearchSendsOnceEachAndRejectsOthers()
{
    const QStringList pj = NetnsProjector::projectorAddresses().mid(0, 4);
    QStringList options;
    for (const QString& a : pj)
        options << "--projector" << a;
    QVERIFY2(m_sim.start(options), qPrintable(m_sim.errorString()));

    LogCapture log;
    PJSearchUdp engine(nullptr, SEARCH_APP_FLAG,
                       {Own, QHostAddress(pj[0]), QHostAddress(pj[1]), QHostAddress(pj[2])});
    QVERIFY(engine.StartSearch(SRCH_CMD_UNICAST));
    // The fourth projector is asked by someone else on the computer; its reply comes to
    // port 5320 all the same, with this search's number, but from outside the list.
    QByteArray stray = newSearchRequest();
    fillSearchRequest(stray, engine.SeqNo(), 0, SEARCH_APP_FLAG, SRCH_CMD_UNICAST);
    QUdpSocket other;
    QCOMPARE(other.writeDatagram(stray, QHostAddress(pj[3]), SEARCH_PORT), qint64(128));
    QVERIFY(m_sim.waitForLines("search-tx", 4));
    QVERIFY(waitForSearchEnd(engine));

    QMap<QString, int> perTarget;
    for (const Received& r : received(m_sim, SRCH_CMD_UNICAST)) {
        if (r.from == QLatin1String("10.77.0.1:5320"))
            ++perTarget[r.local];
    }
    QCOMPARE(perTarget, (QMap<QString, int>{{pj[0], 1}, {pj[1], 1}, {pj[2], 1}}));
    QStringList list = found(engine);
    list.sort();
    QCOMPARE(list, pj.mid(0, 3));
    QCOMPARE(log.count("SearchAckDataCheck : (05) Unicast Check..."), 4);
    QCOMPARE(log.count("SearchAckDataCheck : (06) Unicast         [OK]"), 3);
    QCOMPARE(received(m_sim, SRCH_CMD_ACCEPT).size(), 0);
}

void TestSearchNet::notificationsAddWithoutAcceptance()
{
    QVERIFY2(m_sim.start({"--projector", projectorAddress(0) + ",silent,status=0x1234,name=Hall",
                          "--notify", Own.toString(), "--notify-interval", "100"}),
             qPrintable(m_sim.errorString()));
    LogCapture log;
    // A search with no destinations: it only listens, until its first tick at 500 ms.
    PJSearchUdp engine(nullptr, SEARCH_APP_FLAG, {Own});
    QVERIFY(engine.StartSearch(SRCH_CMD_UNICAST));
    // Meanwhile 150 notifications from the computer itself queue up before the engine gets
    // to read any of them (as many as the socket's default receive buffer holds): each one
    // is evaluated, the later ones in later rounds of the event loop.
    QUdpSocket sender;
    QVERIFY(sender.bind(QHostAddress::LocalHost, 0));
    QByteArray notification(100, '\0');
    qToLittleEndian<quint32>(SRCH_CMD_NOTIFY, notification.data() + 16);
    for (int i = 0; i < 150; ++i) {
        notification.replace(96, 4, QByteArray::number(1000 + i));
        QCOMPARE(sender.writeDatagram(notification, QHostAddress::LocalHost, SEARCH_PORT),
                 qint64(100));
    }
    QVERIFY(waitForSearchEnd(engine));

    // One item per sender: the first notification's name stays; the simulator's status.
    QVERIFY(log.count("##### SearchAckDataCheck : ack->CommandID == SRCH_CMD_NOTIFY") > 150);
    QCOMPARE(
        found(engine, true),
        QStringList({QStringLiteral("%1 Hall 1234").arg(projectorAddress(0)), "127.0.0.1 1000 0"}));
    settle(100);
    QCOMPARE(received(m_sim).size(), 0); // no request, and no acceptance
}

void TestSearchNet::laterSearchWrapsItsNumberAndTakesANewTargetList()
{
    const QString pj = projectorAddress(0);
    QVERIFY2(m_sim.start({"--projector", pj}), qPrintable(m_sim.errorString()));
    PJSearchUdp engine(nullptr, SEARCH_APP_FLAG, {Own});
    {
        const QuietSearchLog quiet;
        // 65535 searches that send nothing: they have no destinations.
        for (int i = 0; i < 65535; ++i) {
            QVERIFY(engine.StartSearch(SRCH_CMD_UNICAST));
            engine.Stop();
        }
    }
    QCOMPARE(engine.SeqNo(), quint16(65535));
    engine.SetIpList({Own, Broadcast});
    QVERIFY(engine.StartSearch(SRCH_CMD_BROADCAST));
    QCOMPARE(engine.SeqNo(), quint16(0));
    // A new list during the search: the first request went to the broadcast address, the
    // three left go to the new target.
    engine.SetIpList({Own, QHostAddress(pj)});
    QVERIFY(waitForSearchEnd(engine));

    QStringList requests;
    for (const Received& r : received(m_sim, SRCH_CMD_BROADCAST))
        requests
            << QStringLiteral("%1 seq=%2").arg(r.local == pj ? "projector" : "other").arg(r.seq);
    QCOMPARE(requests,
             QStringList({"other seq=0", "projector seq=0", "projector seq=0", "projector seq=0"}));
    QCOMPARE(found(engine), QStringList{pj}); // its replies with SeqNo 0 matched
}

void TestSearchNet::unsendableTargetIsReportedAndSearchGoesOn()
{
    // An interface without a broadcast address (point-to-point) gives a null target; sent
    // as it is, the request would come back to the engine as if a projector had answered.
    LogCapture log;
    PJSearchUdp engine(nullptr, SEARCH_APP_FLAG, {Own, QHostAddress()});
    QVERIFY(engine.StartSearch(SRCH_CMD_BROADCAST));
    QVERIFY(waitForSearchEnd(engine));
    QCOMPARE(log.count("############################UDPSend Error!!  = "), 4);
    QCOMPARE(log.count("Receive Data Count = 128"), 0);
    QCOMPARE(engine.PJListCount(), 0);
}

QTEST_GUILESS_MAIN(TestSearchNet)
#include "tst_searchnet.moc"
