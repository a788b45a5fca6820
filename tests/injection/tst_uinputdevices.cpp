#include "engine/pen/pendispatch.h"
#include "evdevreports.h"
#include "engine/injection/uinputdevices_uinput.h"
#include "support/logcapture.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <libevdev/libevdev.h>

#include <fcntl.h>
#include <linux/input.h>
#include <unistd.h>

// Runs inside the uinput VM: the program's own Linux devices are created through the
// dispatcher, fed with pen events, and what the kernel delivers on /dev/input/eventN is
// read back and compared, report by report.

namespace {

struct Ev {
    int type, code, value;
};
using Report = QList<Ev>; // the events of one report, SYN_REPORT included

// The event node of the input device called `name`, found through sysfs (the VM has no
// udev and so no by-name links).
QString eventNode(const char* name)
{
    const QDir input(QStringLiteral("/sys/class/input"));
    for (const QString& entry : input.entryList({QStringLiteral("event*")}, QDir::AllEntries)) {
        QFile file(input.filePath(entry + QStringLiteral("/device/name")));
        if (file.open(QIODevice::ReadOnly) && file.readAll().trimmed() == name)
            return QStringLiteral("/dev/input/") + entry;
    }
    return {};
}

class EventReader {
public:
    explicit EventReader(const QString& node)
    {
        m_fd = ::open(QFile::encodeName(node).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (m_fd >= 0 && libevdev_new_from_fd(m_fd, &m_dev) != 0)
            m_dev = nullptr;
    }
    ~EventReader()
    {
        if (m_dev)
            libevdev_free(m_dev);
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Q_DISABLE_COPY_MOVE(EventReader)

    bool isOpen() const { return m_fd >= 0 && m_dev; }
    libevdev* device() const { return m_dev; }

    // Everything delivered since the last call, rendered. The kernel queues the events while
    // the device is written, so they are all there when the write returns.
    QStringList take()
    {
        input_event buffer[64];
        for (;;) {
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n <= 0)
                break;
            for (size_t i = 0; i < size_t(n) / sizeof(input_event); ++i) {
                m_pending.append({buffer[i].type, buffer[i].code, buffer[i].value});
                if (buffer[i].type == EV_SYN && buffer[i].code == SYN_REPORT) {
                    m_reports.append(m_pending);
                    m_pending.clear();
                }
            }
        }
        QList<Report> out;
        out.swap(m_reports);
        return evdevReports(out);
    }

private:
    int m_fd = -1;
    libevdev* m_dev = nullptr;
    Report m_pending;
    QList<Report> m_reports;
};

// The primary screen sits right of another screen, as it may on a Linux desktop. It has
// the pen's own size, so a device pixel is the pen position (the mapping has its own tests).
const QRect primary(1920, 0, 1280, 800);

} // namespace

class TestUinputDevices : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void touchscreenTwoPensWithALostUp();
    void absolutePointerPressMoveReleaseAndLostUp();
};

void TestUinputDevices::initTestCase()
{
    if (!QFile::exists(QStringLiteral("/dev/uinput")))
        QSKIP("no /dev/uinput here: this test runs inside the uinput VM (ctest test "
              "uinputdevices)");
}

void TestUinputDevices::touchscreenTwoPensWithALostUp()
{
    auto clock = std::make_shared<ManualClock>();
    PenDispatch dispatch(createPlatformInjectionBackend(), clock);
    dispatch.setScreenGeometry([] { return primary; });
    QVERIFY(dispatch.touchInjectionAvailable());
    QVERIFY(dispatch.createTouchInjector()); // creates the touchscreen now, not at the first pen

    const QString node = eventNode(UINPUT_TOUCH_NAME);
    QVERIFY2(!node.isEmpty(), "no event node for the touchscreen");
    EventReader reader(node);
    QVERIFY(reader.isOpen());
    libevdev* dev = reader.device();
    QVERIFY(libevdev_has_property(dev, INPUT_PROP_DIRECT));
    QCOMPARE(libevdev_get_num_slots(dev), 16);
    QCOMPARE(libevdev_get_abs_maximum(dev, ABS_MT_POSITION_X), 1279);
    QCOMPARE(libevdev_get_abs_maximum(dev, ABS_MT_POSITION_Y), 799);
    QCOMPARE(libevdev_get_abs_maximum(dev, ABS_X), 1279);
    QVERIFY(libevdev_get_abs_resolution(dev, ABS_MT_POSITION_X) > 0);
    QVERIFY(libevdev_has_event_code(dev, EV_KEY, BTN_TOUCH));

    // Pen 1 down: the hover frame changes nothing on a touchscreen; the touch-down frame
    // starts tracking id 0 in slot 0.
    dispatch.penStatus(1, 1, 640, 400);
    QCOMPARE(reader.take(), QStringList{"id=0 mtx=640 mty=400 touch=1 x=640 y=400 syn"});
    // Pen 2 down: slot 1, tracking id 1; the single-touch pointer stays with pen 1.
    dispatch.penStatus(2, 1, 320, 200);
    QCOMPARE(reader.take(), QStringList{"slot=1 id=1 mtx=320 mty=200 syn"});
    dispatch.penStatus(1, 2, 650, 410);
    QCOMPARE(reader.take(), QStringList{"slot=0 mtx=650 mty=410 x=650 y=410 syn"});
    // Pen 1's up record is lost; pen 2 keeps writing. At 90 ms pen 1's contact ends and the
    // pointer goes to pen 2, then pen 2's own move follows.
    clock->advance(60);
    dispatch.penStatus(2, 2, 330, 215);
    QCOMPARE(reader.take(), QStringList{"slot=1 mtx=330 mty=215 syn"});
    clock->advance(30);
    dispatch.penStatus(2, 2, 345, 230);
    QCOMPARE(reader.take(), QStringList({"slot=0 id=-1 x=330 y=215 syn",
                                         "slot=1 mtx=345 mty=230 x=345 y=230 syn"}));
    // Pen 2 up: the last contact lifts, and only now BTN_TOUCH goes to 0.
    dispatch.penStatus(2, 0, 345, 230);
    QCOMPARE(reader.take(), QStringList{"id=-1 touch=0 syn"});
    // The next contact reuses slot 0 with a new tracking id.
    dispatch.penStatus(1, 1, 640, 400);
    QCOMPARE(reader.take(), QStringList{"slot=0 id=2 mtx=640 mty=400 touch=1 x=640 y=400 syn"});
    dispatch.stopLostEventTimer();
}

void TestUinputDevices::absolutePointerPressMoveReleaseAndLostUp()
{
    auto clock = std::make_shared<ManualClock>();
    LogCapture log;
    PenDispatch dispatch(createPlatformInjectionBackend(), clock); // creates the pointer
    dispatch.setScreenGeometry([] { return primary; });
    dispatch.setPenMode(PEN_MODE_MOUSE);

    const QString node = eventNode(UINPUT_POINTER_NAME);
    QVERIFY2(!node.isEmpty(), "no event node for the pointer");
    EventReader reader(node);
    QVERIFY(reader.isOpen());
    QCOMPARE(libevdev_get_abs_maximum(reader.device(), ABS_X), 65535);
    QCOMPARE(libevdev_get_abs_maximum(reader.device(), ABS_Y), 65535);
    QVERIFY(libevdev_has_event_code(reader.device(), EV_KEY, BTN_LEFT));

    dispatch.penStatus(1, 1, 640, 400); // the centre of the primary screen
    QCOMPARE(reader.take(), QStringList({"x=32767 y=32767 syn", "left=1 syn"}));
    dispatch.penStatus(1, 2, 1279, 799); // its last pixel
    QCOMPARE(reader.take(), QStringList{"x=65483 y=65453 syn"});
    dispatch.penStatus(1, 0, 1279, 799);
    QCOMPARE(reader.take(), QStringList{"left=0 syn"});

    // A press whose release never arrives: the watchdog releases it.
    dispatch.penStatus(2, 1, 0, 0);
    QCOMPARE(reader.take(), QStringList({"x=0 y=0 syn", "left=1 syn"}));
    clock->advance(90);
    dispatch.chkLostUpEventsProc();
    QCOMPARE(reader.take(), QStringList{"left=0 syn"});
    QCOMPARE(log.count(" -->Lost Up event!!"), 1);
    QVERIFY(!log.lines("quillrelay.inject").join('\n').contains(QLatin1String("NG")));
}

QTEST_GUILESS_MAIN(TestUinputDevices)
#include "tst_uinputdevices.moc"
