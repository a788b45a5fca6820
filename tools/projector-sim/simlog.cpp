#include "simlog.h"

#include <cstdio>

namespace SimLog {

QString hex(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

void line(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    std::fwrite(utf8.constData(), 1, size_t(utf8.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QString endpoint(const QHostAddress& address, quint16 port)
{
    return address.toString() + QLatin1Char(':') + QString::number(port);
}

bool isAllowed(const QHostAddress& address)
{
    bool ok = false;
    const QHostAddress v4(address.toIPv4Address(&ok));
    if (!ok)
        return false;
    return v4.isLoopback() || v4.isInSubnet(QHostAddress(QStringLiteral("10.77.0.0")), 16);
}

} // namespace SimLog
