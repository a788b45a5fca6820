#pragma once

#include "engine/injection/injectiondevices.h"
#include "engine/injection/screengeometry.h"

#include <memory>

// The mouse device for an X11 desktop where /dev/uinput cannot be opened: XTest moves the
// X pointer and presses button 1. XTest takes root-window pixels, so the normalised
// positions are turned back into pixels of the primary screen, at its place on the
// desktop. Returns null with `cause` set when there is no X display or no XTest.
std::unique_ptr<MouseDevice> createXTestMouseDevice(ScreenGeometry screen, QString* cause);
