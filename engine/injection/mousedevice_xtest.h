#pragma once

#include "engine/injection/injectiondevices.h"

#include <memory>

// The mouse device for an X11 desktop where /dev/uinput cannot be opened: XTest moves the
// X pointer to the pen's pixel (desktop pixels are root-window pixels) and presses button 1.
// Returns null with `cause` set when there is no X display or no XTest.
std::unique_ptr<MouseDevice> createXTestMouseDevice(QString* cause);
