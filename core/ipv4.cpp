#include "core/ipv4.h"

namespace {
template <typename Char> std::optional<quint32> parseAddress(const Char* text, qsizetype size)
{
    quint32 value = 0;
    int parts = 0;
    qsizetype i = 0;
    while (parts < 4) {
        int digits = 0;
        uint octet = 0;
        for (; i < size && text[i] >= '0' && text[i] <= '9' && digits < 4; ++i, ++digits)
            octet = octet * 10 + uint(text[i] - '0');
        if (digits == 0 || digits > 3 || octet > 255)
            return std::nullopt;
        value = value << 8 | octet;
        if (++parts < 4) {
            if (i >= size || text[i] != '.')
                return std::nullopt;
            ++i;
        }
    }
    if (i != size)
        return std::nullopt;
    return value;
}
} // namespace

namespace ipv4 {

std::optional<quint32> parse(QStringView text)
{
    return parseAddress(text.utf16(), text.size());
}

std::optional<quint32> parse(QByteArrayView text)
{
    return parseAddress(text.data(), text.size());
}

std::optional<quint16> parsePort(QStringView text)
{
    if (text.isEmpty() || text.size() > 5)
        return std::nullopt;
    int value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
    }
    if (!isPort(value))
        return std::nullopt;
    return quint16(value);
}

bool isPort(int value)
{
    return value >= 1 && value <= 65535;
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
