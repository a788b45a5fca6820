#include "injection/injectionbackend_recording.h"
#include "injection/touchinjection.h"
#include "support/logcapture.h"

#include <QTest>

#include <cstring>

using namespace injection;

namespace {

// The expected record, built field by field without the program's own fill function, so
// that a wrong byte anywhere (type, mask, area, orientation, pressure, stray data) shows.
struct Contact {
    quint32 id;
    quint32 flags;
    qint32 x, y, cx, cy;
};

PointerTouchInfo expectedRecord(const Contact& c)
{
    PointerTouchInfo r;
    std::memset(&r, 0, sizeof r);
    r.pointerInfo.pointerType = 2;
    r.pointerInfo.pointerId = c.id;
    r.pointerInfo.pointerFlags = c.flags;
    r.pointerInfo.ptPixelLocation.x = c.x;
    r.pointerInfo.ptPixelLocation.y = c.y;
    r.touchMask = 7;
    r.rcContact = {c.cx - 2, c.cy - 2, c.cx + 2, c.cy + 2};
    r.orientation = 90;
    r.pressure = 32000;
    return r;
}

QString describe(const PointerTouchInfo& r)
{
    return QStringLiteral("id=%1 flags=%2 at (%3,%4) area (%5,%6,%7,%8)")
        .arg(r.pointerInfo.pointerId)
        .arg(r.pointerInfo.pointerFlags, 8, 16, QLatin1Char('0'))
        .arg(r.pointerInfo.ptPixelLocation.x)
        .arg(r.pointerInfo.ptPixelLocation.y)
        .arg(r.rcContact.left)
        .arg(r.rcContact.top)
        .arg(r.rcContact.right)
        .arg(r.rcContact.bottom);
}

// Compares one recorded frame with the expected contacts, in order, byte for byte.
bool frameIs(const RecordingInjectionBackend::TouchFrame& frame,
             std::initializer_list<Contact> expected)
{
    bool same = frame.size() == expected.size();
    size_t i = 0;
    for (const Contact& c : expected) {
        const PointerTouchInfo want = expectedRecord(c);
        if (i >= frame.size() || std::memcmp(&frame[i], &want, sizeof want) != 0) {
            same = false;
            qWarning().noquote() << "record" << i << "expected" << describe(want) << "got"
                                 << (i < frame.size() ? describe(frame[i]) : QString("none"));
        }
        ++i;
    }
    if (frame.size() != expected.size())
        qWarning() << "frame has" << frame.size() << "records, expected" << expected.size();
    return same;
}

constexpr quint32 HOVER = 0x00020002;
constexpr quint32 DOWN = 0x00010006;
constexpr quint32 DRAG = 0x00020006;
constexpr quint32 LIFT = 0x00040002;
constexpr quint32 LEAVE = 0x00020000;

struct Rig {
    std::shared_ptr<RecordingInjectionBackend> backend =
        std::make_shared<RecordingInjectionBackend>();
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::unique_ptr<TouchInjection> touch;

    explicit Rig(bool initialise = true)
    {
        touch = std::make_unique<TouchInjection>(backend->createTouchDevice({}), clock);
        if (initialise)
            touch->Initialize();
    }
    const QList<RecordingInjectionBackend::TouchFrame>& frames() const
    {
        return backend->touchFrames();
    }
};

QStringList injectLines(const LogCapture& log)
{
    return log.lines("quillrelay.inject");
}

} // namespace

class TestTouchInjection : public QObject {
    Q_OBJECT
private slots:
    void firstPenDownInitialisesPausesAndSendsHoverThenTouchDown();
    void moveKeepsTheContactAreaWhereThePenWentDown();
    void releaseLiftsThenLeavesAndTheNextDownStartsANewSession();
    void twoPensShareEveryFrameInIdOrder();
    void penDownOfAnActivePenReplacesItsContact();
    void moveOfAnUnknownPenIsALostDown();
    void upOfAnUnknownPenDoesNothing();
    void lostUpDependsOnTheContactsAge_data();
    void lostUpDependsOnTheContactsAge();
    void silentPenIsLostWhileAnotherPenKeepsMoving();
    void rejectedFrame_data();
    void rejectedFrame();
    void rejectedFirstDownFrameIsLoggedWithEveryContact();
    void failedSessionStartCreatesNoContact();
    void nothingReachesTheDeviceBeforeInitialize();
    void initializeFailureIsLoggedOnlyWithACause_data();
    void initializeFailureIsLoggedOnlyWithACause();
};

void TestTouchInjection::firstPenDownInitialisesPausesAndSendsHoverThenTouchDown()
{
    Rig rig;
    QVERIFY(rig.touch->PenDown(1, 500, 300));

    QCOMPARE(rig.backend->touchInitializeCalls().size(), 1);
    QCOMPARE(rig.backend->touchInitializeCalls()[0].maxCount, 256u);
    QCOMPARE(rig.backend->touchInitializeCalls()[0].feedbackMode, 1u);
    QCOMPARE(rig.clock->pauses(), QList<int>{20});
    QCOMPARE(rig.frames().size(), 2);
    QVERIFY(frameIs(rig.frames()[0], {{1, HOVER, 500, 300, 500, 300}}));
    QVERIFY(frameIs(rig.frames()[1], {{1, DOWN, 500, 300, 500, 300}}));
}

void TestTouchInjection::moveKeepsTheContactAreaWhereThePenWentDown()
{
    Rig rig;
    rig.touch->PenDown(1, 500, 300);
    rig.backend->clearRecords();

    QVERIFY(rig.touch->PenMove(1, 510, 305));
    QCOMPARE(rig.frames().size(), 1);
    QVERIFY(frameIs(rig.frames()[0], {{1, DRAG, 510, 305, 500, 300}}));
    QVERIFY(rig.backend->touchInitializeCalls().isEmpty());
}

void TestTouchInjection::releaseLiftsThenLeavesAndTheNextDownStartsANewSession()
{
    Rig rig;
    rig.touch->PenDown(1, 500, 300);
    rig.touch->PenMove(1, 510, 305);
    rig.backend->clearRecords();

    QVERIFY(rig.touch->PenUp(1));
    QCOMPARE(rig.frames().size(), 2);
    QVERIFY(frameIs(rig.frames()[0], {{1, LIFT, 510, 305, 500, 300}}));
    QVERIFY(frameIs(rig.frames()[1], {{1, LEAVE, 510, 305, 500, 300}}));
    QCOMPARE(rig.touch->activeContactCount(), 0);

    rig.touch->PenDown(1, 10, 20);
    QCOMPARE(rig.backend->touchInitializeCalls().size(), 1);
}

void TestTouchInjection::twoPensShareEveryFrameInIdOrder()
{
    Rig rig;
    rig.touch->PenDown(3, 300, 30);
    rig.touch->PenDown(1, 100, 10);
    // Only the first pen of a session initialises.
    QCOMPARE(rig.backend->touchInitializeCalls().size(), 1);
    QCOMPARE(rig.frames().size(), 4);
    QVERIFY(frameIs(rig.frames()[2], {{1, HOVER, 100, 10, 100, 10}, {3, DRAG, 300, 30, 300, 30}}));
    QVERIFY(frameIs(rig.frames()[3], {{1, DOWN, 100, 10, 100, 10}, {3, DRAG, 300, 30, 300, 30}}));

    rig.backend->clearRecords();
    QVERIFY(rig.touch->PenUp(3));
    QCOMPARE(rig.frames().size(), 2);
    QVERIFY(frameIs(rig.frames()[0], {{1, DRAG, 100, 10, 100, 10}, {3, LIFT, 300, 30, 300, 30}}));
    QVERIFY(frameIs(rig.frames()[1], {{1, DRAG, 100, 10, 100, 10}, {3, LEAVE, 300, 30, 300, 30}}));
    QCOMPARE(rig.touch->activeContactCount(), 1);
}

void TestTouchInjection::penDownOfAnActivePenReplacesItsContact()
{
    Rig rig;
    rig.touch->PenDown(1, 500, 300);
    rig.backend->clearRecords();

    QVERIFY(rig.touch->PenDown(1, 600, 400));
    QVERIFY(rig.backend->touchInitializeCalls().isEmpty());
    QCOMPARE(rig.frames().size(), 2);
    QVERIFY(frameIs(rig.frames()[0], {{1, HOVER, 600, 400, 600, 400}}));
    QVERIFY(frameIs(rig.frames()[1], {{1, DOWN, 600, 400, 600, 400}}));
    QCOMPARE(rig.touch->activeContactCount(), 1);
}

void TestTouchInjection::moveOfAnUnknownPenIsALostDown()
{
    Rig rig;
    LogCapture log;
    QVERIFY(rig.touch->PenMove(7, 50, 60));

    QCOMPARE(injectLines(log), QStringList{" -->Lost Down event!!"});
    QCOMPARE(rig.backend->touchInitializeCalls().size(), 1);
    QCOMPARE(rig.frames().size(), 2);
    QVERIFY(frameIs(rig.frames()[0], {{7, HOVER, 50, 60, 50, 60}}));
    QVERIFY(frameIs(rig.frames()[1], {{7, DOWN, 50, 60, 50, 60}}));
}

void TestTouchInjection::upOfAnUnknownPenDoesNothing()
{
    Rig rig;
    rig.touch->PenDown(1, 500, 300);
    rig.backend->clearRecords();
    LogCapture log;

    QVERIFY(!rig.touch->PenUp(2));
    QVERIFY(rig.frames().isEmpty());
    QVERIFY(injectLines(log).isEmpty());
    QCOMPARE(rig.touch->activeContactCount(), 1);
}

void TestTouchInjection::lostUpDependsOnTheContactsAge_data()
{
    QTest::addColumn<int>("age");
    QTest::addColumn<bool>("lost");
    QTest::newRow("89 ms: still pressed") << 89 << false;
    QTest::newRow("90 ms: lost") << 90 << true;
    QTest::newRow("long silence: lost") << 5000 << true;
}

void TestTouchInjection::lostUpDependsOnTheContactsAge()
{
    QFETCH(int, age);
    QFETCH(bool, lost);
    Rig rig;
    rig.touch->PenDown(1, 500, 300);
    rig.backend->clearRecords();
    rig.clock->advance(age);
    LogCapture log;

    rig.touch->CheckLostUp();
    if (!lost) {
        QVERIFY(rig.frames().isEmpty());
        QVERIFY(injectLines(log).isEmpty());
        QCOMPARE(rig.touch->activeContactCount(), 1);
        return;
    }
    QCOMPARE(injectLines(log), QStringList{" -->Lost Up event!!"});
    QCOMPARE(rig.frames().size(), 2);
    QVERIFY(frameIs(rig.frames()[0], {{1, LIFT, 500, 300, 500, 300}}));
    QVERIFY(frameIs(rig.frames()[1], {{1, LEAVE, 500, 300, 500, 300}}));
    QCOMPARE(rig.touch->activeContactCount(), 0);
}

void TestTouchInjection::silentPenIsLostWhileAnotherPenKeepsMoving()
{
    // Pen 1's up record is lost; pen 2 keeps writing. The frames of pen 2 carry pen 1 but
    // must not keep it pressed, or the system sees two fingers and pen 2 starts to scroll.
    Rig rig;
    rig.touch->PenDown(1, 100, 100);
    rig.touch->PenDown(2, 200, 200);
    for (int i = 0; i < 4; ++i) {
        rig.clock->advance(30);
        rig.touch->PenMove(2, 200 + i, 200);
    }
    rig.backend->clearRecords();
    LogCapture log;

    rig.touch->CheckLostUp();
    QCOMPARE(injectLines(log), QStringList{" -->Lost Up event!!"});
    QCOMPARE(rig.frames().size(), 2);
    QVERIFY(
        frameIs(rig.frames()[0], {{1, LIFT, 100, 100, 100, 100}, {2, DRAG, 203, 200, 200, 200}}));
    QVERIFY(
        frameIs(rig.frames()[1], {{1, LEAVE, 100, 100, 100, 100}, {2, DRAG, 203, 200, 200, 200}}));
    QCOMPARE(rig.touch->activeContactCount(), 1);
    QVERIFY(rig.touch->PenMove(2, 210, 200)); // pen 2 still has its contact
    QVERIFY(rig.backend->touchInitializeCalls().isEmpty());
}

void TestTouchInjection::rejectedFrame_data()
{
    // Which operation meets a rejected frame, which frame of it (0-based) is rejected, the
    // result, how many frames got through, and the contacts left afterwards.
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("rejected");
    QTest::addColumn<bool>("result");
    QTest::addColumn<int>("framesThrough");
    QTest::addColumn<int>("contactsLeft");
    QTest::newRow("down, touch-down frame") << "down" << 1 << false << 1 << 1;
    QTest::newRow("move") << "move" << 0 << false << 0 << 1;
    QTest::newRow("up, lift frame: no leave frame") << "up" << 0 << false << 0 << 1;
    QTest::newRow("up, leave frame") << "up" << 1 << false << 1 << 1;
    QTest::newRow("lost up, lift frame: lost contact still removed")
        << "lostup" << 0 << false << 0 << 1;
}

void TestTouchInjection::rejectedFrame()
{
    QFETCH(QString, operation);
    QFETCH(int, rejected);
    QFETCH(bool, result);
    QFETCH(int, framesThrough);
    QFETCH(int, contactsLeft);

    // Pen 5 is the bystander that stays down; pen 1 is the one the operation concerns.
    Rig rig;
    rig.touch->PenDown(5, 50, 50);
    if (operation != QLatin1String("down"))
        rig.touch->PenDown(1, 10, 10);
    if (operation == QLatin1String("lostup")) {
        rig.clock->advance(90);
        rig.touch->PenMove(5, 51, 50); // pen 5 is young, pen 1 is lost
    }
    rig.backend->clearRecords();
    rig.backend->rejectTouchFrame(rejected, 0x57);
    LogCapture log;

    bool ok = true;
    if (operation == QLatin1String("down"))
        ok = rig.touch->PenDown(1, 10, 10);
    else if (operation == QLatin1String("move"))
        ok = rig.touch->PenMove(1, 11, 11);
    else if (operation == QLatin1String("up"))
        ok = rig.touch->PenUp(1);
    else
        rig.touch->CheckLostUp();

    if (operation != QLatin1String("lostup"))
        QCOMPARE(ok, result);
    QCOMPARE(rig.frames().size(), framesThrough);
    QCOMPARE(rig.touch->activeContactCount(), contactsLeft);
    QVERIFY(injectLines(log).contains(" -->InjectTouchInput:count=2, result=NG(00000057)"));
    // The bystander keeps working.
    rig.backend->clearRecords();
    QVERIFY(rig.touch->PenMove(5, 52, 50));
    QCOMPARE(rig.frames().size(), 1);
    QCOMPARE(rig.frames()[0].size(), size_t(1));
}

void TestTouchInjection::rejectedFirstDownFrameIsLoggedWithEveryContact()
{
    Rig rig;
    rig.backend->rejectTouchFrame(0, 0x000005B4);
    LogCapture log;

    QVERIFY(!rig.touch->PenDown(1, 500, 300));
    QCOMPARE(injectLines(log),
             QStringList({" -->contact[idx=0, pid=1, x=500, y=300, flags=00020002]",
                          " -->InjectTouchInput:count=1, result=NG(000005B4)"}));
    QVERIFY(rig.frames().isEmpty());
    QCOMPARE(rig.touch->activeContactCount(), 0);
}

void TestTouchInjection::failedSessionStartCreatesNoContact()
{
    Rig rig;
    rig.backend->setTouchInitializeResult(false);
    QVERIFY(!rig.touch->PenDown(1, 500, 300));
    QCOMPARE(rig.clock->pauses(), QList<int>{20}); // the pause comes whatever the result
    QVERIFY(rig.frames().isEmpty());
    QCOMPARE(rig.touch->activeContactCount(), 0);

    rig.backend->setTouchInitializeResult(true);
    QVERIFY(rig.touch->PenDown(1, 500, 300));
    QCOMPARE(rig.backend->touchInitializeCalls().size(), 2);
}

void TestTouchInjection::nothingReachesTheDeviceBeforeInitialize()
{
    Rig rig(false);
    LogCapture log;
    QVERIFY(!rig.touch->PenDown(1, 500, 300));
    QVERIFY(!rig.touch->PenMove(1, 500, 300));
    QVERIFY(!rig.touch->PenUp(1));
    rig.clock->advance(1000);
    rig.touch->CheckLostUp();
    QVERIFY(rig.backend->touchInitializeCalls().isEmpty());
    QVERIFY(rig.frames().isEmpty());
    QVERIFY(injectLines(log).isEmpty());
}

void TestTouchInjection::initializeFailureIsLoggedOnlyWithACause_data()
{
    QTest::addColumn<QString>("cause");
    QTest::newRow("entry points missing: silent") << QString();
    QTest::newRow("device cannot be made: one line")
        << QStringLiteral("Touch input unavailable: /dev/uinput is missing");
}

void TestTouchInjection::initializeFailureIsLoggedOnlyWithACause()
{
    QFETCH(QString, cause);
    Rig rig(false);
    rig.backend->setTouchOpenResult(false, cause);
    LogCapture log;

    QVERIFY(!rig.touch->Initialize());
    QCOMPARE(injectLines(log), cause.isEmpty() ? QStringList() : QStringList{cause});
    QVERIFY(!rig.touch->PenDown(1, 1, 1));
    QVERIFY(rig.frames().isEmpty());
}

QTEST_GUILESS_MAIN(TestTouchInjection)
#include "tst_touchinjection.moc"
