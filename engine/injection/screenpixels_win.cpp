#include "engine/injection/screengeometry.h"

#include "core/logging.h"

#include <QScreen>

#include <windows.h>

#include <cmath>
#include <string>

namespace {

// The monitor of one screen. Qt names a screen after its monitor's friendly name where the
// system has one ("Generic PnP Monitor", the same for two monitors of a kind) and after its
// device (\\.\DISPLAY2) otherwise; it keeps the screen's top-left corner in physical pixels.
// A monitor is the screen's when its device has the screen's name or its corner is the
// screen's: no two monitors share a corner.
struct MonitorSearch {
    std::wstring name;
    POINT corner;
    RECT byName;
    RECT byCorner;
    std::wstring deviceByCorner;
    bool foundByName = false;
    bool foundByCorner = false;
};

BOOL CALLBACK visitMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data)
{
    auto* search = reinterpret_cast<MonitorSearch*>(data);
    MONITORINFOEXW info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(monitor, &info))
        return TRUE;
    if (search->name == info.szDevice) {
        search->byName = info.rcMonitor;
        search->foundByName = true;
        return FALSE;
    }
    if (info.rcMonitor.left == search->corner.x && info.rcMonitor.top == search->corner.y) {
        search->byCorner = info.rcMonitor;
        search->deviceByCorner = info.szDevice;
        search->foundByCorner = true;
    }
    return TRUE;
}

// The screen's monitor: its rectangle and its device's name, false when none is found.
bool findMonitor(const QScreen* screen, RECT* rect, QString* device)
{
    const QRect logical = screen->geometry();
    MonitorSearch search{screen->name().toStdWString(), {logical.left(), logical.top()}, {}, {}, {}};
    EnumDisplayMonitors(nullptr, nullptr, visitMonitor, reinterpret_cast<LPARAM>(&search));
    if (!search.foundByName && !search.foundByCorner)
        return false;
    *rect = search.foundByName ? search.byName : search.byCorner;
    *device = search.foundByName ? screen->name() : QString::fromStdWString(search.deviceByCorner);
    return true;
}

} // namespace

QString screenName(const QScreen* screen)
{
    // The device's name (\\.\DISPLAY2) tells monitors apart where Qt's, a friendly name,
    // may be the same for two of them.
    RECT rect;
    QString device;
    if (screen && findMonitor(screen, &rect, &device))
        return device;
    return screen ? screen->name() : QString();
}

QRect screenPixels(const QScreen* screen)
{
    if (!screen)
        return {};
    // The process is per-monitor DPI aware (its manifest says so), so monitors are in
    // physical pixels, the ones SendInput and InjectTouchInput address.
    const QRect logical = screen->geometry();
    RECT r;
    QString device;
    if (findMonitor(screen, &r, &device))
        return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
    // A screen without a monitor of its own (a change of monitors under way): Qt's scaled
    // size at its unscaled corner, which is right for every monitor but at rounding.
    qCDebug(lcScreen, "no monitor for the screen %s: its size is taken from its scale",
            qUtf8Printable(screen->name()));
    const qreal ratio = screen->devicePixelRatio();
    if (ratio == 1.0)
        return logical;
    return QRect(logical.topLeft(), QSize(int(std::lround(logical.width() * ratio)),
                                          int(std::lround(logical.height() * ratio))));
}
