#include "app/eventwait.h"
#include "app/pendispatch.h"
#include "injectiontest.h"
#include "support/logcapture.h"

#include <QFile>
#include <QTest>

using namespace injection;

namespace {

struct Rig {
    std::shared_ptr<RecordingInjectionBackend> backend =
        std::make_shared<RecordingInjectionBackend>();
    std::shared_ptr<MonotonicClock> clock;
    std::unique_ptr<PenDispatch> dispatch;
    QRect screen{0, 0, 1280, 800}; // pen units and pixels coincide

    explicit Rig(std::shared_ptr<MonotonicClock> c = std::make_shared<ManualClock>())
        : clock(std::move(c))
    {
        dispatch = std::make_unique<PenDispatch>(backend, clock);
        dispatch->setScreenGeometry([this] { return screen; });
    }
    ManualClock& manual() { return static_cast<ManualClock&>(*clock); }
};

} // namespace

class TestPenDispatch : public QObject {
    Q_OBJECT
private slots:
    void mapsPenSpaceOntoTheScreensImage_data();
    void mapsPenSpaceOntoTheScreensImage();
    void routesByButtonAndPenMode_data();
    void routesByButtonAndPenMode();
    void lonePenDownIsReleasedByTheWatchdog_data();
    void lonePenDownIsReleasedByTheWatchdog();
    void watchdogChecksTheInjectorOfTheCurrentMode();
    void earlyWatchdogLooksAgain();
    void silentPenIsReleasedWhileAnotherPenKeepsWriting();
    void touchInjectorIsCreatedOnce();
    void platformTouchDeviceFailsCleanlyWithoutTouchInjection();
};

void TestPenDispatch::mapsPenSpaceOntoTheScreensImage_data()
{
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QPoint>("pen");
    QTest::addColumn<bool>("inside");
    QTest::addColumn<QPoint>("pixel");
    const QRect s1280(0, 0, 1280, 800), s1920(0, 0, 1920, 1080), s1024(0, 0, 1024, 768),
        s1366(0, 0, 1366, 768), right(1920, 0, 1920, 1080);
    QTest::newRow("1280x800 centre") << s1280 << QPoint(640, 400) << true << QPoint(640, 400);
    QTest::newRow("1280x800 last") << s1280 << QPoint(1279, 799) << true << QPoint(1279, 799);
    QTest::newRow("1280x800 x=1280") << s1280 << QPoint(1280, 0) << false << QPoint();
    QTest::newRow("1920x1080 centre") << s1920 << QPoint(640, 400) << true << QPoint(960, 540);
    QTest::newRow("1920x1080 first") << s1920 << QPoint(6, 44) << true << QPoint(0, 0);
    QTest::newRow("1920x1080 last") << s1920 << QPoint(1272, 755) << true << QPoint(1918, 1078);
    QTest::newRow("1920x1080 left margin") << s1920 << QPoint(5, 400) << false << QPoint();
    QTest::newRow("1920x1080 right margin") << s1920 << QPoint(1273, 400) << false << QPoint();
    QTest::newRow("1920x1080 top margin") << s1920 << QPoint(640, 43) << false << QPoint();
    QTest::newRow("1920x1080 bottom margin") << s1920 << QPoint(640, 756) << false << QPoint();
    QTest::newRow("1024x768 centre") << s1024 << QPoint(640, 400) << true << QPoint(512, 384);
    QTest::newRow("1024x768 last") << s1024 << QPoint(1171, 798) << true << QPoint(1023, 767);
    QTest::newRow("1024x768 left margin") << s1024 << QPoint(107, 400) << false << QPoint();
    QTest::newRow("1024x768 right margin") << s1024 << QPoint(1172, 400) << false << QPoint();
    QTest::newRow("1366x768 centre") << s1366 << QPoint(640, 400) << true << QPoint(683, 384);
    QTest::newRow("primary at left 1920") << right << QPoint(640, 400) << true << QPoint(2880, 540);
    QTest::newRow("posx -1 (FF FF)") << s1280 << QPoint(-1, 400) << false << QPoint();
    QTest::newRow("posy -1 (FF FF)") << s1920 << QPoint(640, -1) << false << QPoint();
    QTest::newRow("screen too wide: scale 0")
        << QRect(0, 0, 130000, 1000) << QPoint(640, 400) << false << QPoint();
    QTest::newRow("screen too high: scale 0")
        << QRect(0, 0, 1000, 90000) << QPoint(640, 400) << false << QPoint();
    QTest::newRow("no screen") << QRect() << QPoint(640, 400) << false << QPoint();
}

void TestPenDispatch::mapsPenSpaceOntoTheScreensImage()
{
    QFETCH(QRect, screen);
    QFETCH(QPoint, pen);
    QFETCH(bool, inside);
    QFETCH(QPoint, pixel);
    QPoint point = pen;
    QCOMPARE(PenDispatch::mapPenToScreen(point, screen), inside);
    QCOMPARE(point, inside ? pixel : pen);
}

void TestPenDispatch::routesByButtonAndPenMode_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("withTouch"); // a touch injector was created
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<int>("button");
    QTest::addColumn<QPoint>("pen");
    QTest::addColumn<QStringList>("sent");  // touch frames, then mouse records
    QTest::addColumn<QStringList>("lines"); // pen and injection diagnostics
    // Pen 1 is down already, in the mode under test; then one event of pen 1 at `pen`.
    const QRect s1280(0, 0, 1280, 800), right(1920, 0, 1920, 1080);
    const QPoint centre(640, 400);
    const QStringList none;
    QTest::newRow("touch, down") << 0 << true << s1280 << 1 << centre
                                 << QStringList{"1 hover 640,400", "1 down 640,400"} << none;
    QTest::newRow("touch, move") << 0 << true << s1280 << 2 << QPoint(650, 410)
                                 << QStringList{"1 drag 650,410 area@640,400"} << none;
    QTest::newRow("touch, up") << 0 << true << s1280 << 0 << centre
                               << QStringList{"1 lift 640,400", "1 leave 640,400"} << none;
    QTest::newRow("touch, button 3") << 0 << true << s1280 << 3 << centre << none << none;
    QTest::newRow("touch, out of range: logged, dropped")
        << 0 << true << s1280 << 1 << QPoint(-1, 400) << none
        << QStringList{"penStatus[id=1, button=1, posx=-1, posy=400(Out of Range!)]"};
    QTest::newRow("touch without a touch injector: dropped")
        << 0 << false << s1280 << 2 << centre << none << none;
    QTest::newRow("touch, primary at left 1920")
        << 0 << true << right << 1 << centre << QStringList{"1 hover 2880,540", "1 down 2880,540"}
        << none;
    QTest::newRow("mouse, down") << 1 << true << s1280 << 1 << centre
                                 << QStringList{"move 32767,32767", "down"} << none;
    QTest::newRow("mouse, move") << 1 << true << s1280 << 2 << centre
                                 << QStringList{"move 32767,32767"} << none;
    QTest::newRow("mouse, up") << 1 << true << s1280 << 0 << centre << QStringList{"up"} << none;
    QTest::newRow("mouse, button 3") << 1 << true << s1280 << 3 << centre << none << none;
    QTest::newRow("mouse, primary at left 1920")
        << 1 << true << right << 2 << centre << QStringList{"move 32767,32767"} << none;
    QTest::newRow("any mode but 0 is mouse")
        << 7 << true << s1280 << 0 << centre << QStringList{"up"} << none;
}

void TestPenDispatch::routesByButtonAndPenMode()
{
    QFETCH(int, mode);
    QFETCH(bool, withTouch);
    QFETCH(QRect, screen);
    QFETCH(int, button);
    QFETCH(QPoint, pen);
    QFETCH(QStringList, sent);
    QFETCH(QStringList, lines);
    Rig rig;
    rig.screen = screen;
    if (withTouch)
        QVERIFY(rig.dispatch->createTouchInjector());
    rig.dispatch->setPenMode(mode);
    rig.dispatch->penStatus(1, 1, 640, 400);
    rig.backend->clearRecords();
    LogCapture log;

    rig.dispatch->penStatus(1, button, pen.x(), pen.y());
    QCOMPARE(describe(rig.backend->touchFrames()) + describe(rig.backend->mouseInputs()), sent);
    QCOMPARE(log.lines("quillrelay.pen") + log.lines("quillrelay.inject"), lines);
    QVERIFY(rig.dispatch->lostEventTimer.isActive()); // whatever the event
}

void TestPenDispatch::lonePenDownIsReleasedByTheWatchdog_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("sent"); // touch frames, then mouse records
    QTest::newRow("touch") << int(PEN_MODE_TOUCH)
                           << QStringList{"1 hover 640,400", "1 down 640,400", "1 lift 640,400",
                                          "1 leave 640,400"};
    QTest::newRow("mouse") << int(PEN_MODE_MOUSE) << QStringList{"move 32767,32767", "down", "up"};
}

void TestPenDispatch::lonePenDownIsReleasedByTheWatchdog()
{
    // The real timer and the real clock: a pen down followed by nothing is released by the
    // watchdog on its own, about 90 ms later.
    QFETCH(int, mode);
    QFETCH(QStringList, sent);
    Rig rig(makeSteadyClock());
    rig.dispatch->createTouchInjector();
    rig.dispatch->setPenMode(mode);
    LogCapture log;
    QElapsedTimer elapsed;
    elapsed.start();
    rig.dispatch->penStatus(1, 1, 640, 400);

    EventWait wait(2000, 20);
    wait.wakeOn(&rig.dispatch->lostEventTimer, &QTimer::timeout);
    QVERIFY(wait.waitUntil([&] { return log.contains(" -->Lost Up event!!"); }));
    QVERIFY(elapsed.elapsed() >= 90);
    QCOMPARE(rig.dispatch->lostEventTimer.interval(), 90);
    QCOMPARE(describe(rig.backend->touchFrames()) + describe(rig.backend->mouseInputs()), sent);
    QCOMPARE(rig.dispatch->mouseInjector().heldPenCount(), 0);
    QCOMPARE(rig.dispatch->touchInjector()->activeContactCount(), 0);
    QVERIFY(!rig.dispatch->lostEventTimer.isActive());
}

void TestPenDispatch::watchdogChecksTheInjectorOfTheCurrentMode()
{
    // Pens pressed in one mode are only released by that mode's injector; after a switch
    // the watchdog serves the new mode.
    Rig rig;
    rig.dispatch->createTouchInjector();
    rig.dispatch->penStatus(1, 1, 640, 400); // touch
    rig.dispatch->setPenMode(PEN_MODE_MOUSE);
    rig.dispatch->penStatus(2, 1, 640, 400); // mouse
    rig.manual().advance(90);
    rig.backend->clearRecords();

    rig.dispatch->chkLostUpEventsProc();
    QCOMPARE(rig.dispatch->mouseInjector().heldPenCount(), 0);
    QCOMPARE(rig.dispatch->touchInjector()->activeContactCount(), 1);
    QVERIFY(rig.backend->touchFrames().isEmpty());

    rig.dispatch->setPenMode(PEN_MODE_TOUCH);
    rig.dispatch->chkLostUpEventsProc();
    QCOMPARE(rig.dispatch->touchInjector()->activeContactCount(), 0);
    QVERIFY(!rig.dispatch->lostEventTimer.isActive());
}

void TestPenDispatch::earlyWatchdogLooksAgain()
{
    // Windows timers may fire a tick before the steady clock reaches 90 ms.
    Rig rig;
    rig.dispatch->setPenMode(PEN_MODE_MOUSE);
    rig.dispatch->penStatus(1, 1, 640, 400);
    rig.manual().advance(89);
    rig.dispatch->chkLostUpEventsProc();
    QCOMPARE(rig.dispatch->mouseInjector().heldPenCount(), 1);
    QVERIFY(rig.dispatch->lostEventTimer.isActive());
    rig.manual().advance(1);
    rig.dispatch->chkLostUpEventsProc();
    QCOMPARE(rig.dispatch->mouseInjector().heldPenCount(), 0);
    QVERIFY(!rig.dispatch->lostEventTimer.isActive());
}

void TestPenDispatch::silentPenIsReleasedWhileAnotherPenKeepsWriting()
{
    // Pen 1's up record is lost while pen 2 keeps writing, so the watchdog never fires:
    // pen 1 must still be released once it has been silent for 90 ms, not when pen 2 stops.
    Rig rig;
    rig.dispatch->createTouchInjector();
    rig.dispatch->penStatus(1, 1, 100, 100);
    rig.dispatch->penStatus(2, 1, 600, 400);
    for (int i = 0; i < 2; ++i) {
        rig.manual().advance(30);
        rig.dispatch->penStatus(2, 2, 600 + i, 400);
    }
    QCOMPARE(rig.dispatch->touchInjector()->activeContactCount(), 2); // pen 1 is 60 ms silent
    LogCapture log;
    rig.backend->clearRecords();

    rig.manual().advance(30);
    rig.dispatch->penStatus(2, 2, 610, 400);
    QCOMPARE(log.count(" -->Lost Up event!!"), 1);
    // Lift and leave of pen 1 (with pen 2 dragging), then pen 2's own move, alone.
    QCOMPARE(describe(rig.backend->touchFrames()),
             QStringList({"1 lift 100,100, 2 drag 601,400 area@600,400",
                          "1 leave 100,100, 2 drag 601,400 area@600,400",
                          "2 drag 610,400 area@600,400"}));
}

void TestPenDispatch::touchInjectorIsCreatedOnce()
{
    Rig rig;
    QVERIFY(rig.dispatch->createTouchInjector());
    TouchInjection* first = rig.dispatch->touchInjector();
    QVERIFY(rig.dispatch->createTouchInjector());
    QCOMPARE(rig.dispatch->touchInjector(), first);
    QCOMPARE(rig.backend->touchDeviceCount(), 1);
    rig.dispatch->destroyTouchInjector();
    QVERIFY(!rig.dispatch->touchInjector());

    rig.backend->setTouchOpenResult(false, QStringLiteral("Touch input unavailable: test"));
    LogCapture log;
    QVERIFY(!rig.dispatch->createTouchInjector());
    QCOMPARE(log.lines("quillrelay.inject"), QStringList{"Touch input unavailable: test"});
}

void TestPenDispatch::platformTouchDeviceFailsCleanlyWithoutTouchInjection()
{
    // Linux without /dev/uinput, or Windows without the user32 entry points, as under Wine
    // (where the Windows build's tests run).
    if (QFile::exists(QStringLiteral("/dev/uinput")))
        QSKIP("this system has /dev/uinput; the uinput tests run in the VM test instead");
    LogCapture log;
    PenDispatch dispatch;
    dispatch.setScreenGeometry([] { return QRect(0, 0, 1920, 1080); });
    QVERIFY(!dispatch.touchInjectionAvailable());
    QVERIFY(!dispatch.createTouchInjector());
    const QStringList lines = log.lines("quillrelay.inject");
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines[0].startsWith(QLatin1String("Touch input unavailable: ")), qPrintable(lines[0]));
    dispatch.penStatus(1, 1, 640, 400); // dropped, no crash
}

QTEST_MAIN(TestPenDispatch)
#include "tst_pendispatch.moc"
