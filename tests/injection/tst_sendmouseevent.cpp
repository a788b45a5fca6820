#include "engine/injection/sendmouseevent.h"
#include "injectiontest.h"
#include "support/logcapture.h"

#include <QTest>

using namespace injection;

namespace {

QString ngLine(int x, int y, const char* flags)
{
    return QStringLiteral(" -->SendInput[id=1, x=%1, y=%2, flags=%3, result=NG]")
        .arg(x)
        .arg(y)
        .arg(QLatin1String(flags));
}

const QString Unavailable = QStringLiteral("Mouse input unavailable: /dev/uinput is missing");

} // namespace

class TestSendMouseEvent : public QObject {
    Q_OBJECT
private slots:
    void penScenario_data();
    void penScenario();
    void everyPixelSurvivesTheNormalisedRoundTrip_data();
    void everyPixelSurvivesTheNormalisedRoundTrip();
};

void TestSendMouseEvent::penScenario_data()
{
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("act");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QStringList>("inputs"); // sent by `act`
    QTest::addColumn<QStringList>("lines");  // logged by `act`
    QTest::addColumn<int>("held");           // pens held afterwards
    const QRect hd(0, 0, 1920, 1080);
    const QStringList centreDown{"move 32767,32767", "down"};

    // A press moves the pointer, then presses the left button.
    QTest::newRow("centre of 1920x1080")
        << hd << ""
        << "down 1 960 540" << true << centreDown << QStringList() << 1;
    QTest::newRow("last pixel of 1920x1080")
        << hd << ""
        << "down 1 1919 1079" << true << QStringList{"move 65500,65474", "down"} << QStringList()
        << 1;
    QTest::newRow("first pixel") << hd << ""
                                 << "down 1 0 0" << true << QStringList{"move 0,0", "down"}
                                 << QStringList() << 1;
    QTest::newRow("primary screen at left 1920")
        << QRect(1920, 0, 1920, 1080) << ""
        << "down 1 2880 540" << true << centreDown << QStringList() << 1;
    QTest::newRow("primary screen below another")
        << QRect(0, 1080, 1280, 800) << ""
        << "down 1 1279 1879" << true << QStringList{"move 65483,65453", "down"} << QStringList()
        << 1;
    // The release does not move the pointer: the button goes up where the pointer is.
    QTest::newRow("move and release")
        << hd << "down 1 960 540"
        << "move 1 1919 1079; up 1" << true << QStringList{"move 65500,65474", "up"}
        << QStringList() << 0;
    QTest::newRow("move of an unknown pen is a lost down")
        << hd << ""
        << "move 4 960 540" << true << centreDown << QStringList{" -->Lost Down event!!"} << 1;
    QTest::newRow("up of an unknown pen does nothing")
        << hd << "down 1 960 540"
        << "up 2" << false << QStringList() << QStringList() << 1;

    // Each pen's own age counts: pen 2 keeps moving while pen 1 is silent. After the lost
    // up of pen 1, pen 2 is still held and is the only one.
    const QString twoPens = QStringLiteral(
        "down 1 100 100; down 2 200 200; wait 30; move 2 200 230; wait 30; move 2 200 260");
    QTest::newRow("89 ms silent: still held")
        << hd << twoPens + "; wait 29; move 2 200 290"
        << "lost" << true << QStringList() << QStringList() << 2;
    QTest::newRow("90 ms silent: lost up") << hd << twoPens + "; wait 30; move 2 200 290"
                                           << "lost; up 2" << true << QStringList{"up", "up"}
                                           << QStringList{" -->Lost Up event!!"} << 0;

    // Rejected records: the pen counts as released whatever was rejected.
    QTest::newRow("press, move record rejected")
        << hd << ""
        << "reject 0; down 1 960 540" << false << QStringList()
        << QStringList{ngLine(960, 540, "00008001")} << 0;
    QTest::newRow("press, button record rejected")
        << hd << ""
        << "reject 1; down 1 960 540" << false << QStringList{"move 32767,32767"}
        << QStringList{ngLine(0, 0, "00000002")} << 0;
    QTest::newRow("move rejected") << hd << "down 1 10 10"
                                   << "reject 0; move 1 100 200" << false << QStringList()
                                   << QStringList{ngLine(100, 200, "00008001")} << 0;
    QTest::newRow("release rejected")
        << hd << "down 1 10 10"
        << "reject 0; up 1" << false << QStringList() << QStringList{ngLine(0, 0, "00000004")} << 0;
    QTest::newRow("unusable device names its cause once")
        << hd << ""
        << "fail; down 1 960 540; down 1 960 540" << false << QStringList()
        << QStringList{Unavailable, ngLine(960, 540, "00008001"), ngLine(960, 540, "00008001")}
        << 0;
}

void TestSendMouseEvent::penScenario()
{
    QFETCH(QRect, screen);
    QFETCH(QString, setup);
    QFETCH(QString, act);
    QFETCH(bool, result);
    QFETCH(QStringList, inputs);
    QFETCH(QStringList, lines);
    QFETCH(int, held);
    auto backend = std::make_shared<RecordingInjectionBackend>();
    ManualClock clock;
    SendMouseEvent mouse(backend->createMouseDevice({}),
                         std::shared_ptr<MonotonicClock>(&clock, [](MonotonicClock*) {}),
                         [screen] { return screen; });
    // Besides the pen steps: "reject N" rejects the record N records from now, "fail" makes
    // the device unusable.
    const auto knobs = [&](const QStringList& f) {
        if (f[0] == QLatin1String("reject"))
            backend->rejectMouseInput(f.value(1).toInt());
        else
            backend->setMouseFailure(Unavailable);
    };
    runPenScript(mouse, clock, setup);
    backend->clearRecords();
    LogCapture log;

    QCOMPARE(runPenScript(mouse, clock, act, knobs), result);
    QCOMPARE(describe(backend->mouseInputs()), inputs);
    QCOMPARE(log.lines("quillrelay.inject"), lines);
    QCOMPARE(mouse.heldPenCount(), held);
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
        const int back = denormaliseMouseCoordinate(normalised, extent);
        if (normalised < 0 || normalised > 65535 || back != pixel)
            QFAIL(qPrintable(
                QStringLiteral("pixel %1 -> %2 -> %3").arg(pixel).arg(normalised).arg(back)));
    }
}

QTEST_GUILESS_MAIN(TestSendMouseEvent)
#include "tst_sendmouseevent.moc"
