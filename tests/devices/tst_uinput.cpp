// The program's uinput devices, created for real in the uinput VM: pens go through the
// dispatch and the injectors into the touchscreen and the absolute pointer, and what the
// kernel delivers on /dev/input/eventN is read back report by report. Then an Xorg of the
// dummy video driver and the libinput input driver (udev tells it of new devices) takes the
// touchscreen, and the X11 binding writes its matrix for the target monitor, where a touch
// lands.
#include "engine/injection/screenbindings_linux.h"
#include "engine/injection/uinputdevices_uinput.h"
#include "engine/pen/pendispatch.h"
#include "support/manualclock.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <libevdev/libevdev.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "support/x11desktop.h"

using namespace x11test;

namespace {
// Two monitors side by side. The target of the pens is the right one: device positions are
// relative to it. At 1280 x 800 a pen unit is a pixel.
const QRect left(0, 0, 1280, 800);
const QRect right(1280, 0, 1280, 800);
const QRect desktop(0, 0, 2560, 800);

// Hands the dispatch the devices the test made, so that the test can read their nodes.
struct OwnDevices final : InjectionBackend {
    std::unique_ptr<TouchDevice> touch;
    std::unique_ptr<MouseDevice> mouse;
    std::unique_ptr<TouchDevice> createTouchDevice() override { return std::move(touch); }
    std::unique_ptr<MouseDevice> createMouseDevice() override { return std::move(mouse); }
    bool touchInjectionAvailable() const override { return true; }
};

// A datagram of one pen event.
void pen(PenDispatch& pens, int id, int button, int x, int y)
{
    const PenEvent event{id, button, x, y};
    pens.handleDatagram({&event, 1});
}

// The reports of one device node, rendered "slot=1 id=-1 touch=0 syn".
struct Reader {
    explicit Reader(const QString& node)
        : fd(::open(QFile::encodeName(node).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC))
    {
        if (fd < 0 || libevdev_new_from_fd(fd, &dev) != 0)
            dev = nullptr;
    }
    ~Reader()
    {
        libevdev_free(dev);
        ::close(fd);
    }

    // Everything delivered since the last call, once at least `count` reports are there
    // (or 5 s have passed).
    QStringList take(int count)
    {
        // clang-format off
        static const QHash<int, QString> names{{ABS_X, "x"}, {ABS_Y, "y"}, {ABS_MT_SLOT, "slot"},
            {ABS_MT_TRACKING_ID, "id"}, {ABS_MT_POSITION_X, "mtx"}, {ABS_MT_POSITION_Y, "mty"},
            {BTN_TOUCH, "touch"}, {BTN_LEFT, "left"}};
        // clang-format on
        const QDeadlineTimer deadline(5000);
        pollfd readable{fd, POLLIN, 0};
        do {
            input_event e;
            while (::read(fd, &e, sizeof e) == sizeof e) {
                if (e.type == EV_SYN && e.code == SYN_REPORT)
                    reports << std::exchange(current, {}) + "syn";
                else
                    current += names.value(e.code, QString::number(e.code)) + '=' +
                               QString::number(e.value) + ' ';
            }
        } while (reports.size() < count && ::poll(&readable, 1, int(deadline.remainingTime())) > 0);
        return std::exchange(reports, {});
    }

    int fd;
    libevdev* dev = nullptr;
    QStringList reports;
    QString current;
};
} // namespace

class TestUinput : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!QFile::exists(QStringLiteral("/dev/uinput")))
            QSKIP("no /dev/uinput: this test runs in the uinput VM (ctest -R uinput)");
    }

    void touchscreenTwoPensAndALostUp()
    {
        auto clock = std::make_shared<ManualClock>();
        auto devices = std::make_shared<OwnDevices>();
        devices->touch = std::make_unique<UinputTouchDevice>(4, nullptr);
        auto* touchscreen = static_cast<UinputTouchDevice*>(devices->touch.get());
        PenDispatch touch(devices, clock);
        touch.setTarget(right);
        QVERIFY(touch.startInjecting());
        Reader reader(touchscreen->deviceNode());
        QVERIFY(reader.dev);
        QVERIFY(libevdev_has_property(reader.dev, INPUT_PROP_DIRECT));
        QCOMPARE(libevdev_get_abs_maximum(reader.dev, ABS_MT_POSITION_X), 1279);
        QCOMPARE(libevdev_get_abs_maximum(reader.dev, ABS_MT_POSITION_Y), 799);

        pen(touch, 1, 1, 640, 400); // its hover frame shows nothing on a touchscreen
        QCOMPARE(reader.take(1), QStringList{"id=0 mtx=640 mty=400 touch=1 x=640 y=400 syn"});
        pen(touch, 2, 1, 320, 200);
        QCOMPARE(reader.take(1), QStringList{"slot=1 id=1 mtx=320 mty=200 syn"});
        clock->advance(60);
        pen(touch, 1, 2, 650, 410);
        QCOMPARE(reader.take(1), QStringList{"slot=0 mtx=650 mty=410 x=650 y=410 syn"});
        // Pen 2's up never came: 90 ms after its last own frame its contact ends while pen 1
        // writes on (where it is: that frame changes nothing on the screen).
        clock->advance(30);
        pen(touch, 1, 2, 650, 410);
        QCOMPARE(reader.take(1), QStringList{"slot=1 id=-1 syn"});
        pen(touch, 1, 0, 650, 410); // the last contact lifts: only now BTN_TOUCH goes to 0
        QCOMPARE(reader.take(1), QStringList{"slot=0 id=-1 touch=0 syn"});
        pen(touch, 2, 1, 0, 799); // slot 0 again, with a tracking id of its own
        QCOMPARE(reader.take(1), QStringList{"id=2 mtx=0 mty=799 touch=1 x=0 y=799 syn"});
        touch.stopLostEventTimer();
    }

    void absolutePointerPressMoveRelease()
    {
        auto device = std::make_unique<UinputMouseDevice>(nullptr);
        QString cause;
        QVERIFY2(device->create(&cause), qPrintable(cause));
        Reader reader(device->deviceNode());
        QVERIFY(reader.dev);
        QCOMPARE(libevdev_get_abs_maximum(reader.dev, ABS_X), 65535);
        auto devices = std::make_shared<OwnDevices>();
        devices->mouse = std::move(device);
        PenDispatch mouse(devices, std::make_shared<ManualClock>());
        mouse.setPenMode(PenMode::Mouse);
        mouse.setTarget(right);
        QVERIFY(mouse.startInjecting());

        pen(mouse, 1, 1, 640, 400); // the centre of the target screen
        QCOMPARE(reader.take(2), QStringList({"x=32768 y=32768 syn", "left=1 syn"}));
        pen(mouse, 1, 2, 1279, 799); // its last pixel
        QCOMPARE(reader.take(1), QStringList{"x=65485 y=65455 syn"});
        pen(mouse, 1, 0, 1279, 799); // a lost up ends the same way: tst_injection shows when
        QCOMPARE(reader.take(1), QStringList{"left=0 syn"});
        pen(mouse, 2, 1, 0, 0); // its first pixel
        QCOMPARE(reader.take(2), QStringList({"x=0 y=0 syn", "left=1 syn"}));
    }

    void touchscreenBoundToTheTargetMonitor()
    {
        for (const char* file : {"/usr/bin/Xorg", "/lib/systemd/systemd-udevd",
                                 "/usr/lib/xorg/modules/drivers/dummy_drv.so",
                                 "/usr/lib/xorg/modules/input/libinput_drv.so"})
            if (!QFile::exists(QString::fromLatin1(file)))
                QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(file)));
        QVERIFY(m_dir.isValid());
        m_udev.start(QStringLiteral("/lib/systemd/systemd-udevd"), {});
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(QStringLiteral("/run/udev/control")), 30000);
        const QString conf = QFINDTESTDATA("xorg-dummy.conf");
        QVERIFY(!conf.isEmpty());
        // Xorg writes its display number to standard output once it takes clients.
        m_xorg.start(QStringLiteral("Xorg"),
                     {"-displayfd", "1", "-config", conf, "-noreset", "-nolisten", "tcp",
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
        QTRY_VERIFY_WITH_TIMEOUT(QRect(299, 199, 3, 3).contains(pointerAt(m_display)), 10000);
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

QTEST_GUILESS_MAIN(TestUinput)
#include "tst_uinput.moc"
