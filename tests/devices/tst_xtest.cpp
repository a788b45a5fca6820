// The XTest mouse device against a private X server (tools/with-xvfb.sh): a pen's pixel
// is where the X pointer goes, wherever the primary screen lies on the desktop, and the pen
// presses and releases button 1. The server is asked through a connection of the test's own.
#include "engine/injection/mousedevice_xtest.h"
#include "engine/injection/sendmouseevent.h"
#include "support/manualclock.h"

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
        QTest::addColumn<QRect>("primary"); // on the X server's 2560 x 800 root window
        QTest::addColumn<QPoint>("press");
        QTest::addColumn<QPoint>("move"); // then released there
        QTest::newRow("at 0,0") << QRect(0, 0, 1280, 800) << QPoint(640, 400) << QPoint(1279, 799);
        QTest::newRow("right of another screen")
            << QRect(1280, 0, 1280, 800) << QPoint(1920, 400) << QPoint(2559, 799);
        QTest::newRow("odd size, off both axes")
            << QRect(700, 50, 1366, 700) << QPoint(700, 50) << QPoint(1383, 749);
    }
    void penMovesAndPressesThePointer()
    {
        QFETCH(QRect, primary);
        QFETCH(QPoint, press);
        QFETCH(QPoint, move);
        QString cause;
        auto device = createXTestMouseDevice([primary] { return primary; }, &cause);
        QVERIFY2(device, qPrintable(cause));
        SendMouseEvent mouse(std::move(device), std::make_shared<ManualClock>(),
                             [primary] { return primary; });
        // The server may take the input after the device returns: wait for what it shows.
        // The device sends once the datagram's records are done: each step is one datagram.
        QVERIFY(mouse.PenDown(1, press.x(), press.y()));
        mouse.flush();
        QTRY_COMPARE(pointer(), at(press, "down"));
        QVERIFY(mouse.PenMove(1, move.x(), move.y()));
        mouse.flush();
        QTRY_COMPARE(pointer(), at(move, "down"));
        QVERIFY(mouse.PenUp(1));
        mouse.flush();
        QTRY_COMPARE(pointer(), at(move, "up"));
    }
};

QTEST_GUILESS_MAIN(TestXTest)
#include "tst_xtest.moc"
