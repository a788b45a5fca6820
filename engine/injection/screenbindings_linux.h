#pragma once

#include "engine/injection/screenbinding.h"

// The bindings of the Linux desktops. Each returns null where its desktop is not the one
// running, or cannot be reached.

// An X server with XInput 2 and RandR; null under Xwayland, where a device's matrix does
// nothing and the compositor decides.
std::unique_ptr<ScreenBinding> createX11ScreenBinding();

// The Wayland compositor of this session, where it offers a way: GNOME, KDE, sway and the
// other wlroots compositors.
std::unique_ptr<ScreenBinding> createWaylandScreenBinding();
