#include "engine/injection/screenbindings_wayland.h"

#include "core/logging.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QFileInfo>

namespace {
const QString KWin = QStringLiteral("org.kde.KWin");
const QString DevicesPath = QStringLiteral("/org/kde/KWin/InputDevice");
} // namespace

KdeScreenBinding::KdeScreenBinding(const QDBusConnection& bus) : m_bus(bus)
{
    m_bus.connect(KWin, DevicesPath, QStringLiteral("org.kde.KWin.InputDeviceManager"),
                  QStringLiteral("deviceAdded"), this, SLOT(deviceAdded(QString)));
}

void KdeScreenBinding::bind(const Device& device, const ScreenTarget& target)
{
    ++m_generation;
    m_waiting = false;
    m_target = target;
    m_sysName = QFileInfo(device.node).fileName();
    if (!device.touchscreen) {
        qCDebug(lcScreen, "KWin spreads an absolute pointer over the whole desktop");
        emit areaChanged(DeviceArea{target.desktop});
        return;
    }
    if (m_sysName.isEmpty() || target.name.isEmpty()) {
        qCDebug(lcScreen, "the touchscreen stays over the whole desktop: no device node or output name");
        emit areaChanged(DeviceArea{target.desktop});
        return;
    }
    setOutput(false);
}

void KdeScreenBinding::setOutput(bool retry)
{
    QDBusMessage call = QDBusMessage::createMethodCall(KWin, DevicesPath + QLatin1Char('/') + m_sysName,
                                                       QStringLiteral("org.freedesktop.DBus.Properties"),
                                                       QStringLiteral("Set"));
    call << QStringLiteral("org.kde.KWin.InputDevice") << QStringLiteral("outputName")
         << QVariant::fromValue(QDBusVariant(m_target.name));
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    const quint64 generation = m_generation;
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [=, this] {
        watcher->deleteLater();
        if (generation != m_generation)
            return;
        const QDBusPendingReply<> reply = *watcher;
        if (!reply.isError()) {
            qCDebug(lcScreen, "KWin maps %s to %s", qPrintable(m_sysName), qPrintable(m_target.name));
            emit areaChanged(DeviceArea{m_target.pixels});
            return;
        }
        qCDebug(lcScreen, "the touchscreen stays over the whole desktop: KWin: %s",
                qPrintable(reply.error().message()));
        // KWin may not have found the device yet; it says when it has.
        m_waiting = !retry;
        emit areaChanged(DeviceArea{m_target.desktop});
    });
}

void KdeScreenBinding::deviceAdded(const QString& sysName)
{
    if (!m_waiting || sysName != m_sysName)
        return;
    m_waiting = false;
    setOutput(true);
}
