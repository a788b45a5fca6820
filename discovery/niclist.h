#pragma once

#include <QHostAddress>
#include <QList>
#include <QNetworkAddressEntry>
#include <QString>

class QNetworkInterface;

// What the table takes from one network interface: the toolkit's interface object cannot
// be made up, so tests describe interfaces with this instead.
struct NicSource {
    bool valid = false;
    QString displayName; // QNetworkInterface::humanReadableName
    QString name;        // QNetworkInterface::name, the value kept as the Adapter setting
    QList<QNetworkAddressEntry> addressEntries;

    static NicSource fromInterface(const QNetworkInterface& nic);
};

// A snapshot, taken when built, of the computer's usable IPv4 interface addresses: one
// entry per address (an interface with two addresses gives two entries with the same
// names), at most 16. Usable: IPv4, not 0.0.0.0, not 127.0.0.1, netmask not 0.
class NicList final {
public:
    static constexpr int MaxEntries = 16;

    // Reads the interfaces of this computer.
    NicList();
    // Builds the table from interface descriptions, in their order.
    explicit NicList(const QList<NicSource>& sources);

    int Count() const { return m_count; }

    // Each getter copies the field of entry `index` and returns true, or returns false and
    // leaves `out` alone when `index` names no entry (0 to Count() - 1).
    bool GetIpAddress(int index, QHostAddress& out) const;
    bool GetBroadcast(int index, QHostAddress& out) const;
    bool GetName(int index, QString& out) const;        // system name
    bool GetDisplayName(int index, QString& out) const; // human-readable name

private:
    void build(const QList<NicSource>& sources);
    bool isValidIndex(int index) const;

    int m_count = 0;
    QString m_displayName[MaxEntries];
    QString m_name[MaxEntries];
    QHostAddress m_ipAddress[MaxEntries];
    QHostAddress m_netmask[MaxEntries];
    QHostAddress m_broadcast[MaxEntries];
};
