#pragma once

#include "engine/injection/screenbinding.h"

#include <QDBusConnection>
#include <QList>
#include <QVariantMap>

class QDBusArgument;
class QDBusPendingCallWatcher;
class QLocalSocket;

// The Wayland compositors' ways of binding a device to one output, each its own. Only the
// touchscreen binds on GNOME and KDE: both spread an absolute pointer over the whole desktop
// whatever it is told. A binding that fails leaves the device over the whole desktop.

// GNOME: Mutter keeps a touchscreen's output in a setting keyed by vendor:product, which
// names the monitor by its make, model and serial; those come from Mutter itself. The
// setting is written by the gsettings tool, so that a desktop without the schema only fails
// this binding.
class GnomeScreenBinding final : public ScreenBinding {
public:
    explicit GnomeScreenBinding(const QDBusConnection& bus);
    Q_DISABLE_COPY_MOVE(GnomeScreenBinding)
    void bind(const Device& device, const ScreenTarget& target) override;

private:
    void monitorsRead(QDBusPendingCallWatcher* call, const Device& device, const ScreenTarget& target);
    void fail(const ScreenTarget& target, const QString& why);

    QDBusConnection m_bus;
    quint64 m_generation = 0; // a later bind() makes the answers to earlier ones stale
};

// KDE: KWin names a touchscreen's output in a property of the device's object, which
// KWin makes once it has found the device: a bind() that comes first is tried again then.
class KdeScreenBinding final : public ScreenBinding {
    Q_OBJECT
public:
    explicit KdeScreenBinding(const QDBusConnection& bus);
    Q_DISABLE_COPY_MOVE(KdeScreenBinding)
    void bind(const Device& device, const ScreenTarget& target) override;

private slots:
    void deviceAdded(const QString& sysName);

private:
    void setOutput(bool retry);

    QDBusConnection m_bus;
    QString m_sysName; // eventN of the device bound last
    ScreenTarget m_target;
    bool m_waiting = false; // for KWin to add m_sysName
    quint64 m_generation = 0;
};

// sway and the other compositors with its IPC: an `input … map_to_output` command, which
// binds touchscreens and absolute pointers alike. sway keeps it for a device it does not
// know yet.
class SwayScreenBinding final : public ScreenBinding {
public:
    explicit SwayScreenBinding(QString socketPath);
    ~SwayScreenBinding() override;
    Q_DISABLE_COPY_MOVE(SwayScreenBinding)
    void bind(const Device& device, const ScreenTarget& target) override;

    // sway's name of `device`: decimal vendor:product:name, blanks as underscores.
    static QByteArray identifier(const Device& device);
    // The RUN_COMMAND message that maps `device` to `output`.
    static QByteArray mapMessage(const Device& device, const QString& output);

private:
    void replyRead(const ScreenTarget& target);

    QString m_socketPath;
    QLocalSocket* m_socket = nullptr; // the exchange of the latest bind()
    QByteArray m_reply;
};

// Mutter's description of its monitors, as GetCurrentState gives it (the parts this
// program reads, and what must be read past to reach them).
namespace mutter {
struct MonitorIds {
    QString connector, vendor, product, serial;
};
struct Mode {
    QString id;
    int width = 0, height = 0;
    double refreshRate = 0, preferredScale = 0;
    QList<double> scales;
    QVariantMap properties;
};
struct Monitor {
    MonitorIds ids;
    QList<Mode> modes;
    QVariantMap properties;
};
struct LogicalMonitor {
    int x = 0, y = 0;
    double scale = 1;
    uint transform = 0; // wl_output's: 0-3 turned by 90° steps, 4-7 mirrored first
    bool primary = false;
    QList<MonitorIds> monitors;
    QVariantMap properties;
};
// Makes the types above known to QtDBus; idempotent.
void registerTypes();

// How Mutter lays a touchscreen bound to a monitor of `transform` over `pixels`: it turns
// the device with the panel, as it would a touchscreen fixed to it.
DeviceArea deviceArea(const QRect& pixels, uint transform);

QDBusArgument& operator<<(QDBusArgument& out, const MonitorIds& value);
const QDBusArgument& operator>>(const QDBusArgument& in, MonitorIds& value);
QDBusArgument& operator<<(QDBusArgument& out, const Mode& value);
const QDBusArgument& operator>>(const QDBusArgument& in, Mode& value);
QDBusArgument& operator<<(QDBusArgument& out, const Monitor& value);
const QDBusArgument& operator>>(const QDBusArgument& in, Monitor& value);
QDBusArgument& operator<<(QDBusArgument& out, const LogicalMonitor& value);
const QDBusArgument& operator>>(const QDBusArgument& in, LogicalMonitor& value);
} // namespace mutter

Q_DECLARE_METATYPE(mutter::MonitorIds)
Q_DECLARE_METATYPE(mutter::Mode)
Q_DECLARE_METATYPE(mutter::Monitor)
Q_DECLARE_METATYPE(mutter::LogicalMonitor)
