// The XTest mouse device against a private X server (tools/with-xvfb.sh): a pen's desktop
// pixel is where the X pointer goes, on either half of the root window, and the pen presses
// and releases button 1. The server is asked through a connection of the test's own.
#include "engine/injection/mousedevice_xtest.h"

#include <QTest>

#include <X11/Xlib.h>

class TestXTest : public QObject {
    Q_OBJECT
    Display* m_display = nullptr;

    // "x,y down" or "x,y up": the pointer on the root window and button 1.
    QString pointer() const
    {
        Window root, child;
        int x = -1, y = -1, winX, winY;
        unsigned mask = 0;
        XQueryPointer(m_display, DefaultRootWindow(m_display), &root, &child, &x, &y, &winX, &winY,
                      &mask);
        return QStringLiteral("%1,%2 %3").arg(x).arg(y).arg(mask & Button1Mask ? "down" : "up");
    }
    static QString at(QPoint p, const char* button)
    {
        return QStringLiteral("%1,%2 %3").arg(p.x()).arg(p.y()).arg(button);
    }

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("no DISPLAY: this test runs under tools/with-xvfb.sh (ctest -R xtest)");
        QVERIFY(m_display = XOpenDisplay(nullptr));
    }
    void cleanupTestCase() { m_display&& XCloseDisplay(m_display); }

    void penMovesAndPressesThePointer_data()
    {
        QTest::addColumn<QPoint>("press"); // on the X server's 2560 x 800 root window
        QTest::addColumn<QPoint>("move");  // then released there
        QTest::newRow("left screen") << QPoint(640, 400) << QPoint(1279, 799);
        QTest::newRow("right screen") << QPoint(1920, 400) << QPoint(2559, 799);
        QTest::newRow("off both axes") << QPoint(700, 50) << QPoint(1383, 749);
    }
    void penMovesAndPressesThePointer()
    {
        QFETCH(QPoint, press);
        QFETCH(QPoint, move);
        QString cause;
        auto device = createXTestMouseDevice(&cause);
        QVERIFY2(device, qPrintable(cause));
        // The server may take the input after the device returns: wait for what it shows.
        // The device sends once the datagram's records are done: each step is one datagram.
        QVERIFY(device->send(MouseStep::Move, press) && device->send(MouseStep::Press, {}));
        device->flush();
        QTRY_COMPARE(pointer(), at(press, "down"));
        QVERIFY(device->send(MouseStep::Move, move));
        device->flush();
        QTRY_COMPARE(pointer(), at(move, "down"));
        QVERIFY(device->send(MouseStep::Release, {}));
        device->flush();
        QTRY_COMPARE(pointer(), at(move, "up"));
    }
};

QTEST_GUILESS_MAIN(TestXTest)
#include "tst_xtest.moc"
