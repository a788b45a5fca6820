#include "engine/injection/screenbinding_x11.h"

#include "core/logging.h"
#include "engine/injection/screenbindings_linux.h"

#include <QSocketNotifier>
#include <QTimer>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/Xrandr.h>

#include <cstring>
#include <mutex>

namespace {

// How long a bound device may take to show up in the X server before it is taken to cover
// the whole desktop: the server adds a new input device within a second or so.
constexpr int DEVICE_WAIT_MS = 5000;

// Xlib's default error handler ends the process. Errors of a binding's own requests (a
// device that went away between two requests) are noted instead; those of other
// connections go where they went before.
thread_local Display* t_trapping = nullptr;
thread_local int t_lastError = 0;
XErrorHandler g_previousHandler = nullptr;

int noteError(Display* display, XErrorEvent* error)
{
    if (display == t_trapping) {
        t_lastError = error->error_code;
        return 0;
    }
    return g_previousHandler ? g_previousHandler(display, error) : 0;
}

// Notes the errors of `display`'s requests made while it lives.
class ErrorTrap final {
public:
    explicit ErrorTrap(Display* display) : m_display(display), m_outer(t_trapping)
    {
        static std::once_flag installed;
        std::call_once(installed, [] { g_previousHandler = XSetErrorHandler(noteError); });
        t_trapping = display;
        t_lastError = 0;
    }
    ~ErrorTrap() { t_trapping = m_outer; }
    Q_DISABLE_COPY_MOVE(ErrorTrap)

    // Whether every request so far went through.
    bool ok()
    {
        XSync(m_display, False);
        return t_lastError == 0;
    }

private:
    Display* m_display;
    Display* m_outer;
};

Atom existingAtom(Display* display, const char* name)
{
    return XInternAtom(display, name, True);
}

// A device's string property, empty where it has none.
QByteArray deviceString(Display* display, int deviceId, Atom property)
{
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    QByteArray text;
    if (XIGetProperty(display, deviceId, property, 0, 256, False, XA_STRING, &type, &format, &items,
                      &after, &data) == Success &&
        type == XA_STRING && format == 8)
        text = QByteArray(reinterpret_cast<const char*>(data), int(items));
    XFree(data);
    return text;
}

class X11ScreenBinding final : public ScreenBinding {
public:
    X11ScreenBinding(Display* display, int xiOpcode, int randrEventBase);
    ~X11ScreenBinding() override;
    Q_DISABLE_COPY_MOVE(X11ScreenBinding)

    void bind(const Device& device, const ScreenTarget& target) override;

private:
    void readEvents();
    void readLater();
    // Writes the device's matrix for the target's monitor and says what it covers now.
    void apply();
    int findDevice();
    QList<x11::Monitor> monitors();

    Display* m_display;
    int m_xiOpcode;
    int m_randrEventBase;
    QSocketNotifier m_notifier;
    QTimer m_deviceWait;
    Device m_device;
    ScreenTarget m_target;
    bool m_readPending = false;
};

X11ScreenBinding::X11ScreenBinding(Display* display, int xiOpcode, int randrEventBase)
    : m_display(display), m_xiOpcode(xiOpcode), m_randrEventBase(randrEventBase),
      m_notifier(ConnectionNumber(display), QSocketNotifier::Read)
{
    const Window root = DefaultRootWindow(display);
    // New and re-enabled devices, a monitor turned, moved, added or taken away.
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_HierarchyChanged);
    XIEventMask mask{XIAllDevices, int(sizeof bits), bits};
    XISelectEvents(display, root, &mask, 1);
    XRRSelectInput(display, root,
                   RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask | RROutputChangeNotifyMask);
    // RandR tells of a client's monitors only by the root window's ConfigureNotify.
    XSelectInput(display, root, StructureNotifyMask);
    XFlush(display);
    QObject::connect(&m_notifier, &QSocketNotifier::activated, this, &X11ScreenBinding::readEvents);
    m_deviceWait.setSingleShot(true);
    m_deviceWait.setInterval(DEVICE_WAIT_MS);
    QObject::connect(&m_deviceWait, &QTimer::timeout, this, [this] {
        qCDebug(lcScreen, "the X server shows no device %s: it covers the whole desktop",
                qUtf8Printable(m_device.node));
        emit areaChanged(DeviceArea{m_target.desktop});
    });
}

X11ScreenBinding::~X11ScreenBinding()
{
    m_notifier.setEnabled(false);
    XCloseDisplay(m_display);
}

void X11ScreenBinding::bind(const Device& device, const ScreenTarget& target)
{
    m_device = device;
    m_target = target;
    m_deviceWait.stop();
    apply();
    readLater();
}

void X11ScreenBinding::readLater()
{
    // Replies read events into Xlib's queue, where the socket no longer announces them.
    if (m_readPending || !XEventsQueued(m_display, QueuedAlready))
        return;
    m_readPending = true;
    QTimer::singleShot(0, this, [this] {
        m_readPending = false;
        readEvents();
    });
}

void X11ScreenBinding::readEvents()
{
    bool changed = false;
    while (XPending(m_display)) {
        XEvent event;
        XNextEvent(m_display, &event);
        XGenericEventCookie* cookie = &event.xcookie;
        if (cookie->type == GenericEvent && cookie->extension == m_xiOpcode) {
            if (XGetEventData(m_display, cookie)) {
                const auto* hierarchy = static_cast<const XIHierarchyEvent*>(cookie->data);
                if (cookie->evtype == XI_HierarchyChanged &&
                    (hierarchy->flags & (XISlaveAdded | XIDeviceEnabled)))
                    changed = true;
                XFreeEventData(m_display, cookie);
            }
            continue;
        }
        // Keeps the root size that DisplayWidth() and DisplayHeight() give up to date.
        XRRUpdateConfiguration(&event);
        if (event.type == ConfigureNotify ||
            event.type == m_randrEventBase + RRScreenChangeNotify ||
            event.type == m_randrEventBase + RRNotify)
            changed = true;
    }
    if (changed && !m_device.node.isEmpty())
        apply();
    readLater();
}

int X11ScreenBinding::findDevice()
{
    const Atom nodeAtom = existingAtom(m_display, "Device Node");
    if (nodeAtom == None)
        return -1;
    const QByteArray node = m_device.node.toLocal8Bit();
    int count = 0;
    XIDeviceInfo* devices = XIQueryDevice(m_display, XIAllDevices, &count);
    int found = -1;
    for (int i = 0; i < count && found < 0; ++i) {
        const XIDeviceInfo& info = devices[i];
        if (info.use != XIMasterPointer && info.use != XIMasterKeyboard &&
            m_device.name == info.name && deviceString(m_display, info.deviceid, nodeAtom) == node)
            found = info.deviceid;
    }
    XIFreeDeviceInfo(devices);
    return found;
}

QList<x11::Monitor> X11ScreenBinding::monitors()
{
    QList<x11::Monitor> list;
    const Window root = DefaultRootWindow(m_display);
    int count = 0;
    XRRMonitorInfo* infos = XRRGetMonitors(m_display, root, True, &count);
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(m_display, root);
    for (int i = 0; i < count; ++i) {
        const XRRMonitorInfo& info = infos[i];
        x11::Monitor monitor;
        char* name = XGetAtomName(m_display, info.name);
        monitor.name = QString::fromUtf8(name);
        XFree(name);
        monitor.pixels = QRect(info.x, info.y, info.width, info.height);
        // The turn of the monitor's first output that shows a picture; a monitor a client
        // made without outputs stands upright.
        bool turned = false;
        for (int o = 0; resources && o < info.noutput; ++o) {
            XRROutputInfo* output = XRRGetOutputInfo(m_display, resources, info.outputs[o]);
            if (!output)
                continue;
            monitor.outputs << QString::fromUtf8(output->name, output->nameLen);
            if (output->crtc && !turned) {
                if (XRRCrtcInfo* crtc = XRRGetCrtcInfo(m_display, resources, output->crtc)) {
                    monitor.rotation = crtc->rotation;
                    turned = true;
                    XRRFreeCrtcInfo(crtc);
                }
            }
            XRRFreeOutputInfo(output);
        }
        list << monitor;
    }
    if (resources)
        XRRFreeScreenResources(resources);
    XRRFreeMonitors(infos);
    return list;
}

void X11ScreenBinding::apply()
{
    ErrorTrap trap(m_display);
    const int deviceId = findDevice();
    if (deviceId < 0) {
        // Not there yet: the hierarchy event that adds it binds it.
        if (!m_deviceWait.isActive())
            m_deviceWait.start();
        return;
    }
    m_deviceWait.stop();
    const QList<x11::Monitor> list = monitors();
    const qsizetype index = x11::findMonitor(list, m_target);
    x11::Matrix matrix = x11::IDENTITY;
    DeviceArea area{m_target.desktop};
    if (index >= 0) {
        const x11::Monitor& monitor = list[index];
        const QSize root(DisplayWidth(m_display, DefaultScreen(m_display)),
                         DisplayHeight(m_display, DefaultScreen(m_display)));
        matrix = x11::monitorMatrix(monitor.pixels, root, monitor.rotation);
        area = x11::matrixArea(monitor.pixels, matrix);
    } else {
        qCDebug(lcScreen, "no X11 monitor is the screen %s: the device covers the whole desktop",
                qUtf8Printable(m_target.name));
    }
    if (!writeDeviceMatrix(m_display, deviceId, matrix)) {
        qCDebug(lcScreen,
                "the matrix of X11 input device %d cannot be set: it covers the whole desktop",
                deviceId);
        area = DeviceArea{m_target.desktop};
    } else {
        qCDebug(lcScreen, "X11 input device %d bound to %d,%d %dx%d (swap %d, reverse %d %d)",
                deviceId, area.pixels.x(), area.pixels.y(), area.pixels.width(),
                area.pixels.height(), area.swapAxes, area.reverseX, area.reverseY);
    }
    emit areaChanged(area);
}

} // namespace

bool writeDeviceMatrix(Display* display, int deviceId, const x11::Matrix& matrix)
{
    const Atom property = existingAtom(display, "Coordinate Transformation Matrix");
    const Atom floatType = existingAtom(display, "FLOAT");
    if (property == None || floatType == None)
        return false;
    ErrorTrap trap(display);
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    const bool present = XIGetProperty(display, deviceId, property, 0, 9, False, floatType, &type,
                                       &format, &items, &after, &data) == Success &&
                         type == floatType && format == 32 && items == 9 && after == 0;
    XFree(data);
    if (!present)
        return false;
    // XInput 2 carries format-32 items as 32 bits each, so the floats go as they are.
    XIChangeProperty(display, deviceId, property, floatType, 32, PropModeReplace,
                     reinterpret_cast<unsigned char*>(const_cast<float*>(matrix.data())), 9);
    return trap.ok();
}

std::unique_ptr<ScreenBinding> createX11ScreenBinding()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return nullptr;
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        qCDebug(lcScreen, "no X11 display to bind input devices on");
        return nullptr;
    }
    int xiOpcode = 0, xiEvent = 0, rrEvent = 0, error = 0;
    int xiMajor = 2, xiMinor = 2, rrMajor = 0, rrMinor = 0;
    const char* missing = nullptr;
    if (XQueryExtension(display, "XWAYLAND", &xiOpcode, &xiEvent, &error))
        missing = "an X server of its own (this is Xwayland, where the compositor places devices)";
    else if (!XQueryExtension(display, "XInputExtension", &xiOpcode, &xiEvent, &error) ||
             XIQueryVersion(display, &xiMajor, &xiMinor) != Success ||
             xiMajor * 100 + xiMinor < 202)
        missing = "XInput 2.2";
    else if (!XRRQueryExtension(display, &rrEvent, &error) ||
             !XRRQueryVersion(display, &rrMajor, &rrMinor) || rrMajor * 100 + rrMinor < 105)
        missing = "RandR 1.5";
    if (missing) {
        qCDebug(lcScreen, "the X11 display lacks %s: no binding of input devices there", missing);
        XCloseDisplay(display);
        return nullptr;
    }
    return std::make_unique<X11ScreenBinding>(display, xiOpcode, rrEvent);
}
