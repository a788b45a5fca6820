#pragma once

// An X server's monitors, pointer and device properties, as the X11 tests set and read
// them with connections of their own.
#include <QList>
#include <QPoint>
#include <QRect>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/Xrandr.h>

namespace x11test {

// Makes (or remakes) the RandR monitor `name` at `pixels`, showing the server's first
// output when `withOutput`. It lasts as long as `display`'s connection.
inline void setMonitor(Display* display, const char* name, const QRect& pixels, bool primary,
                       bool withOutput)
{
    const Window root = DefaultRootWindow(display);
    int count = 0;
    XRRMonitorInfo* monitors = XRRGetMonitors(display, root, False, &count);
    for (int i = 0; i < count; ++i) // the server takes no second monitor of a name
        if (monitors[i].name == XInternAtom(display, name, False))
            XRRDeleteMonitor(display, root, monitors[i].name);
    XRRFreeMonitors(monitors);
    XRRMonitorInfo* monitor = XRRAllocateMonitor(display, withOutput ? 1 : 0);
    monitor->name = XInternAtom(display, name, False);
    monitor->primary = primary;
    monitor->x = pixels.x();
    monitor->y = pixels.y();
    monitor->width = pixels.width();
    monitor->height = pixels.height();
    monitor->mwidth = pixels.width() / 4;
    monitor->mheight = pixels.height() / 4;
    if (withOutput) { // the first output is the one with a picture, on Xvfb and Xorg's dummy
        XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root);
        monitor->outputs[0] = resources->outputs[0];
        XRRFreeScreenResources(resources);
    }
    XRRSetMonitor(display, root, monitor);
    XFree(monitor);
    XSync(display, False);
}

// The XInput 2 device called `name`, or -1.
inline int deviceId(Display* display, const char* name)
{
    int count = 0, id = -1;
    XIDeviceInfo* devices = XIQueryDevice(display, XIAllDevices, &count);
    for (int i = 0; i < count; ++i)
        if (qstrcmp(devices[i].name, name) == 0)
            id = devices[i].deviceid;
    XIFreeDeviceInfo(devices);
    return id;
}

// The device's "Coordinate Transformation Matrix", row by row; empty without one.
inline QList<float> deviceMatrix(Display* display, int id)
{
    const Atom floatType = XInternAtom(display, "FLOAT", True);
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    XIGetProperty(display, id, XInternAtom(display, "Coordinate Transformation Matrix", True), 0, 9,
                  False, floatType, &type, &format, &items, &after, &data);
    const auto* floats = reinterpret_cast<const float*>(data);
    const QList<float> matrix = type == floatType && format == 32 && items == 9
                                    ? QList<float>(floats, floats + 9)
                                    : QList<float>();
    XFree(data);
    return matrix;
}

inline QPoint pointerAt(Display* display)
{
    Window root = 0, child = 0;
    int x = -1, y = -1, wx = 0, wy = 0;
    unsigned mask = 0;
    XQueryPointer(display, DefaultRootWindow(display), &root, &child, &x, &y, &wx, &wy, &mask);
    return {x, y};
}

} // namespace x11test
