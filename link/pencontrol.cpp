#include "link/pencontrol.h"

#include <QStringList>

namespace {
constexpr int kResultByteOffset = 6;

// A decimal number from 0 to max, digits only (no sign, no blanks, no hex).
bool parseDecimal(const QString& text, uint max, uint* value)
{
    if (text.isEmpty() || text.size() > 5)
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    const uint v = text.toUInt();
    if (v > max)
        return false;
    *value = v;
    return true;
}
} // namespace

CCommEventBase::~CCommEventBase() = default;

CPenControl::~CPenControl() = default;

bool CPenControl::commandData(int cmdid, const QString& localAddress, const QString& localPort,
                              QByteArray* data)
{
    data->clear();
    if (cmdid == PEN_OFF) {
        data->append(char(0x01));
        return true;
    }
    if (cmdid != PEN_ON)
        return false;
    const QStringList parts = localAddress.split(QLatin1Char('.'), Qt::KeepEmptyParts);
    if (parts.size() != 4)
        return false;
    uint numbers[4] = {};
    for (int i = 0; i < 4; ++i) {
        if (!parseDecimal(parts[i], 255, &numbers[i]))
            return false;
    }
    uint port = 0;
    if (!parseDecimal(localPort, 65535, &port))
        return false;
    data->append(char(0x00));
    for (int i = 3; i >= 0; --i)
        data->append(char(numbers[i]));
    data->append(char(port & 0xFF));
    data->append(char(port >> 8));
    return true;
}

int CPenControl::resultOfReply(int waitResult, const QByteArray& reply)
{
    switch (waitResult) {
    case 1:
        if (reply.size() <= kResultByteOffset)
            return RESULT_REJECTED;
        return reply[kResultByteOffset] == 0 ? RESULT_OK : RESULT_REJECTED;
    case RESULT_ERROR_REPLY:
    case RESULT_DISCONNECTED:
        return waitResult;
    default:
        return RESULT_NO_REPLY;
    }
}
