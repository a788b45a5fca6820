#include "engine/injection/uinputdevices_uinput.h"

#include <libevdev/libevdev-uinput.h>
#include <libevdev/libevdev.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr char UINPUT_PATH[] = "/dev/uinput";

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

void enableAbs(libevdev* dev, unsigned code, int min, int max, int resolution)
{
    input_absinfo info{};
    info.minimum = min;
    info.maximum = max;
    info.resolution = resolution;
    libevdev_enable_event_code(dev, EV_ABS, code, &info);
}

// Creates the uinput device described by `dev` on an open /dev/uinput.
libevdev_uinput* createDevice(libevdev* dev, int fd, QString* cause)
{
    libevdev_uinput* uinput = nullptr;
    const int rc = libevdev_uinput_create_from_device(dev, fd, &uinput);
    if (rc != 0) {
        *cause = QStringLiteral("uinput device \"%1\" not created: %2")
                     .arg(QString::fromUtf8(libevdev_get_name(dev)), errnoText(-rc));
        return nullptr;
    }
    return uinput;
}

// Writes the events of one report with a single write(): one system call per frame rather
// than one per event, and the kernel takes the frame in one go. uinput stamps the events
// itself, so their time stays zero. Returns 0 or an errno value.
int writeFrame(int fd, const std::vector<evdev::Event>& events, std::vector<input_event>& frame)
{
    frame.resize(events.size());
    for (size_t i = 0; i < events.size(); ++i) {
        frame[i] = input_event{};
        frame[i].type = events[i].type;
        frame[i].code = events[i].code;
        frame[i].value = events[i].value;
    }
    const size_t bytes = frame.size() * sizeof(input_event);
    const ssize_t written = ::write(fd, frame.data(), bytes);
    if (written == ssize_t(bytes))
        return 0;
    return written < 0 ? errno : EIO; // a frame cut short: some of its events went in
}

// Asks `binding` to bind the device to `target`; false where there is nothing to ask, and
// the device covers the whole desktop.
bool bindDevice(ScreenBinding* binding, libevdev_uinput* uinput, bool touchscreen,
                const ScreenTarget& target)
{
    if (!binding || !uinput)
        return false;
    ScreenBinding::Device device;
    const char* node = libevdev_uinput_get_devnode(uinput);
    device.node = node ? QString::fromLocal8Bit(node) : QString();
    device.name = touchscreen ? UINPUT_TOUCH_NAME : UINPUT_POINTER_NAME;
    device.vendor = UINPUT_VENDOR;
    device.product = touchscreen ? UINPUT_TOUCH_PRODUCT : UINPUT_POINTER_PRODUCT;
    device.touchscreen = touchscreen;
    binding->bind(device, target);
    return true;
}

} // namespace

int openUinput(QString* cause)
{
    const int fd = ::open(UINPUT_PATH, O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd >= 0)
        return fd;
    const int error = errno;
    if (error == ENOENT || error == ENODEV || error == ENXIO)
        *cause = QStringLiteral("/dev/uinput is missing: this system's kernel offers no uinput");
    else if (error == EACCES || error == EPERM)
        *cause = QStringLiteral("permission denied on /dev/uinput: this user may not create "
                                "input devices");
    else
        *cause = QStringLiteral("/dev/uinput cannot be opened: %1").arg(errnoText(error));
    return -1;
}

UinputTouchDevice::UinputTouchDevice(int resolution, std::unique_ptr<ScreenBinding> binding)
    : m_resolution(resolution > 0 ? resolution : 1), m_binding(std::move(binding))
{
    if (m_binding)
        QObject::connect(m_binding.get(), &ScreenBinding::areaChanged, m_binding.get(),
                         [this](const DeviceArea& area) {
                             if (m_encoder)
                                 m_encoder->setArea(area);
                         });
}

UinputTouchDevice::~UinputTouchDevice()
{
    close();
}

bool UinputTouchDevice::open(const ScreenTarget& target, QString* error)
{
    close();
    QString cause;
    // The range spans the desktop: the device covers it until the desktop binds it to the
    // target screen, which loses no resolution either.
    const QRect screen = target.desktop.isEmpty() ? target.pixels : target.desktop;
    if (screen.isEmpty() || target.pixels.isEmpty()) {
        cause = QStringLiteral("Touch input unavailable: no screen to cover");
    } else if ((m_fd = openUinput(&cause)) < 0) {
        cause = QStringLiteral("Touch input unavailable: ") + cause;
    } else {
        libevdev* dev = libevdev_new();
        libevdev_set_name(dev, UINPUT_TOUCH_NAME);
        libevdev_set_id_bustype(dev, BUS_VIRTUAL);
        libevdev_set_id_vendor(dev, UINPUT_VENDOR);
        libevdev_set_id_product(dev, UINPUT_TOUCH_PRODUCT);
        // A direct device: positions are points of the screen, not of a touchpad. No
        // BTN_LEFT: GNOME would take the device for a mouse.
        libevdev_enable_property(dev, INPUT_PROP_DIRECT);
        libevdev_enable_event_type(dev, EV_KEY);
        libevdev_enable_event_code(dev, EV_KEY, BTN_TOUCH, nullptr);
        const int maxX = screen.width() - 1;
        const int maxY = screen.height() - 1;
        enableAbs(dev, ABS_X, 0, maxX, m_resolution);
        enableAbs(dev, ABS_Y, 0, maxY, m_resolution);
        enableAbs(dev, ABS_MT_SLOT, 0, evdev::TOUCH_SLOTS - 1, 0);
        enableAbs(dev, ABS_MT_TRACKING_ID, 0, evdev::MAX_TRACKING_ID, 0);
        enableAbs(dev, ABS_MT_POSITION_X, 0, maxX, m_resolution);
        enableAbs(dev, ABS_MT_POSITION_Y, 0, maxY, m_resolution);
        m_uinput = createDevice(dev, m_fd, &cause);
        libevdev_free(dev);
        if (m_uinput)
            m_encoder = std::make_unique<evdev::TouchFrameEncoder>(screen.size(), DeviceArea{screen});
        else
            cause = QStringLiteral("Touch input unavailable: ") + cause;
    }
    if (m_uinput) {
        setTarget(target);
        return true;
    }
    close();
    if (error)
        *error = cause;
    return false;
}

void UinputTouchDevice::close()
{
    if (m_uinput)
        libevdev_uinput_destroy(m_uinput);
    m_uinput = nullptr;
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_encoder.reset();
}

bool UinputTouchDevice::beginSession(quint32)
{
    if (!m_uinput)
        return false;
    // A new session starts with no contact on the screen, even if the last one ended with
    // a refused frame that left a contact touching.
    m_events.clear();
    if (m_encoder->touching() && m_encoder->encode({}, m_events))
        return write(m_events);
    return true;
}

void UinputTouchDevice::setTarget(const ScreenTarget& target)
{
    if (!bindDevice(m_binding.get(), m_uinput, true, target) && m_encoder)
        m_encoder->setArea(DeviceArea{target.desktop});
}

bool UinputTouchDevice::inject(std::span<const TouchPoint> frame)
{
    if (!m_uinput) {
        m_lastError = ENODEV;
        return false;
    }
    m_events.clear();
    if (!m_encoder->encode(frame, m_events)) {
        m_lastError = ENOSPC; // more touching contacts than the touchscreen has slots
        return false;
    }
    return write(m_events);
}

bool UinputTouchDevice::write(const std::vector<evdev::Event>& events)
{
    const int error = writeFrame(m_fd, events, m_frame);
    if (error != 0) {
        m_lastError = quint32(error);
        return false;
    }
    return true;
}

QString UinputTouchDevice::deviceNode() const
{
    const char* node = m_uinput ? libevdev_uinput_get_devnode(m_uinput) : nullptr;
    return node ? QString::fromLocal8Bit(node) : QString();
}

UinputMouseDevice::UinputMouseDevice(std::unique_ptr<ScreenBinding> binding)
    : m_binding(std::move(binding))
{
    if (m_binding)
        QObject::connect(m_binding.get(), &ScreenBinding::areaChanged, m_binding.get(),
                         [this](const DeviceArea& area) { m_area = area; });
}

UinputMouseDevice::~UinputMouseDevice()
{
    if (m_uinput)
        libevdev_uinput_destroy(m_uinput);
    if (m_fd >= 0)
        ::close(m_fd);
}

bool UinputMouseDevice::create(QString* cause)
{
    if (m_uinput)
        return true;
    m_fd = openUinput(cause);
    if (m_fd < 0)
        return false;
    libevdev* dev = libevdev_new();
    libevdev_set_name(dev, UINPUT_POINTER_NAME);
    libevdev_set_id_bustype(dev, BUS_VIRTUAL);
    libevdev_set_id_vendor(dev, UINPUT_VENDOR);
    libevdev_set_id_product(dev, UINPUT_POINTER_PRODUCT);
    // Absolute axes and a left button without touch or pen buttons: desktops take this
    // for an absolute mouse (like a virtual machine's tablet) covering the screen.
    libevdev_enable_event_type(dev, EV_KEY);
    libevdev_enable_event_code(dev, EV_KEY, BTN_LEFT, nullptr);
    enableAbs(dev, ABS_X, 0, 65535, 0);
    enableAbs(dev, ABS_Y, 0, 65535, 0);
    m_uinput = createDevice(dev, m_fd, cause);
    libevdev_free(dev);
    if (!m_uinput) {
        ::close(m_fd);
        m_fd = -1;
        return false;
    }
    m_failure.clear();
    if (!m_target.pixels.isEmpty())
        setTarget(m_target);
    return true;
}

void UinputMouseDevice::setTarget(const ScreenTarget& target)
{
    m_target = target;
    // Until the binding answers, the pointer covers the desktop, or where it was bound.
    const bool asked = bindDevice(m_binding.get(), m_uinput, false, target);
    if (!asked || m_area.pixels.isEmpty())
        m_area = DeviceArea{target.desktop};
}

bool UinputMouseDevice::send(MouseStep step, QPoint pixel)
{
    if (!m_uinput)
        return false;
    m_events.clear();
    evdev::encodeMouseStep(step, pixel, m_area, m_events);
    return writeFrame(m_fd, m_events, m_frame) == 0;
}

QString UinputMouseDevice::deviceNode() const
{
    const char* node = m_uinput ? libevdev_uinput_get_devnode(m_uinput) : nullptr;
    return node ? QString::fromLocal8Bit(node) : QString();
}
