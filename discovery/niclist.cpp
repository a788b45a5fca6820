#include "discovery/niclist.h"

#include "app/logging.h"

#include <QException>
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
} // namespace

NicSource NicSource::fromInterface(const QNetworkInterface& nic)
{
    NicSource source;
    source.valid = nic.isValid();
    source.displayName = nic.humanReadableName();
    source.name = nic.name();
    source.addressEntries = nic.addressEntries();
    return source;
}

NicList::NicList()
{
    try {
        QList<NicSource> sources;
        const QList<QNetworkInterface> all = QNetworkInterface::allInterfaces();
        for (const QNetworkInterface& nic : all)
            sources.append(NicSource::fromInterface(nic));
        build(sources);
    } catch (const QException& e) {
        qCDebug(lcSearch, "exception occured [%s]", e.what());
    } catch (...) {
    }
}

NicList::NicList(const QList<NicSource>& sources)
{
    try {
        build(sources);
    } catch (const QException& e) {
        qCDebug(lcSearch, "exception occured [%s]", e.what());
    } catch (...) {
    }
}

void NicList::build(const QList<NicSource>& sources)
{
    for (const NicSource& nic : sources) {
        if (!nic.valid)
            continue;
        for (const QNetworkAddressEntry& entry : nic.addressEntries) {
            if (m_count >= MaxEntries)
                return;
            if (!isUsableAddress(entry))
                continue;
            m_displayName[m_count] = nic.displayName;
            m_name[m_count] = nic.name;
            m_ipAddress[m_count] = entry.ip();
            m_netmask[m_count] = entry.netmask();
            m_broadcast[m_count] = entry.broadcast();
            ++m_count;
        }
    }
}

bool NicList::isValidIndex(int index) const
{
    return index >= 0 && index < MaxEntries && index <= m_count && !m_displayName[index].isEmpty();
}

bool NicList::GetIpAddress(int index, QHostAddress& out) const
{
    if (!isValidIndex(index))
        return false;
    out = m_ipAddress[index];
    return true;
}

bool NicList::GetBroadcast(int index, QHostAddress& out) const
{
    if (!isValidIndex(index))
        return false;
    out = m_broadcast[index];
    return true;
}

bool NicList::GetName(int index, QString& out) const
{
    if (!isValidIndex(index))
        return false;
    out = m_name[index];
    return true;
}

bool NicList::GetDisplayName(int index, QString& out) const
{
    if (!isValidIndex(index))
        return false;
    out = m_displayName[index];
    return true;
}
