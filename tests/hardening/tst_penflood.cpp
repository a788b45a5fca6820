// A stroke drawn while other hosts flood the pen-status port with garbage and with
// well-formed pen datagrams of their own: the stroke must arrive whole, nothing of the flood
// may reach the screen, memory must stay flat and the GUI thread must keep its timers.
// The figures (datagrams sent per second, records delivered, memory) are printed.
#include "common.h"
#include "hostilepeer.h"

#include "engine/inkbridge.h"
#include "support/recordinginjection.h"
#include "engine/injection/injectionrecords.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <set>

using namespace hardening;

namespace {
// The GUI thread's pulse: a 10 ms timer and the longest gap between its ticks.
class Pulse final {
public:
    Pulse()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (m_clock.isValid())
                m_longestGapMs = qMax(m_longestGapMs, m_clock.restart());
            else
                m_clock.start();
        });
        m_timer.start();
    }
    qint64 longestGapMs() const { return m_longestGapMs; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_longestGapMs = 0;
};

struct FrameCounts {
    int down = 0;
    int moved = 0;
    int up = 0;
    std::set<quint32> pointers;
};

FrameCounts countFrames(const RecordingInjectionBackend& devices)
{
    FrameCounts counts;
    for (const auto& frame : devices.touchFrames()) {
        for (const auto& contact : frame) {
            counts.pointers.insert(contact.pointerInfo.pointerId);
            const quint32 flags = contact.pointerInfo.pointerFlags;
            counts.down += flags == injection::FlagsTouchDown;
            counts.moved += flags == injection::FlagsDrag;
            counts.up += flags == injection::FlagsLift;
        }
    }
    return counts;
}
} // namespace

class TestPenFlood : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void strokeArrivesWholeThroughAFlood_data();
    void strokeArrivesWholeThroughAFlood();

private:
    QTemporaryDir m_config;
    QString m_adapter;
};

void TestPenFlood::initTestCase()
{
    QR_REQUIRE_NETNS();
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
    m_adapter = computerInterfaceName();
    QVERIFY(!m_adapter.isEmpty());
}

void TestPenFlood::strokeArrivesWholeThroughAFlood_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("rate");
    QTest::addColumn<bool>("whole"); // every record of the stroke must arrive

#ifdef QR_UNDER_SANITIZER
    const int rate = 10000; // the sanitizers slow the receiving side down several times
#else
    const int rate = 20000;
#endif
    // Four hosts together send far beyond anything a network carries by accident.
    QTest::newRow("garbage") << "garbage" << rate << true;
    QTest::newRow("pen datagrams of strangers") << "pens" << rate << true;
    // As fast as the sending core manages: the system may drop datagrams when the receiving
    // core falls behind, the projector's among them. Then nothing may stay pressed, nothing
    // of the strangers may reach the screen, and the program must not stall.
    QTest::newRow("both, unthrottled") << "mixed" << 0 << false;
}

void TestPenFlood::strokeArrivesWholeThroughAFlood()
{
    QFETCH(QString, kind);
    QFETCH(int, rate);
    QFETCH(bool, whole);

    NetnsProjector projector;
    QVERIFY2(projector.start({"--pen-script", "circle", "--pen-delay", "600"}),
             qPrintable(projector.errorString()));
    storeSettings(NetnsProjector::projectorAddress(), m_adapter);
    auto devices = std::make_shared<RecordingInjectionBackend>();
    Inkbridge controller(devices);
    controller.setNoTrayGracePeriod(60 * 60 * 1000);
    // A screen the size of the pen space: every record of the stroke is a pixel of its own.
    controller.pens().setScreenGeometry([] { return QRect(0, 0, 1280, 800); });
    controller.run();
    QTRY_VERIFY(controller.isConnected());
    QVERIFY(controller.pens().touchInjector());

    const qint64 residentBefore = hostile::residentKiB();
    const qint64 droppedBefore = hostile::udpReceiveBufferErrors();
    Pulse pulse;
    UdpBlaster blaster;
    UdpBlaster::Options flood;
    flood.netnsName = qEnvironmentVariable("QR_NETNS_PROJECTOR");
    flood.sources = NetnsProjector::projectorAddresses().mid(1);
    QVERIFY2(flood.sources.size() >= 4, "the pair needs extra projector addresses");
    flood.destination = NetnsProjector::computerAddress();
    flood.port = 8330;
    flood.ratePerSecond = rate;
    flood.durationMs = 2000;
    flood.payload = [kind](quint64 n) {
        const bool pen = kind == QLatin1String("pens") || (kind == QLatin1String("mixed") && n % 2);
        if (!pen)
            return hostile::garbage(n);
        // Pens 7 to 9 drawing over the whole pen space, several records per datagram.
        QByteArray datagram;
        for (quint64 i = 0; i <= n % 4; ++i)
            datagram += hostile::penRecord(7 + int((n + i) % 3), int(1 + (n + i) % 2),
                                           int((n * 37 + i) % 1280), int((n * 11) % 800));
        return datagram;
    };
    QVERIFY2(blaster.start(flood), qPrintable(blaster.error()));

    QVERIFY(projector.waitForLines("pen-done ", 1, 8000));
    QTRY_VERIFY_WITH_TIMEOUT(blaster.finished(), 8000);
    QTRY_COMPARE(controller.pens().touchInjector()->activeContactCount(), 0);
    const qint64 longestGap = pulse.longestGapMs();
    const qint64 residentAfter = hostile::residentKiB();
    const qint64 dropped = hostile::udpReceiveBufferErrors() - droppedBefore;

    // The stroke, record for record: one press, every move, one release, and only pen 1.
    int downs = 0, moves = 0, ups = 0;
    for (const QByteArray& record : sentPenRecords(projector)) {
        downs += record[7] == 1;
        moves += record[7] == 2;
        ups += record[7] == 0;
    }
    const FrameCounts got = countFrames(*devices);
    const double seconds = qMax<qint64>(blaster.elapsedMs(), 1) / 1000.0;
    qInfo("flood %s: %llu datagrams sent in %.2f s (%.0f/s, %llu refused by the sender's "
          "socket, %lld dropped by the receiving system); stroke records delivered %d of %d; "
          "longest GUI timer gap %lld ms; "
          "resident memory %lld KiB before, %lld KiB after, peak %lld KiB",
          qPrintable(kind), blaster.sent(), seconds, blaster.sent() / seconds, blaster.failed(),
          dropped, got.down + got.moved + got.up, downs + moves + ups, longestGap, residentBefore,
          residentAfter, hostile::peakResidentKiB());

    QVERIFY(blaster.sent() > 0);
    QCOMPARE(got.pointers, (std::set<quint32>{1}));
    if (whole) {
        QCOMPARE(got.down, downs);
        QCOMPARE(got.moved, moves);
        QCOMPARE(got.up, ups);
    } else {
        // Every press released again, by its up record or by the lost-up watchdog.
        QVERIFY(got.down >= 1);
        QCOMPARE(got.up, got.down);
    }
    // A hang shows as seconds; a busy machine as tens, at worst hundreds of milliseconds.
    QVERIFY2(longestGap < 1000, qPrintable(QString::number(longestGap)));
#ifndef QR_UNDER_SANITIZER
    // Freed buffers come back; only the sanitizers' quarantine keeps them.
    QVERIFY2(residentAfter - residentBefore < 16 * 1024,
             qPrintable(QStringLiteral("%1 KiB more").arg(residentAfter - residentBefore)));
#endif
}

int main(int argc, char** argv)
{
    // One debug line per dropped datagram would measure the terminal, not the program; the
    // environment's rules win over any set later, so they are replaced before the start.
    qputenv("QT_LOGGING_RULES", "quillrelay.*.debug=true;quillrelay.pen.debug=false;"
                                "quillrelay.inject.debug=false");
    QApplication app(argc, argv);
    TestPenFlood test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_penflood.moc"
