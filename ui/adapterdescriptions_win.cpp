#include "ui/adapterdescriptions.h"

// clang-format off
#include <winsock2.h>
#include <iphlpapi.h>
// clang-format on

#include <cstdlib>

namespace {
// The IP helper's adapter table; the toolkit's interface name on Windows is the adapter's
// name there (its GUID), so the table gives the description the user recognises.
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
        if (GetAdaptersInfo(table, &size) == NO_ERROR) {
            for (const IP_ADAPTER_INFO* adapter = table; adapter; adapter = adapter->Next) {
                if (QString::fromLatin1(adapter->AdapterName) == systemName) {
                    found = QString::fromLocal8Bit(adapter->Description);
                    break;
                }
            }
        }
        std::free(table);
        return found;
    }
};
} // namespace

std::unique_ptr<AdapterDescriptions> AdapterDescriptions::create()
{
    return std::make_unique<WindowsAdapterDescriptions>();
}
