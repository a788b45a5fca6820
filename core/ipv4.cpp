#include "core/ipv4.h"

#include "core/settingstext.h"

namespace ipv4 {

std::optional<quint32> parse(QStringView text)
{
    return settingstext::parseAddress(text.utf16(), text.size());
}

std::optional<quint32> parse(QByteArrayView text)
{
    return settingstext::parseAddress(text.data(), text.size());
}

std::optional<quint16> parsePort(QStringView text)
{
    return settingstext::parsePort(text.utf16(), text.size());
}

bool isPort(int value)
{
    return settingstext::isPort(value);
}

bool sameAddress(const QHostAddress& a, const QHostAddress& b)
{
    return a.isEqual(b, QHostAddress::ConvertV4MappedToIPv4);
}

QHostAddress toPlain(const QHostAddress& address)
{
    bool ok = false;
    const quint32 value = address.toIPv4Address(&ok);
    return ok ? QHostAddress(value) : address;
}

} // namespace ipv4
