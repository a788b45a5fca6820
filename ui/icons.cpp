#include "ui/icons.h"

#include <QString>

namespace QrIcons {
namespace {

QIcon withVariants(const QString& base, bool hasSmall)
{
    QIcon icon(":/ico/" + base + ".png");
    icon.addFile(":/ico/" + base + "@2x.png");
    if (hasSmall)
        icon.addFile(":/ico/" + base + "-16.png");
    return icon;
}

} // namespace

QIcon tray(bool connected)
{
    return withVariants(connected ? "MainIcon" : "MainIconDisable", true);
}

QIcon penModeMark(bool selected)
{
    return withVariants(selected ? "CheckedDot" : "BlankChecked", false);
}

} // namespace QrIcons
