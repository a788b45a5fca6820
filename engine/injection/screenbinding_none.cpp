#include "engine/injection/screenbinding.h"

std::unique_ptr<ScreenBinding> createScreenBinding()
{
    return nullptr;
}
