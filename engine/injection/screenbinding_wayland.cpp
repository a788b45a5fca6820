#include "engine/injection/screenbindings_linux.h"
#include "engine/injection/screenbindings_wayland.h"

#include "core/logging.h"

#include <QDBusConnectionInterface>

namespace {
// XDG_CURRENT_DESKTOP is a list, "ubuntu:GNOME" for example.
bool desktopIs(const QString& name)
{
    return qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':')).contains(name, Qt::CaseInsensitive);
}

// One short question to the bus, once per device.
bool onSessionBus(const QDBusConnection& bus, const QString& service)
{
    return bus.isConnected() && bus.interface() && bus.interface()->isServiceRegistered(service).value();
}
} // namespace

std::unique_ptr<ScreenBinding> createWaylandScreenBinding()
{
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && qEnvironmentVariable("XDG_SESSION_TYPE") != QLatin1String("wayland"))
        return nullptr;
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (desktopIs(QStringLiteral("GNOME")) && onSessionBus(bus, QStringLiteral("org.gnome.Mutter.DisplayConfig"))) {
        qCDebug(lcScreen, "binding devices to a screen through GNOME's settings");
        return std::make_unique<GnomeScreenBinding>(bus);
    }
    if (desktopIs(QStringLiteral("KDE")) && onSessionBus(bus, QStringLiteral("org.kde.KWin"))) {
        qCDebug(lcScreen, "binding devices to a screen through KWin");
        return std::make_unique<KdeScreenBinding>(bus);
    }
    if (const QString sway = qEnvironmentVariable("SWAYSOCK"); !sway.isEmpty()) {
        qCDebug(lcScreen, "binding devices to a screen through sway's IPC");
        return std::make_unique<SwayScreenBinding>(sway);
    }
    qCDebug(lcScreen, "this Wayland compositor offers no binding of devices to a screen");
    return nullptr;
}
