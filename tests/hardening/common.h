#pragma once

// Set-up shared by the hardening tests that drive the controller in a namespace pair.

#include "engine/settings/connectionsettings.h"
#include "support/netnsprojector.h"

#include <QString>

namespace hardening {

inline QString computerInterfaceName()
{
    return NetnsProjector::computerInterfaceName();
}

inline void storeSettings(const QString& ip, const QString& adapter, int penMode = PEN_MODE_TOUCH)
{
    NetnsProjector::storeSettings(ip, adapter, penMode);
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
