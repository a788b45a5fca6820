// The program's uinput devices, created for real in the uinput VM: pens go through the
// injectors into the touchscreen and the absolute pointer, and what the kernel delivers on
// /dev/input/eventN is read back report by report.
#include "engine/injection/sendmouseevent.h"
#include "engine/injection/touchinjection.h"
#include "engine/injection/uinputdevices_uinput.h"
#include "support/manualclock.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTest>

#include <libevdev/libevdev.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {
// The primary screen lies right of another one: device positions are relative to it.
const QRect primary(1920, 0, 1280, 800);

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
        auto device = std::make_unique<UinputTouchDevice>([] { return primary; }, 4);
        UinputTouchDevice* touchscreen = device.get();
        TouchInjection touch(std::move(device), clock);
        QVERIFY(touch.Initialize());
        Reader reader(touchscreen->deviceNode());
        QVERIFY(reader.dev);
        QVERIFY(libevdev_has_property(reader.dev, INPUT_PROP_DIRECT));
        QCOMPARE(libevdev_get_abs_maximum(reader.dev, ABS_MT_POSITION_X), 1279);
        QCOMPARE(libevdev_get_abs_maximum(reader.dev, ABS_MT_POSITION_Y), 799);

        QVERIFY(touch.PenDown(1, 2560, 400)); // its hover frame shows nothing on a touchscreen
        QCOMPARE(reader.take(1), QStringList{"id=0 mtx=640 mty=400 touch=1 x=640 y=400 syn"});
        QVERIFY(touch.PenDown(2, 2240, 200));
        QCOMPARE(reader.take(1), QStringList{"slot=1 id=1 mtx=320 mty=200 syn"});
        clock->advance(60);
        QVERIFY(touch.PenMove(1, 2570, 410));
        QCOMPARE(reader.take(1), QStringList{"slot=0 mtx=650 mty=410 x=650 y=410 syn"});
        // Pen 2's up never came: 90 ms after its last own frame its contact ends, pen 1 stays.
        clock->advance(30);
        touch.CheckLostUp();
        QCOMPARE(reader.take(1), QStringList{"slot=1 id=-1 syn"});
        QVERIFY(touch.PenUp(1)); // the last contact lifts: only now BTN_TOUCH goes to 0
        QCOMPARE(reader.take(1), QStringList{"slot=0 id=-1 touch=0 syn"});
        QVERIFY(touch.PenDown(2, 1920, 799)); // slot 0 again, with a tracking id of its own
        QCOMPARE(reader.take(1), QStringList{"id=2 mtx=0 mty=799 touch=1 x=0 y=799 syn"});
    }

    void absolutePointerPressMoveReleaseAndLostUp()
    {
        auto clock = std::make_shared<ManualClock>();
        auto device = std::make_unique<UinputMouseDevice>();
        QString cause;
        QVERIFY2(device->create(&cause), qPrintable(cause));
        Reader reader(device->deviceNode());
        QVERIFY(reader.dev);
        QCOMPARE(libevdev_get_abs_maximum(reader.dev, ABS_X), 65535);
        SendMouseEvent mouse(std::move(device), clock, [] { return primary; });

        QVERIFY(mouse.PenDown(1, 2560, 400)); // the centre of the primary screen
        QCOMPARE(reader.take(2), QStringList({"x=32767 y=32767 syn", "left=1 syn"}));
        QVERIFY(mouse.PenMove(1, 3199, 799)); // its last pixel
        QCOMPARE(reader.take(1), QStringList{"x=65483 y=65453 syn"});
        QVERIFY(mouse.PenUp(1));
        QCOMPARE(reader.take(1), QStringList{"left=0 syn"});
        QVERIFY(mouse.PenDown(2, 1920, 0));
        QCOMPARE(reader.take(2), QStringList({"x=0 y=0 syn", "left=1 syn"}));
        clock->advance(90);
        mouse.CheckLostUp();
        QCOMPARE(reader.take(1), QStringList{"left=0 syn"});
    }
};

QTEST_GUILESS_MAIN(TestUinput)
#include "tst_uinput.moc"
