#pragma once

// Datagrams as a projector would send them, built by hand from the protocol's field tables.
#include "protocol/searchpacket.h"

#include <QByteArray>
#include <QtEndian>

inline QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text));
}

// A search reply (256 bytes) with a field-by-field builder: a broadcast reply to search 1.
struct SearchReplyBytes {
    QByteArray data = QByteArray(256, '\0');
    SearchReplyBytes() { id("ZRVX").seq(1).cmd(SRCH_CMD_BROADCAST); }
    SearchReplyBytes& id(const QByteArray& v) { return text(0, v); }
    SearchReplyBytes& seq(quint16 v) { return number(8, v); }
    SearchReplyBytes& cmd(quint32 v) { return number(16, v); }
    SearchReplyBytes& status(quint32 v) { return number(20, v); }
    SearchReplyBytes& hostIp(const QByteArray& v) { return text(32, v); }
    SearchReplyBytes& name(const QByteArray& v) { return text(96, v); }
    SearchReplyBytes& appFlag(quint32 v) { return number(144, v); }
    SearchReplyBytes& size(int n) { return data.truncate(n), *this; }
    operator QByteArray() const { return data; }

private:
    template <typename T> SearchReplyBytes& number(int offset, T v)
    {
        qToLittleEndian(v, data.data() + offset);
        return *this;
    }
    SearchReplyBytes& text(int offset, const QByteArray& v)
    {
        return data.replace(offset, v.size(), v), *this;
    }
};
