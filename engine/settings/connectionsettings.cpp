#include "engine/settings/connectionsettings.h"

#include "core/ipv4.h"
#include "core/logging.h"

namespace {
const char* const Organisation = "Lumoravista";
const char* const Application = "Quill Relay";
const char* const Group = "Settings";

int readInt(const QSettings& store, const char* key, int fallback)
{
    bool ok = false;
    const int number = store.value(QLatin1String(key), fallback).toInt(&ok);
    return ok ? number : 0;
}
} // namespace

ConnectionSettings::Validity ConnectionSettings::validate() const
{
    if (!ipv4::isPort(port))
        return Validity::InvalidPort;
    if (type == ConnectBy::HostName) {
        if (hostName.isEmpty() || hostName.size() > MaxHostNameLength)
            return Validity::InvalidHostName;
    } else if (!ipv4::parse(ipAddress)) {
        return Validity::InvalidIpAddress;
    }
    return Validity::Valid;
}

bool operator==(const ConnectionSettings& a, const ConnectionSettings& b)
{
    return a.type == b.type && a.ipAddress == b.ipAddress && a.hostName == b.hostName &&
           a.port == b.port && a.penMode == b.penMode && a.adapter == b.adapter &&
           a.screen == b.screen;
}

ConnectionSettings SettingsStore::load() const
{
    QSettings store(m_format, QSettings::UserScope, QLatin1String(Organisation),
                    QLatin1String(Application));
    store.beginGroup(QLatin1String(Group));
    ConnectionSettings s;
    s.type = readInt(store, "Type", 0) == 1 ? ConnectBy::HostName : ConnectBy::IpAddress;
    s.ipAddress = store.value(QStringLiteral("IpAddress")).toString();
    s.hostName = store.value(QStringLiteral("HostName")).toString();
    s.port = readInt(store, "Port", DEFAULT_COMMAND_PORT);
    s.penMode = readInt(store, "PenMode", 0) == 1 ? PenMode::Mouse : PenMode::Touch;
    s.adapter = store.value(QStringLiteral("Adapter")).toString();
    s.screen = store.value(QStringLiteral("Screen")).toString();
    return s;
}

bool SettingsStore::save(const ConnectionSettings& s) const
{
    QSettings store(m_format, QSettings::UserScope, QLatin1String(Organisation),
                    QLatin1String(Application));
    store.beginGroup(QLatin1String(Group));
    store.setValue(QStringLiteral("Type"), int(s.type));
    store.setValue(QStringLiteral("IpAddress"), s.ipAddress);
    store.setValue(QStringLiteral("HostName"), s.hostName);
    store.setValue(QStringLiteral("Port"), s.port);
    store.setValue(QStringLiteral("PenMode"), int(s.penMode));
    store.setValue(QStringLiteral("Adapter"), s.adapter);
    store.setValue(QStringLiteral("Screen"), s.screen);
    store.endGroup();
    store.sync();
    // A damaged file read before is a format error, which writing over it has mended.
    if (store.status() != QSettings::AccessError)
        return true;
    qCDebug(lcSettings, "the settings could not be written to %s", qUtf8Printable(store.fileName()));
    return false;
}
