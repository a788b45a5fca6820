#include "engine/link/addresswatch.h"

#include "core/logging.h"

#include <winsock2.h>
#include <ws2ipdef.h>
#include <iphlpapi.h>
#include <netioapi.h>

#include <atomic>

namespace {

// IP Helper calls back for every IPv4 address that comes, goes or changes and for every
// change of an interface's state. The calls come on a thread of the system's: each hands
// the news to the watch's own thread, and one change (a new lease: an address removed,
// another added, the interface's state) makes one signal as long as the watch's thread has
// not yet taken the first.
class IpHelperAddressWatch final : public AddressWatch {
public:
    IpHelperAddressWatch()
    {
        DWORD status = NotifyUnicastIpAddressChange(AF_INET, &IpHelperAddressWatch::addressChanged,
                                                    this, FALSE, &m_addresses);
        if (status != NO_ERROR)
            qCDebug(lcLink, "address watch: no address notifications (error %lu)", status);
        status = NotifyIpInterfaceChange(AF_INET, &IpHelperAddressWatch::interfaceChanged, this,
                                         FALSE, &m_interfaces);
        if (status != NO_ERROR)
            qCDebug(lcLink, "address watch: no interface notifications (error %lu)", status);
    }
    // The cancellation waits for a callback under way, so none reaches a destroyed watch;
    // a signal it already handed over goes with the object's posted events.
    ~IpHelperAddressWatch() override
    {
        if (m_addresses)
            CancelMibChangeNotify2(m_addresses);
        if (m_interfaces)
            CancelMibChangeNotify2(m_interfaces);
    }
    Q_DISABLE_COPY_MOVE(IpHelperAddressWatch)

private:
    static void NETIOAPI_API_ addressChanged(void* context, MIB_UNICASTIPADDRESS_ROW*,
                                             MIB_NOTIFICATION_TYPE)
    {
        static_cast<IpHelperAddressWatch*>(context)->handOver();
    }
    static void NETIOAPI_API_ interfaceChanged(void* context, MIB_IPINTERFACE_ROW*,
                                               MIB_NOTIFICATION_TYPE)
    {
        static_cast<IpHelperAddressWatch*>(context)->handOver();
    }

    void handOver()
    {
        if (m_pending.exchange(true))
            return;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_pending = false;
                emit changed();
            },
            Qt::QueuedConnection);
    }

    HANDLE m_addresses = nullptr;
    HANDLE m_interfaces = nullptr;
    std::atomic<bool> m_pending = false; // a signal is handed over and not yet emitted
};

} // namespace

std::unique_ptr<AddressWatch> createAddressWatch()
{
    return std::make_unique<IpHelperAddressWatch>();
}
