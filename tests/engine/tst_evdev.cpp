// The Linux touchscreen's reports, made from the frames the touch injector really sends.
#include "engine/injection/evdevframes_uinput.h"
#include "engine/injection/touchinjection.h"
#include "support/evdevreports.h"
#include "support/manualclock.h"

#include <QTest>

using Frame = std::vector<evdev::Event>;

namespace {
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
} // namespace

class TestEvdev : public QObject {
    Q_OBJECT
private slots:
    void touchReports_data()
    {
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<QString>("script"); // "d|m|u ID X Y", "w MS", "lost"
        QTest::addColumn<QStringList>("reports");
        const QRect hd(0, 0, 1920, 1080);
        // A touchscreen has no hover: the hover frame is an empty report.
        QTest::newRow("down touches with the touch-down frame")
            << hd << "d 1 500 300" << QStringList{"syn", "id=0 mtx=500 mty=300 touch=1 x=500 y=300 syn"};
        QTest::newRow("second pen in the next slot; the first stays the pointer")
            << hd << "d 1 500 300; d 2 900 700; m 2 901 700; m 1 501 300"
            << QStringList{"syn", "id=0 mtx=500 mty=300 touch=1 x=500 y=300 syn", "syn",
                           "slot=1 id=1 mtx=900 mty=700 syn", "mtx=901 syn", "slot=0 mtx=501 x=501 syn"};
        QTest::newRow("touch stays until the last pen lifts; a reused slot gets a new id")
            << hd << "d 1 10 10; d 2 20 20; u 1; u 2; d 1 10 10"
            << QStringList{"syn", "id=0 mtx=10 mty=10 touch=1 x=10 y=10 syn", "syn",
                           "slot=1 id=1 mtx=20 mty=20 syn", "slot=0 id=-1 x=20 y=20 syn", "syn",
                           "slot=1 id=-1 touch=0 syn", "syn", "syn",
                           "slot=0 id=2 mtx=10 mty=10 touch=1 x=10 y=10 syn"};
        QTest::newRow("lost up ends the contact")
            << hd << "d 1 10 10; w 90; lost"
            << QStringList{"syn", "id=0 mtx=10 mty=10 touch=1 x=10 y=10 syn", "id=-1 touch=0 syn", "syn"};
        QTest::newRow("positions relative to the primary screen, clamped")
            << QRect(1920, 0, 1920, 1080) << "d 1 2880 540; m 1 5000 -5"
            << QStringList{"syn", "id=0 mtx=960 mty=540 touch=1 x=960 y=540 syn",
                           "mtx=1919 mty=0 x=1919 y=0 syn"};
    }
    void touchReports()
    {
        QFETCH(QRect, screen);
        QFETCH(QString, script);
        QFETCH(QStringList, reports);
        QList<Frame> frames;
        auto clock = std::make_shared<ManualClock>();
        TouchInjection touch(std::make_unique<EncodingTouchDevice>(screen, &frames), clock);
        QVERIFY(touch.Initialize());
        for (const QString& step : script.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QStringList f = step.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            const auto n = [&](int i) { return f.value(i).toInt(); };
            if (f[0] == QLatin1String("d"))
                touch.PenDown(n(1), n(2), n(3));
            else if (f[0] == QLatin1String("m"))
                touch.PenMove(n(1), n(2), n(3));
            else if (f[0] == QLatin1String("u"))
                touch.PenUp(n(1));
            else if (f[0] == QLatin1String("w"))
                clock->advance(n(1));
            else
                touch.CheckLostUp();
        }
        QCOMPARE(evdevReports(frames), reports);
    }

    void framesNeedingMoreSlotsThanExistAreRefused()
    {
        evdev::TouchFrameEncoder encoder(QRect(0, 0, 100, 100));
        std::vector<injection::PointerTouchInfo> records(evdev::TOUCH_SLOTS + 1);
        for (quint32 i = 0; i < records.size(); ++i)
            injection::fillTouchRecord(records[i], i, injection::FlagsDrag, 1, 1, 1, 1);
        Frame events;
        QVERIFY(!encoder.encode(quint32(records.size()), records.data(), events));
        QVERIFY(events.empty() && !encoder.touching());
        QVERIFY(encoder.encode(evdev::TOUCH_SLOTS, records.data(), events));
    }

    void mouseReports_data()
    {
        QTest::addColumn<quint32>("flags");
        QTest::addColumn<QString>("report"); // empty: refused
        QTest::newRow("absolute move") << 0x8001u << "x=32767 y=100 syn";
        QTest::newRow("left down") << 0x0002u << "left=1 syn";
        QTest::newRow("left up") << 0x0004u << "left=0 syn";
        QTest::newRow("relative move") << 0x0001u << "";
        QTest::newRow("right button") << 0x0008u << "";
    }
    void mouseReports()
    {
        QFETCH(quint32, flags);
        QFETCH(QString, report);
        Frame got;
        QCOMPARE(evdev::encodeMouseRecord(injection::makeMouseRecord(32767, 100, flags), got),
                 !report.isEmpty());
        QCOMPARE(evdevReports(QList<Frame>{got}), QStringList{report});
    }
};

QTEST_GUILESS_MAIN(TestEvdev)
#include "tst_evdev.moc"
