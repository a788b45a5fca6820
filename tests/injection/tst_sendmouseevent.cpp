#include "injection/injectionbackend_recording.h"
#include "injection/sendmouseevent.h"
#include "support/logcapture.h"

#include <QTest>

using namespace injection;

namespace {

struct Input {
    qint32 dx, dy;
    quint32 flags;
};

bool inputsAre(const QList<InputRecord>& got, const QList<Input>& want)
{
    bool same = got.size() == want.size();
    for (int i = 0; i < qMax(got.size(), want.size()); ++i) {
        const bool ok = i < got.size() && i < want.size() && got[i].type == 0 &&
                        got[i].mi.dx == want[i].dx && got[i].mi.dy == want[i].dy &&
                        got[i].mi.dwFlags == want[i].flags && got[i].mi.mouseData == 0 &&
                        got[i].mi.time == 0 && got[i].mi.dwExtraInfo == 0;
        if (!ok) {
            same = false;
            if (i < got.size())
                qWarning("input %d: type %u dx %d dy %d flags %04X", i, got[i].type, got[i].mi.dx,
                         got[i].mi.dy, got[i].mi.dwFlags);
            if (i < want.size())
                qWarning("  expected dx %d dy %d flags %04X", want[i].dx, want[i].dy,
                         want[i].flags);
        }
    }
    return same;
}

struct Rig {
    std::shared_ptr<RecordingInjectionBackend> backend =
        std::make_shared<RecordingInjectionBackend>();
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    QRect screen{0, 0, 1920, 1080};
    std::unique_ptr<SendMouseEvent> mouse;

    Rig()
    {
        mouse = std::make_unique<SendMouseEvent>(backend->createMouseDevice({}), clock,
                                                 [this] { return screen; });
    }
    const QList<InputRecord>& inputs() const { return backend->mouseInputs(); }
};

QStringList injectLines(const LogCapture& log)
{
    return log.lines("quillrelay.inject");
}

} // namespace

Q_DECLARE_METATYPE(QList<Input>)

class TestSendMouseEvent : public QObject {
    Q_OBJECT
private slots:
    void pressMovesThenPressesTheLeftButton_data();
    void pressMovesThenPressesTheLeftButton();
    void everyPixelSurvivesTheNormalisedRoundTrip_data();
    void everyPixelSurvivesTheNormalisedRoundTrip();
    void moveAndRelease();
    void moveOfAnUnknownPenIsALostDown();
    void upOfAnUnknownPenDoesNothing();
    void lostUpCountsEachPensOwnAge_data();
    void lostUpCountsEachPensOwnAge();
    void rejectedInput_data();
    void rejectedInput();
    void unusableDeviceNamesItsCauseOnce();
};

void TestSendMouseEvent::pressMovesThenPressesTheLeftButton_data()
{
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QPoint>("pixel");
    QTest::addColumn<QPoint>("normalised");
    QTest::newRow("centre of 1920x1080")
        << QRect(0, 0, 1920, 1080) << QPoint(960, 540) << QPoint(32767, 32767);
    QTest::newRow("last pixel of 1920x1080")
        << QRect(0, 0, 1920, 1080) << QPoint(1919, 1079) << QPoint(65500, 65474);
    QTest::newRow("first pixel") << QRect(0, 0, 1920, 1080) << QPoint(0, 0) << QPoint(0, 0);
    QTest::newRow("primary screen at left 1920")
        << QRect(1920, 0, 1920, 1080) << QPoint(2880, 540) << QPoint(32767, 32767);
    QTest::newRow("primary screen below another")
        << QRect(0, 1080, 1280, 800) << QPoint(1279, 1879) << QPoint(65483, 65453);
}

void TestSendMouseEvent::pressMovesThenPressesTheLeftButton()
{
    QFETCH(QRect, screen);
    QFETCH(QPoint, pixel);
    QFETCH(QPoint, normalised);
    Rig rig;
    rig.screen = screen;

    QVERIFY(rig.mouse->PenDown(1, pixel.x(), pixel.y()));
    QVERIFY(inputsAre(rig.inputs(), {{normalised.x(), normalised.y(), 0x8001}, {0, 0, 0x0002}}));
    QCOMPARE(rig.mouse->heldPenCount(), 1);
}

void TestSendMouseEvent::everyPixelSurvivesTheNormalisedRoundTrip_data()
{
    QTest::addColumn<int>("extent");
    for (int extent : {1, 768, 800, 1080, 1366, 1920, 2160, 3840, 7680})
        QTest::addRow("%d pixels", extent) << extent;
}

void TestSendMouseEvent::everyPixelSurvivesTheNormalisedRoundTrip()
{
    // Devices that take pixels (XTest) turn the normalised value back; a pixel that came
    // back as its neighbour would put the pointer one pixel beside the pen.
    QFETCH(int, extent);
    for (int pixel = 0; pixel < extent; ++pixel) {
        const int normalised = normaliseMouseCoordinate(pixel, extent);
        QVERIFY(normalised >= 0 && normalised <= 65535);
        const int back = denormaliseMouseCoordinate(normalised, extent);
        if (back != pixel)
            QFAIL(qPrintable(QStringLiteral("pixel %1 came back as %2").arg(pixel).arg(back)));
    }
}

void TestSendMouseEvent::moveAndRelease()
{
    Rig rig;
    rig.mouse->PenDown(1, 960, 540);
    rig.backend->clearRecords();

    QVERIFY(rig.mouse->PenMove(1, 1919, 1079));
    QVERIFY(rig.mouse->PenUp(1));
    // The release does not move the pointer: the button goes up where the pointer is.
    QVERIFY(inputsAre(rig.inputs(), {{65500, 65474, 0x8001}, {0, 0, 0x0004}}));
    QCOMPARE(rig.mouse->heldPenCount(), 0);
}

void TestSendMouseEvent::moveOfAnUnknownPenIsALostDown()
{
    Rig rig;
    LogCapture log;
    QVERIFY(rig.mouse->PenMove(4, 960, 540));
    QCOMPARE(injectLines(log), QStringList{" -->Lost Down event!!"});
    QVERIFY(inputsAre(rig.inputs(), {{32767, 32767, 0x8001}, {0, 0, 0x0002}}));
    QCOMPARE(rig.mouse->heldPenCount(), 1);
}

void TestSendMouseEvent::upOfAnUnknownPenDoesNothing()
{
    Rig rig;
    rig.mouse->PenDown(1, 960, 540);
    rig.backend->clearRecords();
    LogCapture log;
    QVERIFY(!rig.mouse->PenUp(2));
    QVERIFY(rig.inputs().isEmpty());
    QVERIFY(injectLines(log).isEmpty());
    QCOMPARE(rig.mouse->heldPenCount(), 1);
}

void TestSendMouseEvent::lostUpCountsEachPensOwnAge_data()
{
    QTest::addColumn<int>("silence");
    QTest::addColumn<bool>("lost");
    QTest::newRow("89 ms") << 89 << false;
    QTest::newRow("90 ms") << 90 << true;
}

void TestSendMouseEvent::lostUpCountsEachPensOwnAge()
{
    QFETCH(int, silence);
    QFETCH(bool, lost);
    Rig rig;
    rig.mouse->PenDown(1, 100, 100);
    rig.mouse->PenDown(2, 200, 200);
    // Pen 2 keeps moving while pen 1 is silent.
    for (int t = 0; t < silence; t += 30) {
        rig.clock->advance(qMin(30, silence - t));
        rig.mouse->PenMove(2, 200, 200 + t);
    }
    rig.backend->clearRecords();
    LogCapture log;

    rig.mouse->CheckLostUp();
    if (!lost) {
        QVERIFY(rig.inputs().isEmpty());
        QVERIFY(injectLines(log).isEmpty());
        QCOMPARE(rig.mouse->heldPenCount(), 2);
        return;
    }
    QCOMPARE(injectLines(log), QStringList{" -->Lost Up event!!"});
    QVERIFY(inputsAre(rig.inputs(), {{0, 0, 0x0004}}));
    QCOMPARE(rig.mouse->heldPenCount(), 1);
    rig.backend->clearRecords();
    QVERIFY(!rig.mouse->PenUp(1)); // gone
    QVERIFY(rig.mouse->PenUp(2));  // still held
}

void TestSendMouseEvent::rejectedInput_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("rejected");
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("heldAfter");
    QTest::newRow("press, move record")
        << "down" << 0 << " -->SendInput[id=1, x=960, y=540, flags=00008001, result=NG]" << 0;
    QTest::newRow("press, button record")
        << "down" << 1 << " -->SendInput[id=1, x=0, y=0, flags=00000002, result=NG]" << 0;
    QTest::newRow("move: the pen counts as released")
        << "move" << 0 << " -->SendInput[id=1, x=100, y=200, flags=00008001, result=NG]" << 0;
    QTest::newRow("release: removed all the same")
        << "up" << 0 << " -->SendInput[id=1, x=0, y=0, flags=00000004, result=NG]" << 0;
}

void TestSendMouseEvent::rejectedInput()
{
    QFETCH(QString, operation);
    QFETCH(int, rejected);
    QFETCH(QString, line);
    QFETCH(int, heldAfter);
    Rig rig;
    if (operation != QLatin1String("down"))
        rig.mouse->PenDown(1, 10, 10);
    rig.backend->rejectMouseInput(rejected);
    LogCapture log;

    bool ok = true;
    if (operation == QLatin1String("down"))
        ok = rig.mouse->PenDown(1, 960, 540);
    else if (operation == QLatin1String("move"))
        ok = rig.mouse->PenMove(1, 100, 200);
    else
        ok = rig.mouse->PenUp(1);
    QVERIFY(!ok);
    QCOMPARE(injectLines(log), QStringList{line});
    QCOMPARE(rig.mouse->heldPenCount(), heldAfter);
}

void TestSendMouseEvent::unusableDeviceNamesItsCauseOnce()
{
    Rig rig;
    const QString cause = QStringLiteral("Mouse input unavailable: /dev/uinput is missing");
    rig.backend->setMouseFailure(cause);
    LogCapture log;

    QVERIFY(!rig.mouse->PenDown(1, 960, 540));
    QVERIFY(!rig.mouse->PenDown(1, 960, 540));
    QCOMPARE(log.count(cause), 1);
    QCOMPARE(log.count(" -->SendInput[id=1, x=960, y=540, flags=00008001, result=NG]"), 2);
    QCOMPARE(rig.mouse->heldPenCount(), 0);
}

QTEST_GUILESS_MAIN(TestSendMouseEvent)
#include "tst_sendmouseevent.moc"
