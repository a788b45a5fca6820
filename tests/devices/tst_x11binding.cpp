// The binding for real, in the uinput VM: an Xorg of the dummy video driver and the libinput
// input driver (udev tells it of new devices) takes the program's uinput touchscreen, and
// the binding writes the touchscreen's matrix for the target monitor, where a touch lands.
#include "engine/injection/screenbindings_linux.h"
#include "engine/injection/uinputdevices_uinput.h"

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "support/x11desktop.h"

using namespace x11test;

namespace {
const QRect left(0, 0, 1280, 800);
const QRect right(1280, 0, 1280, 800);
const QRect desktop(0, 0, 2560, 800);

// One screen of 2560x800 that the test splits into two monitors; no GLX, which only
// slows the start.
constexpr char XORG_CONF[] = R"(
Section "Module"
    Disable "glx"
EndSection
Section "Device"
    Identifier "dummy"
    Driver "dummy"
    VideoRam 65536
EndSection
Section "Monitor"
    Identifier "monitor"
    HorizSync 5.0 - 1000.0
    VertRefresh 5.0 - 200.0
EndSection
Section "Screen"
    Identifier "screen"
    Device "dummy"
    Monitor "monitor"
    DefaultDepth 24
    SubSection "Display"
        Depth 24
        Virtual 2560 800
    EndSubSection
EndSection
)";
} // namespace

class TestX11Binding : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!QFile::exists(QStringLiteral("/dev/uinput")))
            QSKIP("no /dev/uinput: this test runs in the uinput VM (ctest -R x11binding)");
        for (const char* file : {"/usr/bin/Xorg", "/lib/systemd/systemd-udevd",
                                 "/usr/lib/xorg/modules/drivers/dummy_drv.so",
                                 "/usr/lib/xorg/modules/input/libinput_drv.so"})
            if (!QFile::exists(QString::fromLatin1(file)))
                QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(file)));
        QVERIFY(m_dir.isValid());
        m_udev.start(QStringLiteral("/lib/systemd/systemd-udevd"), {});
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(QStringLiteral("/run/udev/control")), 30000);
        QFile conf(m_dir.filePath(QStringLiteral("xorg.conf")));
        QVERIFY(conf.open(QIODevice::WriteOnly) && conf.write(XORG_CONF) > 0);
        conf.close();
        // Xorg writes its display number to standard output once it takes clients.
        m_xorg.start(QStringLiteral("Xorg"),
                     {"-displayfd", "1", "-config", conf.fileName(), "-noreset", "-nolisten", "tcp",
                      "-logfile", m_dir.filePath("xorg.log"), "-novtswitch", "-sharevts", "vt1"});
        while (!m_xorg.canReadLine())
            QVERIFY2(m_xorg.waitForReadyRead(120000), qPrintable(m_dir.filePath("xorg.log")));
        qputenv("DISPLAY", ":" + m_xorg.readLine().trimmed());
        m_display = XOpenDisplay(nullptr);
        QVERIFY(m_display);
        // The screen starts at the size of its first mode: it grows to its virtual size.
        XRRSetScreenSize(m_display, DefaultRootWindow(m_display), desktop.width(), desktop.height(),
                         desktop.width() / 4, desktop.height() / 4);
        setMonitor(m_display, "Left", left, false, true);
        setMonitor(m_display, "Right", right, true, false);
    }

    void touchscreenBoundToTheTargetMonitor()
    {
        std::unique_ptr<ScreenBinding> binding = createX11ScreenBinding();
        QVERIFY(binding);
        QSignalSpy areas(binding.get(), &ScreenBinding::areaChanged);
        UinputTouchDevice touch(4, std::move(binding));
        QString error;
        // Made now: the X server takes it a moment later, and the binding waits for that.
        QVERIFY2(touch.open(ScreenTarget("Right", right, desktop), &error), qPrintable(error));
        QVERIFY(areas.isEmpty());
        QVERIFY(areas.wait(30000));
        QCOMPARE(areas.last().at(0).value<DeviceArea>(), DeviceArea{right});
        const int id = deviceId(m_display, UINPUT_TOUCH_NAME);
        QVERIFY(id > 0);
        QCOMPARE(deviceMatrix(m_display, id), QList<float>({0.5f, 0, 0.5f, 0, 1, 0, 0, 0, 1}));

        // Another target, by the name of the output the monitor shows.
        touch.setTarget(ScreenTarget("DUMMY0", left, desktop));
        QCOMPARE(areas.last().at(0).value<DeviceArea>(), DeviceArea{left});
        QCOMPARE(deviceMatrix(m_display, id), QList<float>({0.5f, 0, 0, 0, 1, 0, 0, 0, 1}));

        // A touch lands on the pixel it was sent for (the server's scaling may round it down
        // by one): device range and matrix agree.
        QVERIFY(touch.beginSession(10));
        const TouchPoint point{1, TouchState::Down, QPoint(300, 200), QPoint(300, 200)};
        QVERIFY(touch.inject({&point, 1}));
        const auto near = [this] {
            const QPoint off = pointerAt(m_display) - QPoint(300, 200);
            return qAbs(off.x()) <= 1 && qAbs(off.y()) <= 1;
        };
        QTRY_VERIFY_WITH_TIMEOUT(near(), 10000);
    }

    void cleanupTestCase()
    {
        if (m_display)
            XCloseDisplay(m_display);
        for (QProcess* process : {&m_xorg, &m_udev}) {
            process->terminate();
            process->waitForFinished(30000);
        }
    }

private:
    QTemporaryDir m_dir;
    QProcess m_udev;
    QProcess m_xorg;
    Display* m_display = nullptr;
};

QTEST_GUILESS_MAIN(TestX11Binding)
#include "tst_x11binding.moc"
