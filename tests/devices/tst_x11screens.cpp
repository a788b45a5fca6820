// The target screen on an X server of two monitors, under Xvfb (tools/with-xvfb.sh): the
// stroke of the mouse mode lands on the chosen monitor, and the binding writes and keeps
// the matrix of a device of that server. The 2560x800 root is split into two RandR 1.5
// monitors before the application connects, the right one primary.
#include "engine/injection/mousedevice_xtest.h"
#include "engine/injection/screenbinding_x11.h"
#include "engine/injection/screenbindings_linux.h"
#include "engine/injection/screengeometry.h"
#include "engine/pen/penpath.h"
#include "support/manualclock.h"

#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>

#include "support/x11desktop.h"

using namespace x11test;

namespace {
const QRect left(0, 0, 1280, 800);
const QRect right(1280, 0, 1280, 800);
const QRect desktop(0, 0, 2560, 800);
constexpr char POINTER[] = "Virtual core XTEST pointer";

// Hands the dispatch the XTest mouse.
struct XTestDevices final : InjectionBackend {
    std::unique_ptr<TouchDevice> createTouchDevice() override { return nullptr; }
    std::unique_ptr<MouseDevice> createMouseDevice() override
    {
        QString cause;
        return createXTestMouseDevice(&cause);
    }
    bool touchInjectionAvailable() const override { return false; }
};

DeviceArea lastArea(const QSignalSpy& areas)
{
    return areas.isEmpty() ? DeviceArea{} : areas.last().at(0).value<DeviceArea>();
}

void pen(PenPath& path, int button, int x, int y)
{
    const PenEvent event{1, button, x, y};
    path.dispatch.handleDatagram({&event, 1});
}
} // namespace

class TestX11Screens : public QObject {
    Q_OBJECT
public:
    explicit TestX11Screens(Display* display) : m_display(display) {}

private slots:
    // Where they lie shows in where the strokes land, below.
    void qtListsTheMonitorsPrimaryFirst()
    {
        QStringList screens;
        for (const ScreenInfo& s : desktopScreens())
            screens << s.name + (s.primary ? " primary" : "");
        QCOMPARE(screens, QStringList({"Right primary", "Left"}));
    }

    // Which screen a name chooses is tst_injection's; here the X server shows where it lies.
    void strokeLandsOnTheTargetMonitor_data()
    {
        QTest::addColumn<QString>("wanted");
        QTest::addColumn<QPoint>("centre"); // where the pen space's centre lands
        QTest::newRow("the primary one by default") << "" << QPoint(1920, 400);
        QTest::newRow("the one named") << "Left" << QPoint(640, 400);
    }
    void strokeLandsOnTheTargetMonitor()
    {
        QFETCH(QString, wanted);
        QFETCH(QPoint, centre);
        bool missing = false;
        const ScreenTarget target = chooseTarget(wanted, desktopScreens(), &missing);
        PenPath path(std::make_shared<XTestDevices>(), std::make_shared<ManualClock>());
        path.dispatch.setPenMode(PenMode::Mouse);
        path.dispatch.setTarget(target);
        QVERIFY(path.dispatch.startInjecting());
        pen(path, 1, 640, 400);
        QTRY_COMPARE(pointerAt(m_display), centre);
        pen(path, 2, 700, 420);
        QTRY_COMPARE(pointerAt(m_display), centre + QPoint(60, 20));
        pen(path, 0, 700, 420);
        path.dispatch.stopInjecting();
        QCOMPARE(target.desktop, desktop);
    }

    // The XTest pointer stands in for the program's device: it gets the device node a
    // driver would give it.
    void bindingWritesAndKeepsTheMatrix()
    {
        const int id = deviceId(m_display, POINTER);
        const QByteArray node = "/dev/input/event99";
        XIChangeProperty(m_display, id, XInternAtom(m_display, "Device Node", False), XA_STRING, 8,
                         PropModeReplace,
                         reinterpret_cast<unsigned char*>(const_cast<char*>(node.constData())),
                         int(node.size()));
        XSync(m_display, False);
        std::unique_ptr<ScreenBinding> binding = createX11ScreenBinding();
        QVERIFY(binding);
        QSignalSpy areas(binding.get(), &ScreenBinding::areaChanged);
        const ScreenBinding::Device device{QString::fromLatin1(node), POINTER, 0, 0, false};

        binding->bind(device, ScreenTarget("Left", left, desktop));
        QCOMPARE(areas.size(), 1);
        QCOMPARE(areas.takeFirst().at(0).value<DeviceArea>(), DeviceArea{left});
        QCOMPARE(deviceMatrix(m_display, id), QList<float>({0.5f, 0, 0, 0, 1, 0, 0, 0, 1}));
        // A keyboard has no matrix: nothing is written.
        QVERIFY(!writeDeviceMatrix(m_display, deviceId(m_display, "Virtual core XTEST keyboard"),
                                   x11::IDENTITY));

        // The monitor shrinks to its upper half: the matrix follows.
        setMonitor(m_display, "Left", QRect(0, 0, 1280, 400), false, true);
        QTRY_COMPARE_WITH_TIMEOUT(lastArea(areas), DeviceArea{QRect(0, 0, 1280, 400)}, 10000);
        QCOMPARE(deviceMatrix(m_display, id), QList<float>({0.5f, 0, 0, 0, 0.5f, 0, 0, 0, 1}));
        setMonitor(m_display, "Left", left, false, true);
        QTRY_COMPARE_WITH_TIMEOUT(lastArea(areas), DeviceArea{left}, 10000);

        // A screen no monitor is: the device leaves the last one for the whole desktop.
        binding->bind(device, ScreenTarget("Gone", QRect(5, 5, 10, 10), desktop));
        QCOMPARE(lastArea(areas), DeviceArea{desktop});
        QCOMPARE(deviceMatrix(m_display, id), QList<float>({1, 0, 0, 0, 1, 0, 0, 0, 1}));

        // A device that never shows: after a while it covers the desktop.
        areas.clear();
        binding->bind({"/dev/input/event98", POINTER, 0, 0, false},
                      ScreenTarget("Left", left, desktop));
        QVERIFY(areas.isEmpty());
        QVERIFY(areas.wait(10000));
        QCOMPARE(areas.takeFirst().at(0).value<DeviceArea>(), DeviceArea{desktop});
    }

private:
    Display* m_display;
};

int main(int argc, char** argv)
{
    // Monitors made by a client last as long as its connection: this one stays open.
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        qWarning("no X server: this test runs under tools/with-xvfb.sh");
        return 77;
    }
    setMonitor(display, "Left", left, false, true);
    setMonitor(display, "Right", right, true, false);
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    TestX11Screens test(display);
    const int status = QTest::qExec(&test, argc, argv);
    XCloseDisplay(display);
    return status;
}

#include "tst_x11screens.moc"
