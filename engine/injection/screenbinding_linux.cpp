#include "engine/injection/screenbindings_linux.h"

#include "core/logging.h"

std::unique_ptr<ScreenBinding> createScreenBinding()
{
    // A Wayland session first: its X server, if any, is Xwayland, whose devices the
    // compositor places.
    if (auto wayland = createWaylandScreenBinding())
        return wayland;
    if (auto x11 = createX11ScreenBinding())
        return x11;
    qCDebug(lcScreen, "no way to bind input devices to a screen here: they cover the whole desktop");
    return nullptr;
}
