#pragma once

#include <QHostAddress>
#include <QList>
#include <QNetworkAddressEntry>
#include <QString>

#include <functional>

class QNetworkInterface;

// What the table takes from one network interface: the toolkit's interface object cannot
// be made up, so tests describe interfaces with this instead.
struct NicSource {
    bool valid = false;
    QString displayName; // QNetworkInterface::humanReadableName
    QString name;        // QNetworkInterface::name, the value kept as the Adapter setting
    QList<QNetworkAddressEntry> addressEntries;
    bool running = true; // up, with its link (cable, radio) there

    static NicSource fromInterface(const QNetworkInterface& nic);
};

// A snapshot, taken when built, of the computer's usable IPv4 interface addresses: one
// entry per address (an interface with two addresses gives two entries with the same
// names), at most 16. Usable: IPv4, not 0.0.0.0, not 127.0.0.1, netmask not 0.
class NicList final {
public:
    static constexpr int MaxEntries = 16;
    using Source = std::function<QList<NicSource>()>;

    // Reads the interfaces of this computer (or of the source set for tests).
    NicList();
    // Builds the table from interface descriptions, in their order.
    explicit NicList(const QList<NicSource>& sources);

    // Where NicList() reads the interfaces from; null restores the system's list. Tests
    // describe the interfaces they need with it instead of depending on the machine's.
    static void setSystemSource(Source source);

    int Count() const { return int(m_entries.size()); }

    // Each getter copies the field of entry `index` and returns true, or returns false and
    // leaves `out` alone when `index` names no entry (0 to Count() - 1).
    bool GetIpAddress(int index, QHostAddress& out) const;
    bool GetBroadcast(int index, QHostAddress& out) const;
    bool GetName(int index, QString& out) const;        // system name
    bool GetDisplayName(int index, QString& out) const; // human-readable name

    // The address of the first entry whose system name is `name`; null when none has it.
    QHostAddress addressOf(const QString& name) const;
    // The same, but null while that interface is down or without its link.
    QHostAddress runningAddressOf(const QString& name) const;

private:
    struct Entry {
        QString displayName;
        QString name;
        QHostAddress ip;
        QHostAddress broadcast;
        bool running;
    };
    template <typename T> bool get(int index, T Entry::*field, T& out) const
    {
        if (index < 0 || index >= m_entries.size())
            return false;
        out = m_entries[index].*field;
        return true;
    }

    QList<Entry> m_entries;
};
