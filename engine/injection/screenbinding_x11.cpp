#include "engine/injection/screenbindings_linux.h"

std::unique_ptr<ScreenBinding> createX11ScreenBinding()
{
    return nullptr;
}
