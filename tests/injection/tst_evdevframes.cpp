#include "evdevreports.h"
#include "engine/injection/evdevframes_uinput.h"
#include "engine/injection/touchinjection.h"
#include "injectiontest.h"

#include <QTest>

using Frame = std::vector<evdev::Event>;

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

injection::PointerTouchInfo dragRecord(quint32 id, int x, int y)
{
    injection::PointerTouchInfo record;
    injection::fillTouchRecord(record, id, injection::FlagsDrag, x, y, x, y);
    return record;
}

} // namespace

class TestEvdevFrames : public QObject {
    Q_OBJECT
private slots:
    void penScenario_data();
    void penScenario();
    void screenResizedAfterCreationIsScaledIntoTheAxes();
    void contactMissingFromAFrameHasGone();
    void framesNeedingMoreSlotsThanExistAreRefused();
    void mouseRecords_data();
    void mouseRecords();
};

void TestEvdevFrames::penScenario_data()
{
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("act");
    QTest::addColumn<QStringList>("reports");
    const QRect hd(0, 0, 1920, 1080);
    const QString twoPens = QStringLiteral("down 1 500 300; down 2 900 700");

    // A touchscreen has no hover: the hover frame is an empty report.
    QTest::newRow("down touches only with the touch-down frame")
        << hd << ""
        << "down 1 500 300" << QStringList{"syn", "id=0 mtx=500 mty=300 touch=1 x=500 y=300 syn"};
    QTest::newRow("second pen in the next slot, the first stays the pointer")
        << hd << twoPens << "move 2 901 700; move 1 501 300"
        << QStringList{"mtx=901 syn", "slot=0 mtx=501 x=501 syn"};
    QTest::newRow("BTN_TOUCH stays until the last pen lifts")
        << hd << twoPens << "up 1; up 2"
        << QStringList{"slot=0 id=-1 x=900 y=700 syn", "syn", "slot=1 id=-1 touch=0 syn", "syn"};
    QTest::newRow("lost up ends the silent contact")
        << hd << twoPens + "; wait 60; move 2 905 700; wait 30"
        << "lost; wait 90; lost"
        << QStringList{"slot=0 id=-1 x=905 y=700 syn", "syn", "slot=1 id=-1 touch=0 syn", "syn"};
    // Same slot, same place, but a new contact: a new tracking id, and its position stated
    // again (the kernel drops it otherwise, since the slot held it).
    QTest::newRow("reused slot gets a new tracking id")
        << hd << "down 1 10 10; up 1"
        << "down 1 10 10" << QStringList{"syn", "id=1 mtx=10 mty=10 touch=1 syn"};
    QTest::newRow("positions relative to the primary screen, clamped")
        << QRect(1920, 0, 1920, 1080) << ""
        << "down 1 2880 540; move 1 5000 -5"
        << QStringList{"syn", "id=0 mtx=960 mty=540 touch=1 x=960 y=540 syn",
                       "mtx=1919 mty=0 x=1919 y=0 syn"};
}

void TestEvdevFrames::penScenario()
{
    QFETCH(QRect, screen);
    QFETCH(QString, setup);
    QFETCH(QString, act);
    QFETCH(QStringList, reports);
    QList<Frame> frames;
    auto clock = std::make_shared<ManualClock>();
    TouchInjection touch(std::make_unique<EncodingTouchDevice>(screen, &frames), clock);
    QVERIFY(touch.Initialize());
    runPenScript(touch, *clock, setup);
    frames.clear();
    runPenScript(touch, *clock, act);
    QCOMPARE(evdevReports(frames), reports);
}

void TestEvdevFrames::screenResizedAfterCreationIsScaledIntoTheAxes()
{
    // Created on 1920x1080 at left 1920; the screen then switches to 1280x720 and moves to
    // 0,0. The desktop still stretches the 1920x1080 axes over the output.
    evdev::TouchFrameEncoder encoder(QRect(1920, 0, 1920, 1080));
    encoder.setScreen(QRect(0, 0, 1280, 720));
    const auto record = dragRecord(1, 640, 719);
    Frame events;
    QVERIFY(encoder.encode(1, &record, events));
    QCOMPARE(evdevReports(QList<Frame>{events}),
             QStringList{"id=0 mtx=960 mty=1078 touch=1 x=960 y=1078 syn"});
}

void TestEvdevFrames::contactMissingFromAFrameHasGone()
{
    // A frame the device took but the injector then dropped leaves a contact the encoder
    // knows and the next frame lacks: it must end there, not stay pressed.
    evdev::TouchFrameEncoder encoder(QRect(0, 0, 100, 100));
    const injection::PointerTouchInfo records[2] = {dragRecord(1, 10, 10), dragRecord(2, 20, 20)};
    Frame first, second, none;
    QVERIFY(encoder.encode(2, records, first));
    QVERIFY(encoder.encode(1, &records[1], second));
    QVERIFY(encoder.touching());
    QVERIFY(encoder.encode(0, nullptr, none));
    QVERIFY(!encoder.touching());
    QCOMPARE(evdevReports(QList<Frame>{second, none}),
             QStringList({"slot=0 id=-1 x=20 y=20 syn", "slot=1 id=-1 touch=0 syn"}));
}

void TestEvdevFrames::framesNeedingMoreSlotsThanExistAreRefused()
{
    evdev::TouchFrameEncoder encoder(QRect(0, 0, 100, 100));
    std::vector<injection::PointerTouchInfo> records;
    for (int i = 0; i <= evdev::TOUCH_SLOTS; ++i)
        records.push_back(dragRecord(quint32(i), 1, 1));
    Frame events;
    QVERIFY(!encoder.encode(quint32(records.size()), records.data(), events));
    QVERIFY(events.empty());
    QVERIFY(!encoder.touching());
    QVERIFY(encoder.encode(evdev::TOUCH_SLOTS, records.data(), events));
}

void TestEvdevFrames::mouseRecords_data()
{
    QTest::addColumn<quint32>("flags");
    QTest::addColumn<int>("dx");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("report");
    QTest::newRow("absolute move") << 0x8001u << 32767 << true << "x=32767 y=100 syn";
    QTest::newRow("left down") << 0x0002u << 0 << true << "left=1 syn";
    QTest::newRow("left up") << 0x0004u << 0 << true << "left=0 syn";
    QTest::newRow("relative move") << 0x0001u << 5 << false << "";
    QTest::newRow("right button") << 0x0008u << 0 << false << "";
}

void TestEvdevFrames::mouseRecords()
{
    QFETCH(quint32, flags);
    QFETCH(int, dx);
    QFETCH(bool, accepted);
    QFETCH(QString, report);
    Frame got;
    QCOMPARE(evdev::encodeMouseRecord(injection::makeMouseRecord(dx, 100, flags), got), accepted);
    QCOMPARE(evdevReports(QList<Frame>{got}), QStringList{report});
}

QTEST_GUILESS_MAIN(TestEvdevFrames)
#include "tst_evdevframes.moc"
