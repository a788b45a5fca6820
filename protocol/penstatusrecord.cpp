#include "protocol/penstatusrecord.h"

#include "core/logging.h"

#include <QStringList>

namespace {
quint8 byteAt(QByteArrayView bytes, qsizetype index)
{
    return static_cast<quint8>(bytes[index]);
}

int signed16At(QByteArrayView bytes, qsizetype index)
{
    return static_cast<qint16>(
        static_cast<quint16>((byteAt(bytes, index) << 8) | byteAt(bytes, index + 1)));
}
} // namespace

bool isPenStatusRecord(QByteArrayView record)
{
    if (record.size() < PEN_STATUS_RECORD_SIZE)
        return false;
    quint8 sum = 0;
    for (qsizetype i = 0; i < PEN_STATUS_RECORD_SIZE - 1; ++i)
        sum = static_cast<quint8>(sum + byteAt(record, i));
    if (sum != byteAt(record, PEN_STATUS_RECORD_SIZE - 1))
        return false;
    return byteAt(record, 0) == 0x03 && byteAt(record, 1) == 0xCE && byteAt(record, 5) == 0x02;
}

QByteArray encodePenStatusRecord(const PenEvent& event, quint32 filler)
{
    QByteArray record(PEN_STATUS_RECORD_SIZE, '\0');
    const quint8 fields[PEN_STATUS_RECORD_SIZE - 1] = {
        0x03,
        0xCE,
        quint8(filler >> 16),
        quint8(filler >> 8),
        quint8(filler),
        0x02,
        quint8(event.id),
        quint8(event.button),
        quint8(event.posx >> 8),
        quint8(event.posx),
        quint8(event.posy >> 8),
        quint8(event.posy),
    };
    quint8 sum = 0;
    for (qsizetype i = 0; i < PEN_STATUS_RECORD_SIZE - 1; ++i) {
        record[i] = char(fields[i]);
        sum = quint8(sum + fields[i]);
    }
    record[PEN_STATUS_RECORD_SIZE - 1] = char(sum);
    return record;
}

PenEvent decodePenStatusRecord(QByteArrayView record)
{
    return PenEvent{byteAt(record, 6), byteAt(record, 7), signed16At(record, 8),
                    signed16At(record, 10)};
}

QString penStatusDebugLine(QByteArrayView record)
{
    QStringList bytes;
    for (qsizetype i = 0; i < PEN_STATUS_RECORD_SIZE && i < record.size(); ++i)
        bytes << QString::number(byteAt(record, i), 16).toUpper();
    return QStringLiteral("UdpRead: ") + bytes.join(QLatin1Char(' '));
}

int decodePenStatusDatagram(QByteArrayView datagram, std::vector<PenEvent>& events)
{
    events.clear();
    for (qsizetype offset = 0; datagram.size() - offset >= PEN_STATUS_RECORD_SIZE;
         offset += PEN_STATUS_RECORD_SIZE) {
        const QByteArrayView record = datagram.sliced(offset, PEN_STATUS_RECORD_SIZE);
        qCDebug(lcPen).noquote() << penStatusDebugLine(record);
        if (isPenStatusRecord(record))
            events.push_back(decodePenStatusRecord(record));
        else
            qCDebug(lcPen, " -->Data mismatch!");
    }
    return int(events.size());
}
