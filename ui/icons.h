#pragma once

#include <QIcon>

// The embedded images as icons, each with the variants drawn for other sizes, so that a 16 px
// tray or a high-density screen gets a sharp image instead of a rescaled 24 px one. The
// 24 px (tray) and 16 px (menu mark) images stay at their plain paths, ":/ico/MainIcon.png"
// and so on, for code that loads them directly.
namespace QrIcons {

// ":/ico/MainIcon.png" when connected, ":/ico/MainIconDisable.png" when not.
QIcon tray(bool connected);

// ":/ico/CheckedDot.png" for the selected pen mode, ":/ico/BlankChecked.png" for the other.
QIcon penModeMark(bool selected);

} // namespace QrIcons
