#include "app/pendispatch.h"
#include "injection/uinputdevices_uinput.h"
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
    friend bool operator==(const Ev& a, const Ev& b)
    {
        return a.type == b.type && a.code == b.code && a.value == b.value;
    }
};
using Report = QList<Ev>; // the events of one report, SYN_REPORT included

QString describe(const QList<Report>& reports)
{
    QStringList out;
    for (const Report& r : reports) {
        QStringList events;
        for (const Ev& e : r) {
            const char* name = libevdev_event_code_get_name(uint(e.type), uint(e.code));
            events << QStringLiteral("%1=%2").arg(QLatin1String(name ? name : "?")).arg(e.value);
        }
        out << events.join(' ');
    }
    return out.join(QStringLiteral("\n  "));
}

bool reportsAre(const QList<Report>& got, const QList<Report>& want)
{
    if (got == want)
        return true;
    qWarning().noquote() << "got:\n  " + describe(got);
    qWarning().noquote() << "expected:\n  " + describe(want);
    return false;
}

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

    // Everything delivered since the last call. The kernel queues the events while the
    // device is written, so they are all there when the write returns.
    QList<Report> take()
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
        return out;
    }

private:
    int m_fd = -1;
    libevdev* m_dev = nullptr;
    Report m_pending;
    QList<Report> m_reports;
};

Ev abs(int code, int value)
{
    return {EV_ABS, code, value};
}
Ev key(int code, int value)
{
    return {EV_KEY, code, value};
}
const Ev syn{EV_SYN, SYN_REPORT, 0};

// The primary screen sits right of another screen, as it may on a Linux desktop.
const QRect primary(1920, 0, 1920, 1080);

QPoint devicePixel(QPoint pen)
{
    PenDispatch::mapPenToScreen(pen, primary);
    return pen - primary.topLeft();
}

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
    QCOMPARE(libevdev_get_abs_maximum(dev, ABS_MT_POSITION_X), 1919);
    QCOMPARE(libevdev_get_abs_maximum(dev, ABS_MT_POSITION_Y), 1079);
    QCOMPARE(libevdev_get_abs_maximum(dev, ABS_X), 1919);
    QVERIFY(libevdev_get_abs_resolution(dev, ABS_MT_POSITION_X) > 0);
    QVERIFY(libevdev_has_event_code(dev, EV_KEY, BTN_TOUCH));

    const QPoint a = devicePixel({640, 400}), a2 = devicePixel({650, 410});
    const QPoint b = devicePixel({320, 200}), b2 = devicePixel({330, 215}),
                 b3 = devicePixel({345, 230});
    QCOMPARE(a, QPoint(960, 540)); // pen (640, 400) on the primary screen at left 1920

    // Pen 1 down: the hover frame changes nothing on a touchscreen; the touch-down frame
    // starts tracking id 0 in slot 0.
    dispatch.penStatus(1, 1, 640, 400);
    QVERIFY(reportsAre(reader.take(), {{abs(ABS_MT_TRACKING_ID, 0), abs(ABS_MT_POSITION_X, a.x()),
                                        abs(ABS_MT_POSITION_Y, a.y()), key(BTN_TOUCH, 1),
                                        abs(ABS_X, a.x()), abs(ABS_Y, a.y()), syn}}));
    // Pen 2 down: slot 1, tracking id 1; the single-touch pointer stays with pen 1.
    dispatch.penStatus(2, 1, 320, 200);
    QVERIFY(reportsAre(reader.take(),
                       {{abs(ABS_MT_SLOT, 1), abs(ABS_MT_TRACKING_ID, 1),
                         abs(ABS_MT_POSITION_X, b.x()), abs(ABS_MT_POSITION_Y, b.y()), syn}}));
    dispatch.penStatus(1, 2, 650, 410);
    QVERIFY(reportsAre(reader.take(), {{abs(ABS_MT_SLOT, 0), abs(ABS_MT_POSITION_X, a2.x()),
                                        abs(ABS_MT_POSITION_Y, a2.y()), abs(ABS_X, a2.x()),
                                        abs(ABS_Y, a2.y()), syn}}));
    // Pen 1's up record is lost; pen 2 keeps writing.
    clock->advance(60);
    dispatch.penStatus(2, 2, 330, 215);
    QVERIFY(reportsAre(reader.take(), {{abs(ABS_MT_SLOT, 1), abs(ABS_MT_POSITION_X, b2.x()),
                                        abs(ABS_MT_POSITION_Y, b2.y()), syn}}));
    clock->advance(30);
    dispatch.penStatus(2, 2, 345, 230);
    QVERIFY(reportsAre(
        reader.take(),
        {// pen 1 is 90 ms silent: its contact ends, the pointer goes to pen 2
         {abs(ABS_MT_SLOT, 0), abs(ABS_MT_TRACKING_ID, -1), abs(ABS_X, b2.x()), abs(ABS_Y, b2.y()),
          syn},
         // then pen 2's own move
         {abs(ABS_MT_SLOT, 1), abs(ABS_MT_POSITION_X, b3.x()), abs(ABS_MT_POSITION_Y, b3.y()),
          abs(ABS_X, b3.x()), abs(ABS_Y, b3.y()), syn}}));
    // Pen 2 up: the last contact lifts, and only now BTN_TOUCH goes to 0.
    dispatch.penStatus(2, 0, 345, 230);
    QVERIFY(reportsAre(reader.take(), {{abs(ABS_MT_TRACKING_ID, -1), key(BTN_TOUCH, 0), syn}}));
    // The next contact reuses slot 0 with a new tracking id.
    dispatch.penStatus(1, 1, 640, 400);
    QVERIFY(reportsAre(reader.take(),
                       {{abs(ABS_MT_SLOT, 0), abs(ABS_MT_TRACKING_ID, 2),
                         abs(ABS_MT_POSITION_X, a.x()), abs(ABS_MT_POSITION_Y, a.y()),
                         key(BTN_TOUCH, 1), abs(ABS_X, a.x()), abs(ABS_Y, a.y()), syn}}));
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
    QVERIFY(reportsAre(reader.take(),
                       {{abs(ABS_X, 32767), abs(ABS_Y, 32767), syn}, {key(BTN_LEFT, 1), syn}}));
    dispatch.penStatus(1, 2, 1272, 755); // its last pixel (1918, 1078)
    QVERIFY(reportsAre(reader.take(), {{abs(ABS_X, 65466), abs(ABS_Y, 65413), syn}}));
    dispatch.penStatus(1, 0, 1272, 755);
    QVERIFY(reportsAre(reader.take(), {{key(BTN_LEFT, 0), syn}}));

    // A press whose release never arrives: the watchdog releases it.
    dispatch.penStatus(2, 1, 6, 44);
    QVERIFY(
        reportsAre(reader.take(), {{abs(ABS_X, 0), abs(ABS_Y, 0), syn}, {key(BTN_LEFT, 1), syn}}));
    clock->advance(90);
    dispatch.chkLostUpEventsProc();
    QVERIFY(reportsAre(reader.take(), {{key(BTN_LEFT, 0), syn}}));
    QCOMPARE(log.count(" -->Lost Up event!!"), 1);
    QVERIFY(!log.lines("quillrelay.inject").join('\n').contains(QLatin1String("NG")));
}

QTEST_GUILESS_MAIN(TestUinputDevices)
#include "tst_uinputdevices.moc"
