#include "app/eventwait.h"
#include "app/pendispatch.h"
#include "injection/injectionbackend_recording.h"
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
    QRect screen{0, 0, 1920, 1080};

    explicit Rig(std::shared_ptr<MonotonicClock> c = std::make_shared<ManualClock>())
        : clock(std::move(c))
    {
        dispatch = std::make_unique<PenDispatch>(backend, clock);
        dispatch->setScreenGeometry([this] { return screen; });
    }
    ManualClock& manual() { return static_cast<ManualClock&>(*clock); }
    QPoint touchPoint(int frame, int record = 0) const
    {
        const auto& p = backend->touchFrames().at(frame).at(size_t(record)).pointerInfo;
        return {p.ptPixelLocation.x, p.ptPixelLocation.y};
    }
    quint32 touchFlags(int frame, int record = 0) const
    {
        return backend->touchFrames().at(frame).at(size_t(record)).pointerInfo.pointerFlags;
    }
};

} // namespace

class TestPenDispatch : public QObject {
    Q_OBJECT
private slots:
    void mapsPenSpaceOntoTheScreensImage_data();
    void mapsPenSpaceOntoTheScreensImage();
    void routesByButtonAndPenMode_data();
    void routesByButtonAndPenMode();
    void outOfRangeIsLoggedAndStillRestartsTheWatchdog();
    void primaryScreenOffsetReachesBothInjectors();
    void touchModeWithoutTouchInjectorDropsEvents();
    void watchdogIsAPreciseRepeating90msTimer();
    void lonePenDownIsReleasedByTheWatchdog_data();
    void lonePenDownIsReleasedByTheWatchdog();
    void watchdogChecksTheInjectorOfTheCurrentMode();
    void silentPenIsReleasedWhileAnotherPenKeepsWriting();
    void touchInjectorIsCreatedOnce();
    void platformTouchDeviceFailsCleanlyWithoutUinput();
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
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("touchFrames");
    QTest::addColumn<QList<quint32>>("mouseFlags");
    // Pen 1 is down already (in the mode under test); then one event of `button`.
    QTest::newRow("touch, down") << 0 << 1 << 2 << QList<quint32>{};
    QTest::newRow("touch, move") << 0 << 2 << 1 << QList<quint32>{};
    QTest::newRow("touch, up") << 0 << 0 << 2 << QList<quint32>{};
    QTest::newRow("touch, button 3") << 0 << 3 << 0 << QList<quint32>{};
    QTest::newRow("mouse, down") << 1 << 1 << 0 << QList<quint32>{0x8001, 0x0002};
    QTest::newRow("mouse, move") << 1 << 2 << 0 << QList<quint32>{0x8001};
    QTest::newRow("mouse, up") << 1 << 0 << 0 << QList<quint32>{0x0004};
    QTest::newRow("mouse, button 3") << 1 << 3 << 0 << QList<quint32>{};
    QTest::newRow("any mode but 0 is mouse") << 7 << 0 << 0 << QList<quint32>{0x0004};
}

void TestPenDispatch::routesByButtonAndPenMode()
{
    QFETCH(int, mode);
    QFETCH(int, button);
    QFETCH(int, touchFrames);
    QFETCH(QList<quint32>, mouseFlags);
    Rig rig;
    QVERIFY(rig.dispatch->createTouchInjector());
    rig.dispatch->setPenMode(mode);
    rig.dispatch->penStatus(1, 1, 640, 400);
    rig.backend->clearRecords();

    rig.dispatch->penStatus(1, button, 650, 410);
    QCOMPARE(rig.backend->touchFrames().size(), touchFrames);
    QList<quint32> flags;
    for (const InputRecord& r : rig.backend->mouseInputs())
        flags << r.mi.dwFlags;
    QCOMPARE(flags, mouseFlags);
    QVERIFY(rig.dispatch->lostEventTimer.isActive());
}

void TestPenDispatch::outOfRangeIsLoggedAndStillRestartsTheWatchdog()
{
    Rig rig;
    rig.dispatch->createTouchInjector();
    LogCapture log;
    rig.dispatch->penStatus(2, 1, -1, 400);
    QCOMPARE(log.lines("quillrelay.pen"),
             QStringList{"penStatus[id=2, button=1, posx=-1, posy=400(Out of Range!)]"});
    QVERIFY(rig.backend->touchFrames().isEmpty());
    QVERIFY(rig.dispatch->lostEventTimer.isActive());
}

void TestPenDispatch::primaryScreenOffsetReachesBothInjectors()
{
    Rig rig;
    rig.screen = QRect(1920, 0, 1920, 1080);
    rig.dispatch->createTouchInjector();
    rig.dispatch->penStatus(1, 1, 640, 400);
    QCOMPARE(rig.touchPoint(1), QPoint(2880, 540));

    rig.dispatch->setPenMode(PEN_MODE_MOUSE);
    rig.dispatch->penStatus(2, 1, 640, 400);
    const InputRecord& move = rig.backend->mouseInputs().at(0);
    QCOMPARE(move.mi.dx, 32767);
    QCOMPARE(move.mi.dy, 32767);
}

void TestPenDispatch::touchModeWithoutTouchInjectorDropsEvents()
{
    Rig rig;
    LogCapture log;
    rig.dispatch->penStatus(1, 1, 640, 400);
    rig.dispatch->penStatus(1, 2, 641, 400);
    QVERIFY(rig.backend->touchFrames().isEmpty());
    QVERIFY(rig.backend->mouseInputs().isEmpty());
    QVERIFY(log.lines("quillrelay.inject").isEmpty());
}

void TestPenDispatch::watchdogIsAPreciseRepeating90msTimer()
{
    Rig rig;
    const QTimer& timer = rig.dispatch->lostEventTimer;
    QCOMPARE(timer.interval(), 90);
    QCOMPARE(timer.timerType(), Qt::PreciseTimer);
    QVERIFY(!timer.isSingleShot());
    QVERIFY(!timer.isActive());
    rig.dispatch->penStatus(1, 3, 640, 400); // even an ignored button starts it
    QVERIFY(timer.isActive());
    rig.dispatch->stopLostEventTimer();
    QVERIFY(!timer.isActive());
}

void TestPenDispatch::lonePenDownIsReleasedByTheWatchdog_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("touch") << int(PEN_MODE_TOUCH);
    QTest::newRow("mouse") << int(PEN_MODE_MOUSE);
}

void TestPenDispatch::lonePenDownIsReleasedByTheWatchdog()
{
    // The real timer and the real clock: a pen down followed by nothing is released by the
    // watchdog on its own, about 90 ms later.
    QFETCH(int, mode);
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
    if (mode == PEN_MODE_TOUCH) {
        QCOMPARE(rig.backend->touchFrames().size(), 4);
        QCOMPARE(rig.touchFlags(2), 0x00040002u);
        QCOMPARE(rig.touchFlags(3), 0x00020000u);
        QCOMPARE(rig.dispatch->touchInjector()->activeContactCount(), 0);
    } else {
        QCOMPARE(rig.backend->mouseInputs().size(), 3);
        QCOMPARE(rig.backend->mouseInputs().at(2).mi.dwFlags, 0x0004u);
        QCOMPARE(rig.dispatch->mouseInjector().heldPenCount(), 0);
    }
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
    QCOMPARE(rig.dispatch->touchInjector()->activeContactCount(), 1);
    // Lift and leave of pen 1 (with pen 2 dragging), then pen 2's own move, alone.
    QCOMPARE(rig.backend->touchFrames().size(), 3);
    QCOMPARE(rig.touchFlags(0, 0), 0x00040002u);
    QCOMPARE(rig.touchFlags(1, 0), 0x00020000u);
    QCOMPARE(rig.backend->touchFrames().at(2).size(), size_t(1));
    QCOMPARE(rig.touchFlags(2, 0), 0x00020006u);
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

void TestPenDispatch::platformTouchDeviceFailsCleanlyWithoutUinput()
{
    if (QFile::exists(QStringLiteral("/dev/uinput")))
        QSKIP("this system has /dev/uinput; the uinput tests run in the VM test instead");
    LogCapture log;
    PenDispatch dispatch;
    dispatch.setScreenGeometry([] { return QRect(0, 0, 1920, 1080); });
    QVERIFY(!dispatch.touchInjectionAvailable());
    QVERIFY(!dispatch.createTouchInjector());
    const QStringList lines = log.lines("quillrelay.inject");
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines[0].contains(QLatin1String("/dev/uinput is missing")), qPrintable(lines[0]));
    dispatch.penStatus(1, 1, 640, 400); // dropped, no crash
}

QTEST_MAIN(TestPenDispatch)
#include "tst_pendispatch.moc"
