#pragma once

#include <QByteArrayView>
#include <QHostAddress>
#include <QStringView>
#include <QtGlobal>

#include <optional>

// The one reading of addresses and ports that every part of the program shares: the
// settings, the command link, the search packets and the address fields all accept exactly
// the same texts, so a value one of them takes is never refused by another.
namespace ipv4 {

// Dotted decimal: exactly four parts of one to three digits, each 0 to 255, nothing else
// (no blanks, signs, hex or shorthand such as "10.1.2", which the system's resolver would
// read as 10.1.0.2). The value in host order, 10.77.0.1 being 0x0A4D0001.
std::optional<quint32> parse(QStringView text);
std::optional<quint32> parse(QByteArrayView text);

// A TCP or UDP port: one to five decimal digits, 1 to 65535.
std::optional<quint16> parsePort(QStringView text);
bool isPort(int value);

// Equality of two addresses by their IPv4 value, so that an IPv4-mapped IPv6 sender
// (::ffff:10.77.0.2, as a dual-stack socket reports it) equals 10.77.0.2. Addresses without
// an IPv4 value compare as they are.
bool sameAddress(const QHostAddress& a, const QHostAddress& b);

// The plain IPv4 form of an address that has an IPv4 value; other addresses unchanged.
QHostAddress toPlain(const QHostAddress& address);

} // namespace ipv4
