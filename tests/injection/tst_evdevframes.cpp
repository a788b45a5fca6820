#include "injection/evdevframes_uinput.h"
#include "injection/touchinjection.h"

#include <QTest>

#include <linux/input-event-codes.h>

using evdev::Event;
using Frame = std::vector<Event>;

namespace {

// A touch device that runs the real encoder and keeps the events of each frame, so the
// tests drive it with the frames the injector really sends.
class EncodingTouchDevice final : public TouchDevice {
public:
    EncodingTouchDevice(QRect screen, QList<Frame>* frames) : m_encoder(screen), m_frames(frames) {}
    bool open(QString*) override { return true; }
    void close() override {}
    bool initialize(quint32, quint32) override { return true; }
    bool inject(quint32 count, const injection::PointerTouchInfo* records) override
    {
        Frame frame;
        if (!m_encoder.encode(count, records, frame))
            return false;
        m_frames->append(frame);
        return true;
    }
    quint32 lastError() const override { return 0; }

private:
    evdev::TouchFrameEncoder m_encoder;
    QList<Frame>* m_frames;
};

struct Rig {
    QList<Frame> frames;
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    TouchInjection touch;
    explicit Rig(QRect screen = QRect(0, 0, 1920, 1080))
        : touch(std::make_unique<EncodingTouchDevice>(screen, &frames), clock)
    {
        touch.Initialize();
    }
};

Event slot(int s)
{
    return {EV_ABS, ABS_MT_SLOT, s};
}
Event trackingId(int id)
{
    return {EV_ABS, ABS_MT_TRACKING_ID, id};
}
Event mtX(int x)
{
    return {EV_ABS, ABS_MT_POSITION_X, x};
}
Event mtY(int y)
{
    return {EV_ABS, ABS_MT_POSITION_Y, y};
}
Event x(int v)
{
    return {EV_ABS, ABS_X, v};
}
Event y(int v)
{
    return {EV_ABS, ABS_Y, v};
}
Event touching(int v)
{
    return {EV_KEY, BTN_TOUCH, v};
}
const Event syn{EV_SYN, SYN_REPORT, 0};

QString describe(const QList<Frame>& frames)
{
    QStringList out;
    for (const Frame& f : frames) {
        QStringList events;
        for (const Event& e : f)
            events << QStringLiteral("%1/%2/%3").arg(e.type).arg(e.code).arg(e.value);
        out << events.join(' ');
    }
    return out.join(QStringLiteral(" | "));
}

bool framesAre(const QList<Frame>& got, const QList<Frame>& want)
{
    if (got == want)
        return true;
    qWarning().noquote() << "got:     " << describe(got);
    qWarning().noquote() << "expected:" << describe(want);
    return false;
}

} // namespace

class TestEvdevFrames : public QObject {
    Q_OBJECT
private slots:
    void penDownTouchesOnlyWithTheTouchDownFrame();
    void secondPenTakesTheNextSlotAndKeepsTheFirstAsPointer();
    void liftOfOnePenKeepsBtnTouchUntilTheLast();
    void lostUpEndsTheSilentContact();
    void trackingIdsStayUniqueWhenASlotIsReused();
    void positionsAreRelativeToThePrimaryScreenAndClamped();
    void screenResizedAfterCreationIsScaledIntoTheAxes();
    void contactMissingFromAFrameHasGone();
    void framesNeedingMoreSlotsThanExistAreRefused();
    void mouseRecords_data();
    void mouseRecords();
};

void TestEvdevFrames::penDownTouchesOnlyWithTheTouchDownFrame()
{
    Rig rig;
    rig.touch.PenDown(1, 500, 300);
    QVERIFY(framesAre(rig.frames,
                      {
                          {syn}, // hover: a touchscreen has no hover
                          {trackingId(0), mtX(500), mtY(300), touching(1), x(500), y(300), syn},
                      }));
}

void TestEvdevFrames::secondPenTakesTheNextSlotAndKeepsTheFirstAsPointer()
{
    Rig rig;
    rig.touch.PenDown(1, 500, 300);
    rig.touch.PenDown(2, 900, 700);
    rig.frames.clear();
    rig.touch.PenMove(2, 901, 700);
    rig.touch.PenMove(1, 501, 300);
    QVERIFY(framesAre(rig.frames, {{mtX(901), syn}, {slot(0), mtX(501), x(501), syn}}));
}

void TestEvdevFrames::liftOfOnePenKeepsBtnTouchUntilTheLast()
{
    Rig rig;
    rig.touch.PenDown(1, 500, 300);
    rig.touch.PenDown(2, 900, 700);
    rig.frames.clear();
    rig.touch.PenUp(1);
    rig.touch.PenUp(2);
    QVERIFY(framesAre(rig.frames, {
                                      // pen 1 lifts; the pointer moves to pen 2
                                      {slot(0), trackingId(-1), x(900), y(700), syn},
                                      {syn}, // leave
                                      {slot(1), trackingId(-1), touching(0), syn},
                                      {syn},
                                  }));
}

void TestEvdevFrames::lostUpEndsTheSilentContact()
{
    Rig rig;
    rig.touch.PenDown(1, 500, 300);
    rig.touch.PenDown(2, 900, 700);
    rig.clock->advance(60);
    rig.touch.PenMove(2, 905, 700);
    rig.clock->advance(30);
    rig.frames.clear();
    rig.touch.CheckLostUp();
    QVERIFY(framesAre(rig.frames, {{slot(0), trackingId(-1), x(905), y(700), syn}, {syn}}));
    rig.frames.clear();
    rig.clock->advance(90);
    rig.touch.CheckLostUp();
    QVERIFY(framesAre(rig.frames, {{slot(1), trackingId(-1), touching(0), syn}, {syn}}));
}

void TestEvdevFrames::trackingIdsStayUniqueWhenASlotIsReused()
{
    Rig rig;
    rig.touch.PenDown(1, 10, 10);
    rig.touch.PenUp(1);
    rig.frames.clear();
    rig.touch.PenDown(1, 10, 10);
    // Same slot 0, same position, but a new contact: a new tracking id and a new touch. A new
    // contact always states its position (the kernel drops it again if the slot held it).
    QVERIFY(framesAre(rig.frames, {{syn}, {trackingId(1), mtX(10), mtY(10), touching(1), syn}}));
}

void TestEvdevFrames::positionsAreRelativeToThePrimaryScreenAndClamped()
{
    Rig rig(QRect(1920, 0, 1920, 1080));
    rig.touch.PenDown(1, 2880, 540);
    rig.touch.PenMove(1, 5000, -5);
    QCOMPARE(rig.frames.size(), 3);
    QVERIFY(framesAre({rig.frames[1], rig.frames[2]},
                      {{trackingId(0), mtX(960), mtY(540), touching(1), x(960), y(540), syn},
                       {mtX(1919), mtY(0), x(1919), y(0), syn}}));
}

void TestEvdevFrames::screenResizedAfterCreationIsScaledIntoTheAxes()
{
    // Created on 1920x1080 at left 1920; the screen then switches to 1280x720 and moves to
    // 0,0. The desktop still stretches the 1920x1080 axes over the output.
    evdev::TouchFrameEncoder encoder(QRect(1920, 0, 1920, 1080));
    encoder.setScreen(QRect(0, 0, 1280, 720));
    injection::PointerTouchInfo record;
    injection::fillTouchRecord(record, 1, injection::FlagsDrag, 640, 719, 640, 719);
    Frame events;
    QVERIFY(encoder.encode(1, &record, events));
    QVERIFY(framesAre({events},
                      {{trackingId(0), mtX(960), mtY(1078), touching(1), x(960), y(1078), syn}}));
}

void TestEvdevFrames::contactMissingFromAFrameHasGone()
{
    evdev::TouchFrameEncoder encoder(QRect(0, 0, 100, 100));
    injection::PointerTouchInfo records[2];
    injection::fillTouchRecord(records[0], 1, injection::FlagsDrag, 10, 10, 10, 10);
    injection::fillTouchRecord(records[1], 2, injection::FlagsDrag, 20, 20, 20, 20);
    Frame first, second;
    QVERIFY(encoder.encode(2, records, first));
    QVERIFY(encoder.encode(1, &records[1], second));
    QVERIFY(framesAre({second}, {{slot(0), trackingId(-1), x(20), y(20), syn}}));
    QVERIFY(encoder.touching());
    Frame none;
    QVERIFY(encoder.encode(0, nullptr, none));
    QVERIFY(framesAre({none}, {{slot(1), trackingId(-1), touching(0), syn}}));
    QVERIFY(!encoder.touching());
}

void TestEvdevFrames::framesNeedingMoreSlotsThanExistAreRefused()
{
    evdev::TouchFrameEncoder encoder(QRect(0, 0, 100, 100));
    std::vector<injection::PointerTouchInfo> records(evdev::TOUCH_SLOTS + 1);
    for (size_t i = 0; i < records.size(); ++i)
        injection::fillTouchRecord(records[i], quint32(i), injection::FlagsDrag, 1, 1, 1, 1);
    Frame events;
    QVERIFY(!encoder.encode(quint32(records.size()), records.data(), events));
    QVERIFY(events.empty());
    QVERIFY(!encoder.touching());
    QVERIFY(encoder.encode(evdev::TOUCH_SLOTS, records.data(), events));
}

void TestEvdevFrames::mouseRecords_data()
{
    using namespace injection;
    QTest::addColumn<quint32>("flags");
    QTest::addColumn<int>("dx");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QList<int>>("events"); // code, value pairs before SYN_REPORT
    QTest::newRow("absolute move")
        << 0x8001u << 32767 << true << QList<int>{ABS_X, 32767, ABS_Y, 100};
    QTest::newRow("left down") << 0x0002u << 0 << true << QList<int>{BTN_LEFT, 1};
    QTest::newRow("left up") << 0x0004u << 0 << true << QList<int>{BTN_LEFT, 0};
    QTest::newRow("relative move") << 0x0001u << 5 << false << QList<int>{};
    QTest::newRow("right button") << 0x0008u << 0 << false << QList<int>{};
}

void TestEvdevFrames::mouseRecords()
{
    QFETCH(quint32, flags);
    QFETCH(int, dx);
    QFETCH(bool, accepted);
    QFETCH(QList<int>, events);
    Frame got;
    QCOMPARE(evdev::encodeMouseRecord(injection::makeMouseRecord(dx, 100, flags), got), accepted);
    Frame want;
    for (int i = 0; i + 1 < events.size(); i += 2)
        want.push_back(
            {quint16(events[i] == BTN_LEFT ? EV_KEY : EV_ABS), quint16(events[i]), events[i + 1]});
    if (accepted)
        want.push_back(syn);
    QVERIFY(framesAre({got}, {want}));
}

QTEST_GUILESS_MAIN(TestEvdevFrames)
#include "tst_evdevframes.moc"
