#include "engine/injection/screenbindings_wayland.h"

#include "core/logging.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QPointer>
#include <QProcess>

#include <array>

namespace {
const QString DisplayConfig = QStringLiteral("org.gnome.Mutter.DisplayConfig");
const QString DisplayConfigPath = QStringLiteral("/org/gnome/Mutter/DisplayConfig");
const QString TouchscreenSchema = QStringLiteral("org.gnome.desktop.peripherals.touchscreen");

// A string in GVariant's text form, as gsettings reads a value.
QString variantText(const QString& text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}
} // namespace

namespace mutter {
void registerTypes()
{
    static const bool registered = [] {
        qDBusRegisterMetaType<MonitorIds>();
        qDBusRegisterMetaType<QList<MonitorIds>>();
        qDBusRegisterMetaType<Mode>();
        qDBusRegisterMetaType<QList<Mode>>();
        qDBusRegisterMetaType<Monitor>();
        qDBusRegisterMetaType<QList<Monitor>>();
        qDBusRegisterMetaType<LogicalMonitor>();
        qDBusRegisterMetaType<QList<LogicalMonitor>>();
        return true;
    }();
    (void)registered;
}

DeviceArea deviceArea(const QRect& pixels, uint transform)
{
    // Read from the matrices Mutter gives libinput for each transform: odd ones swap the
    // axes; which axes run backwards follows the turn, and the mirror for 4-7.
    struct Lie {
        bool swap, reverseX, reverseY;
    };
    static constexpr std::array<Lie, 8> lies{{{false, false, false}, {true, true, false},
                                              {false, true, true}, {true, false, true},
                                              {false, true, false}, {true, false, false},
                                              {false, false, true}, {true, true, true}}};
    const Lie lie = transform < lies.size() ? lies[transform] : Lie{false, false, false};
    return DeviceArea{pixels, lie.swap, lie.reverseX, lie.reverseY};
}

QDBusArgument& operator<<(QDBusArgument& out, const MonitorIds& value)
{
    out.beginStructure();
    out << value.connector << value.vendor << value.product << value.serial;
    out.endStructure();
    return out;
}
const QDBusArgument& operator>>(const QDBusArgument& in, MonitorIds& value)
{
    in.beginStructure();
    in >> value.connector >> value.vendor >> value.product >> value.serial;
    in.endStructure();
    return in;
}
QDBusArgument& operator<<(QDBusArgument& out, const Mode& value)
{
    out.beginStructure();
    out << value.id << value.width << value.height << value.refreshRate << value.preferredScale
        << value.scales << value.properties;
    out.endStructure();
    return out;
}
const QDBusArgument& operator>>(const QDBusArgument& in, Mode& value)
{
    in.beginStructure();
    in >> value.id >> value.width >> value.height >> value.refreshRate >> value.preferredScale
        >> value.scales >> value.properties;
    in.endStructure();
    return in;
}
QDBusArgument& operator<<(QDBusArgument& out, const Monitor& value)
{
    out.beginStructure();
    out << value.ids << value.modes << value.properties;
    out.endStructure();
    return out;
}
const QDBusArgument& operator>>(const QDBusArgument& in, Monitor& value)
{
    in.beginStructure();
    in >> value.ids >> value.modes >> value.properties;
    in.endStructure();
    return in;
}
QDBusArgument& operator<<(QDBusArgument& out, const LogicalMonitor& value)
{
    out.beginStructure();
    out << value.x << value.y << value.scale << value.transform << value.primary << value.monitors
        << value.properties;
    out.endStructure();
    return out;
}
const QDBusArgument& operator>>(const QDBusArgument& in, LogicalMonitor& value)
{
    in.beginStructure();
    in >> value.x >> value.y >> value.scale >> value.transform >> value.primary >> value.monitors
        >> value.properties;
    in.endStructure();
    return in;
}
} // namespace mutter

GnomeScreenBinding::GnomeScreenBinding(const QDBusConnection& bus) : m_bus(bus)
{
    mutter::registerTypes();
}

void GnomeScreenBinding::bind(const Device& device, const ScreenTarget& target)
{
    const quint64 generation = ++m_generation;
    if (!device.touchscreen) {
        qCDebug(lcScreen, "GNOME spreads an absolute pointer over the whole desktop");
        emit areaChanged(DeviceArea{target.desktop});
        return;
    }
    const QDBusMessage call = QDBusMessage::createMethodCall(DisplayConfig, DisplayConfigPath, DisplayConfig,
                                                             QStringLiteral("GetCurrentState"));
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, generation, device, target](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                if (generation == m_generation)
                    monitorsRead(finished, device, target);
            });
}

void GnomeScreenBinding::monitorsRead(QDBusPendingCallWatcher* call, const Device& device,
                                      const ScreenTarget& target)
{
    const QDBusPendingReply<uint, QList<mutter::Monitor>, QList<mutter::LogicalMonitor>, QVariantMap> reply = *call;
    if (reply.isError())
        return fail(target, QStringLiteral("Mutter's monitors unknown: ") + reply.error().message());
    const QList<mutter::Monitor> monitors = reply.argumentAt<1>();
    const auto monitor = std::find_if(monitors.begin(), monitors.end(), [&](const mutter::Monitor& each) {
        return each.ids.connector == target.name;
    });
    if (target.name.isEmpty() || monitor == monitors.end())
        return fail(target, QStringLiteral("Mutter has no monitor %1").arg(target.name));
    uint transform = 0;
    for (const mutter::LogicalMonitor& logical : reply.argumentAt<2>()) {
        for (const mutter::MonitorIds& ids : logical.monitors) {
            if (ids.connector == target.name)
                transform = logical.transform;
        }
    }

    const QString path = QStringLiteral("/org/gnome/desktop/peripherals/touchscreens/%1:%2/")
                             .arg(device.vendor, 4, 16, QLatin1Char('0'))
                             .arg(device.product, 4, 16, QLatin1Char('0'));
    const QString value = QStringLiteral("[%1, %2, %3]")
                              .arg(variantText(monitor->ids.vendor), variantText(monitor->ids.product),
                                   variantText(monitor->ids.serial));
    auto* process = new QProcess(this);
    const quint64 generation = m_generation;
    const DeviceArea bound = mutter::deviceArea(target.pixels, transform);
    connect(process, &QProcess::finished, this, [=, this](int exitCode, QProcess::ExitStatus status) {
        process->deleteLater();
        if (generation != m_generation)
            return;
        if (status != QProcess::NormalExit || exitCode != 0)
            return fail(target, QStringLiteral("gsettings: ") +
                                    QString::fromLocal8Bit(process->readAllStandardError()).trimmed());
        qCDebug(lcScreen, "GNOME maps the touchscreen to %s (transform %u)", qPrintable(target.name), transform);
        emit areaChanged(bound);
    });
    connect(process, &QProcess::errorOccurred, this, [=, this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        process->deleteLater();
        if (generation == m_generation)
            fail(target, QStringLiteral("no gsettings tool"));
    });
    process->start(QStringLiteral("gsettings"),
                   {QStringLiteral("set"), TouchscreenSchema + QLatin1Char(':') + path, QStringLiteral("output"), value});
}

void GnomeScreenBinding::fail(const ScreenTarget& target, const QString& why)
{
    qCDebug(lcScreen, "the touchscreen stays over the whole desktop: %s", qPrintable(why));
    emit areaChanged(DeviceArea{target.desktop});
}
