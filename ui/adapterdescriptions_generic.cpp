#include "ui/adapterdescriptions.h"

namespace {
// No adapter table beyond the toolkit's own interface list: the display name stays.
class NoAdapterDescriptions final : public AdapterDescriptions {
public:
    QString description(const QString&) const override { return QString(); }
};
} // namespace

std::unique_ptr<AdapterDescriptions> AdapterDescriptions::create()
{
    return std::make_unique<NoAdapterDescriptions>();
}
