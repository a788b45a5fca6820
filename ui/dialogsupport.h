#pragma once

#include <Qt>

// The frame of every dialog: title bar, system menu and close button, no context help
// (0x0A003003).
inline constexpr Qt::WindowFlags DialogWindowFlags =
    Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::CustomizeWindowHint |
    Qt::WindowCloseButtonHint;
