#include "engine/pen/pendispatch.h"
#include "engine/injection/mousedevice_xtest.h"
#include "support/logcapture.h"

#include <QTest>

#include <X11/Xlib.h>

namespace {

// The program's XTest device behind the recording backend's touch side: only the mouse
// path reaches the X server.
class XTestBackend final : public InjectionBackend {
public:
    std::unique_ptr<TouchDevice> createTouchDevice(const ScreenGeometry&) override
    {
        return nullptr;
    }
    std::unique_ptr<MouseDevice> createMouseDevice(const ScreenGeometry& screen) override
    {
        QString cause;
        auto device = createXTestMouseDevice(screen, &cause);
        if (!device)
            qWarning().noquote() << cause;
        return device;
    }
    bool touchInjectionAvailable() const override { return false; }
};

struct Pointer {
    QPoint root;
    bool button1 = false;
    bool operator==(const Pointer& o) const { return root == o.root && button1 == o.button1; }
};

char* toString(const Pointer& p)
{
    return qstrdup(QStringLiteral("(%1,%2) button 1 %3")
                       .arg(p.root.x())
                       .arg(p.root.y())
                       .arg(p.button1 ? "down" : "up")
                       .toLatin1());
}

} // namespace

class TestXTestMouse : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void penPressMovesAndPressesThePointer_data();
    void penPressMovesAndPressesThePointer();

private:
    Pointer pointer() const;
    Display* m_display = nullptr;
};

void TestXTestMouse::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("no DISPLAY: run through run-under-xvfb.sh (ctest test xtestmouse)");
    m_display = XOpenDisplay(nullptr);
    QVERIFY2(m_display, "cannot open the X display");
}

void TestXTestMouse::cleanupTestCase()
{
    if (m_display)
        XCloseDisplay(m_display);
}

Pointer TestXTestMouse::pointer() const
{
    Window root = 0, child = 0;
    int rootX = 0, rootY = 0, winX = 0, winY = 0;
    unsigned mask = 0;
    XQueryPointer(m_display, DefaultRootWindow(m_display), &root, &child, &rootX, &rootY, &winX,
                  &winY, &mask);
    return {QPoint(rootX, rootY), (mask & Button1Mask) != 0};
}

void TestXTestMouse::penPressMovesAndPressesThePointer_data()
{
    QTest::addColumn<QRect>("primary");
    QTest::addColumn<QPoint>("pen"); // pressed at the centre (640, 400), then moved here
    QTest::addColumn<QPoint>("centre");
    QTest::addColumn<QPoint>("pixel"); // where the move puts the pointer
    QTest::newRow("primary at 0,0")
        << QRect(0, 0, 1920, 1080) << QPoint(1272, 755) << QPoint(960, 540) << QPoint(1918, 1078);
    QTest::newRow("primary at left 1920")
        << QRect(1920, 0, 1920, 1080) << QPoint(6, 44) << QPoint(2880, 540) << QPoint(1920, 0);
}

void TestXTestMouse::penPressMovesAndPressesThePointer()
{
    QFETCH(QRect, primary);
    QFETCH(QPoint, pen);
    QFETCH(QPoint, centre);
    QFETCH(QPoint, pixel);
    LogCapture log;
    PenDispatch dispatch(std::make_shared<XTestBackend>(), makeSteadyClock());
    dispatch.setScreenGeometry([primary] { return primary; });
    dispatch.setPenMode(PEN_MODE_MOUSE);

    // The device waits for the server after every record, so the pointer is already where
    // the pen put it when penStatus returns.
    dispatch.penStatus(1, 1, 640, 400);
    QCOMPARE(pointer(), (Pointer{centre, true}));
    dispatch.penStatus(1, 2, pen.x(), pen.y());
    QCOMPARE(pointer(), (Pointer{pixel, true}));
    dispatch.penStatus(1, 0, pen.x(), pen.y());
    QCOMPARE(pointer(), (Pointer{pixel, false}));
    dispatch.stopLostEventTimer();
    QVERIFY(log.lines("quillrelay.inject").isEmpty()); // no rejected input
}

QTEST_GUILESS_MAIN(TestXTestMouse)
#include "tst_xtestmouse.moc"
