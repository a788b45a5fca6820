#pragma once

// The user32 calls of the Windows devices, kept in one file without Qt so that they build
// with the mingw-w64 cross compiler on a machine without Windows.

#include "engine/injection/win32records.h"

#include <cstdint>

namespace win32 {

// The touch injection entry points, resolved by name at run time: older Windows versions
// do not export them, so the program must not link them.
using InitializeTouchInjectionFn = int(__stdcall*)(std::uint32_t maxCount, std::uint32_t mode);
using InjectTouchInputFn = int(__stdcall*)(std::uint32_t count,
                                           const injection::PointerTouchInfo* contacts);

bool initializeTouchInjection(InitializeTouchInjectionFn fn, std::uint32_t maxCount,
                              std::uint32_t feedbackMode);
bool injectTouchInput(InjectTouchInputFn fn, std::uint32_t count,
                      const injection::PointerTouchInfo* contacts);
std::uint32_t lastError();
// SendInput with one record; returns the number of records inserted.
std::uint32_t sendMouseInput(const injection::InputRecord& record);

} // namespace win32
