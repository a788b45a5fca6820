#include "settings/settings.h"

#include <QSettings>
#include <QStringList>

#include <exception>

namespace {
const char* const Organisation = "Lumoravista";
const char* const Application = "Quill Relay";
const char* const Group = "Settings";

// A stored value that does not convert to an integer reads as 0.
int readInt(const QSettings& store, const char* key, int fallback)
{
    const QVariant value = store.value(QLatin1String(key), fallback);
    bool ok = false;
    const int number = value.toInt(&ok);
    return ok ? number : 0;
}
} // namespace

Settings::Settings(QObject* parent) : QObject(parent) {}

bool Settings::Load()
{
    try {
        QSettings store(QSettings::NativeFormat, QSettings::UserScope,
                        QLatin1String(Organisation), QLatin1String(Application));
        store.beginGroup(QLatin1String(Group));
        Type = readInt(store, "Type", CONNECT_BY_IP_ADDRESS);
        IpAddress = store.value(QStringLiteral("IpAddress"), QString()).toString();
        HostName = store.value(QStringLiteral("HostName"), QString()).toString();
        Port = readInt(store, "Port", DEFAULT_COMMAND_PORT);
        PenMode = readInt(store, "PenMode", PEN_MODE_TOUCH);
        Adapter = store.value(QStringLiteral("Adapter"), QString()).toString();
        store.endGroup();
        return true;
    } catch (...) {
        return false;
    }
}

bool Settings::Save()
{
    try {
        QSettings store(QSettings::NativeFormat, QSettings::UserScope,
                        QLatin1String(Organisation), QLatin1String(Application));
        store.beginGroup(QLatin1String(Group));
        store.setValue(QStringLiteral("Type"), Type);
        store.setValue(QStringLiteral("IpAddress"), IpAddress);
        store.setValue(QStringLiteral("HostName"), HostName);
        store.setValue(QStringLiteral("Port"), Port);
        store.setValue(QStringLiteral("PenMode"), PenMode);
        store.setValue(QStringLiteral("Adapter"), Adapter);
        store.endGroup();
        store.sync();
        return true;
    } catch (...) {
        return false;
    }
}

int Settings::Validate()
{
    int result = Valid;
    try {
        if (Type == CONNECT_BY_HOST_NAME) {
            if (HostName.isEmpty() || HostName.size() > MaxHostNameLength)
                result = InvalidHostName;
        } else {
            const QStringList parts = IpAddress.split(QLatin1Char('.'), Qt::KeepEmptyParts);
            for (const QString& part : parts) {
                bool ok = false;
                const int octet = part.toInt(&ok, 10);
                if (!ok || octet < 0 || octet > 255) {
                    result = InvalidIpAddress;
                    break;
                }
            }
        }
        if (static_cast<quint32>(Port) > 65535u)
            result = InvalidPort;
    } catch (...) {
    }
    return result;
}
