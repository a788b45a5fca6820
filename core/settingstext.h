#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

// The one reading of the connection settings' texts, in plain C++: core/ipv4.h gives it to
// the program, and the Windows package checks the admin's preset with it inside Windows
// Installer, where no Qt library can be loaded. So the package refuses exactly the values
// that the program would refuse at every logon.
namespace settingstext {

inline constexpr int MaxHostNameLength = 32;

constexpr bool isPort(long value)
{
    return value >= 1 && value <= 65535;
}

// Dotted decimal: exactly four parts of one to three digits, each 0 to 255, nothing else.
template <typename Char>
std::optional<std::uint32_t> parseAddress(const Char* text, std::ptrdiff_t size)
{
    std::uint32_t value = 0;
    int parts = 0;
    std::ptrdiff_t i = 0;
    while (parts < 4) {
        int digits = 0;
        unsigned octet = 0;
        for (; i < size && text[i] >= '0' && text[i] <= '9' && digits < 4; ++i, ++digits)
            octet = octet * 10 + unsigned(text[i] - '0');
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

// One to five decimal digits, 1 to 65535.
template <typename Char>
std::optional<std::uint16_t> parsePort(const Char* text, std::ptrdiff_t size)
{
    if (size < 1 || size > 5)
        return std::nullopt;
    long value = 0;
    for (std::ptrdiff_t i = 0; i < size; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    if (!isPort(value))
        return std::nullopt;
    return std::uint16_t(value);
}

// The admin's preset as the Windows package takes it: one public property per settings key.
inline constexpr std::u16string_view PresetProperties[] = {
    u"PROJECTORIP", u"HOSTNAME", u"PORT", u"PENMODE", u"ADAPTER", u"CONNECTBY", u"SCREEN"};

// Why `value`, given for the preset property `property`, cannot be written, or nullptr when
// it can. An empty value is a property not given, which writes nothing. Pen mode and the
// connection type take only their two documented values, though the program reads any
// other as 0. A text starting with '#' would be stored by Windows Installer as a number.
inline const char* presetRefusal(std::u16string_view property, std::u16string_view value)
{
    const auto size = std::ptrdiff_t(value.size());
    if (value.empty())
        return nullptr;
    if (property == u"PROJECTORIP")
        return parseAddress(value.data(), size) ? nullptr
                                                : "is not an IPv4 address (four numbers 0 to 255 with dots between)";
    if (property == u"PORT")
        return parsePort(value.data(), size) ? nullptr : "is not a port from 1 to 65535";
    if (property == u"PENMODE")
        return value == u"0" || value == u"1" ? nullptr : "is neither 0 (touch) nor 1 (mouse)";
    if (property == u"CONNECTBY")
        return value == u"0" || value == u"1" ? nullptr
                                              : "is neither 0 (by IP address) nor 1 (by host name)";
    if (value.front() == u'#')
        return "starts with #, which Windows Installer would store as a number";
    if (property == u"HOSTNAME" && size > MaxHostNameLength)
        return "is longer than 32 characters";
    return nullptr;
}

} // namespace settingstext
