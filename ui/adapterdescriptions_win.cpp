#include "ui/adapterdescriptions.h"

#include "core/logging.h"

// clang-format off
#include <winsock2.h>
#include <iphlpapi.h>
#include <netioapi.h>
// clang-format on

#include <cstdlib>

namespace {
// The toolkit names an interface after its LUID ("ethernet_32769"), or by the adapter's GUID
// where that fails; the IP helper's table knows adapters by GUID and interface index. The
// index of the LUID's name finds the adapter, the GUID is the fallback.
unsigned long interfaceIndex(const QString& systemName)
{
    NET_LUID luid = {};
    NET_IFINDEX index = 0;
    const auto* name = reinterpret_cast<const wchar_t*>(systemName.utf16());
    if (ConvertInterfaceNameToLuidW(name, &luid) != NO_ERROR ||
        ConvertInterfaceLuidToIndex(&luid, &index) != NO_ERROR)
        return 0;
    return index;
}

// The IP helper's adapter table gives the description the user recognises.
class WindowsAdapterDescriptions final : public AdapterDescriptions {
public:
    QString description(const QString& systemName) const override
    {
        ULONG size = 0;
        // The first call only asks for the size; only a buffer overflow means there is a
        // table to read.
        if (GetAdaptersInfo(nullptr, &size) != ERROR_BUFFER_OVERFLOW || size == 0)
            return QString();
        auto* table = static_cast<IP_ADAPTER_INFO*>(std::malloc(size));
        if (!table)
            return QString();
        QString found;
        const unsigned long index = interfaceIndex(systemName);
        if (GetAdaptersInfo(table, &size) == NO_ERROR) {
            for (const IP_ADAPTER_INFO* adapter = table; adapter; adapter = adapter->Next) {
                if ((index != 0 && adapter->Index == index) ||
                    QString::fromLatin1(adapter->AdapterName) == systemName) {
                    found = QString::fromLocal8Bit(adapter->Description);
                    break;
                }
            }
        }
        std::free(table);
        if (found.isEmpty())
            qCDebug(lcUi, "adapter %s is not in the IP helper's table", qUtf8Printable(systemName));
        else
            qCDebug(lcUi, "adapter %s is %s", qUtf8Printable(systemName), qUtf8Printable(found));
        return found;
    }
};
} // namespace

std::unique_ptr<AdapterDescriptions> AdapterDescriptions::create()
{
    return std::make_unique<WindowsAdapterDescriptions>();
}
