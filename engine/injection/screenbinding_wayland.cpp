#include "engine/injection/screenbindings_linux.h"

std::unique_ptr<ScreenBinding> createWaylandScreenBinding()
{
    return nullptr;
}
