#include "engine/search/niclist.h"

#include <QNetworkInterface>

namespace {
bool isUsableAddress(const QNetworkAddressEntry& entry)
{
    const QHostAddress ip = entry.ip();
    if (ip.protocol() != QAbstractSocket::IPv4Protocol)
        return false;
    const quint32 value = ip.toIPv4Address();
    // Only exactly 127.0.0.1 is left out: that is the loopback every system has, while
    // other 127.x addresses are set up on purpose.
    if (value == 0 || value == 0x7F000001u)
        return false;
    return entry.netmask().toIPv4Address() != 0;
}

QList<NicSource> systemInterfaces()
{
    QList<NicSource> sources;
    const QList<QNetworkInterface> all = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& nic : all)
        sources.append(NicSource::fromInterface(nic));
    return sources;
}

NicList::Source& systemSource()
{
    static NicList::Source source;
    return source;
}
} // namespace

NicSource NicSource::fromInterface(const QNetworkInterface& nic)
{
    const bool running = nic.flags().testFlags(QNetworkInterface::IsUp | QNetworkInterface::IsRunning);
    return NicSource{nic.isValid(), nic.humanReadableName(), nic.name(), nic.addressEntries(), running};
}

NicList::NicList() : NicList(systemSource() ? systemSource()() : systemInterfaces())
{
}

NicList::NicList(const QList<NicSource>& sources)
{
    for (const NicSource& nic : sources) {
        if (!nic.valid)
            continue;
        for (const QNetworkAddressEntry& address : nic.addressEntries) {
            if (m_entries.size() >= MaxEntries)
                return;
            // An entry needs its display name: the interface box shows nothing else.
            if (isUsableAddress(address) && !nic.displayName.isEmpty())
                m_entries.append({nic.displayName, nic.name, address.ip(), address.broadcast(), nic.running});
        }
    }
}

void NicList::setSystemSource(Source source)
{
    systemSource() = std::move(source);
}

bool NicList::GetIpAddress(int index, QHostAddress& out) const
{
    return get(index, &Entry::ip, out);
}

bool NicList::GetBroadcast(int index, QHostAddress& out) const
{
    return get(index, &Entry::broadcast, out);
}

bool NicList::GetName(int index, QString& out) const
{
    return get(index, &Entry::name, out);
}

bool NicList::GetDisplayName(int index, QString& out) const
{
    return get(index, &Entry::displayName, out);
}

QHostAddress NicList::addressOf(const QString& name) const
{
    for (const Entry& e : m_entries) {
        if (e.name == name)
            return e.ip;
    }
    return {};
}

QHostAddress NicList::runningAddressOf(const QString& name) const
{
    for (const Entry& e : m_entries) {
        if (e.name == name)
            return e.running ? e.ip : QHostAddress();
    }
    return {};
}
