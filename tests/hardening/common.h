#pragma once

// Set-up shared by the hardening tests that drive the controller in a namespace pair.

#include "settings/settings.h"
#include "support/netnsprojector.h"

#include <QNetworkInterface>
#include <QSettings>
#include <QString>

namespace hardening {

// The system name of the interface that holds the computer's address in the pair.
inline QString computerInterfaceName()
{
    for (const QNetworkInterface& nic : QNetworkInterface::allInterfaces()) {
        for (const QNetworkAddressEntry& entry : nic.addressEntries()) {
            if (entry.ip() == QHostAddress(NetnsProjector::computerAddress()))
                return nic.name();
        }
    }
    return {};
}

inline void storeSettings(const QString& ip, const QString& adapter, int penMode = PEN_MODE_TOUCH)
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Lumoravista", "Quill Relay");
    store.clear();
    store.setValue("Settings/Type", 0);
    store.setValue("Settings/IpAddress", ip);
    store.setValue("Settings/HostName", QString());
    store.setValue("Settings/Port", 7142);
    store.setValue("Settings/PenMode", penMode);
    store.setValue("Settings/Adapter", adapter);
    store.sync();
}

// The pen-status records the simulator reports as sent ("pen-tx TO:PORT HEX"), in order.
inline QList<QByteArray> sentPenRecords(const NetnsProjector& projector)
{
    QList<QByteArray> records;
    for (const QString& line : projector.lines(QStringLiteral("pen-tx "))) {
        const QString hex = line.section(QLatin1Char(' '), 2).remove(QLatin1Char(' '));
        const QByteArray datagram = QByteArray::fromHex(hex.toLatin1());
        for (qsizetype at = 0; at + 13 <= datagram.size(); at += 13)
            records << datagram.mid(at, 13);
    }
    return records;
}

} // namespace hardening
