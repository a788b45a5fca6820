#include "engine/pen/pendispatch.h"
#include "support/recordinginjection.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>

// Runs with QT_SCALE_FACTOR=2: Qt then reports the screen in device-independent pixels,
// half of the device's, while the injection devices address device pixels.
class TestScreenPixels : public QObject {
    Q_OBJECT
private slots:
    void primaryScreenIsMeasuredInDevicePixels();
};

void TestScreenPixels::primaryScreenIsMeasuredInDevicePixels()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    QVERIFY(screen);
    if (screen->devicePixelRatio() != 2.0)
        QSKIP("needs QT_SCALE_FACTOR=2 (set by the ctest registration)");
    const QRect logical = screen->geometry();
    QCOMPARE(primaryScreenPixels(),
             QRect(logical.topLeft(), QSize(logical.width() * 2, logical.height() * 2)));

    // The centre of the pen space lands on the centre of the device, not of the halved
    // logical screen.
    auto backend = std::make_shared<RecordingInjectionBackend>();
    PenDispatch dispatch(backend, std::make_shared<ManualClock>());
    dispatch.createTouchInjector();
    dispatch.penStatus(1, 1, 640, 400);
    dispatch.stopLostEventTimer();
    QCOMPARE(backend->touchFrames().size(), 2);
    const auto& location = backend->touchFrames()[1][0].pointerInfo.ptPixelLocation;
    QPoint centre(640, 400);
    QVERIFY(PenDispatch::mapPenToScreen(centre, primaryScreenPixels()));
    QCOMPARE(QPoint(location.x, location.y), centre);
    QVERIFY(centre.x() > logical.right()); // beyond the logical screen: really device pixels
}

QTEST_MAIN(TestScreenPixels)
#include "tst_screenpixels.moc"
