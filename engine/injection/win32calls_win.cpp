#include "engine/injection/win32calls_win.h"

#include <windows.h>

#include <cstddef>

// Our records must be the SDK's structures byte for byte: they are handed to user32 as
// they are.
namespace {
using injection::InputRecord;
using injection::MouseInput;
using injection::PointerTouchInfo;

static_assert(sizeof(PointerTouchInfo) == sizeof(POINTER_TOUCH_INFO));
static_assert(alignof(PointerTouchInfo) == alignof(POINTER_TOUCH_INFO));
static_assert(sizeof(InputRecord) == sizeof(INPUT));
static_assert(alignof(InputRecord) == alignof(INPUT));
static_assert(sizeof(MouseInput) == sizeof(MOUSEINPUT));
static_assert(offsetof(PointerTouchInfo, pointerInfo) == offsetof(POINTER_TOUCH_INFO, pointerInfo));
static_assert(offsetof(PointerTouchInfo, touchFlags) == offsetof(POINTER_TOUCH_INFO, touchFlags));
static_assert(offsetof(PointerTouchInfo, touchMask) == offsetof(POINTER_TOUCH_INFO, touchMask));
static_assert(offsetof(PointerTouchInfo, rcContact) == offsetof(POINTER_TOUCH_INFO, rcContact));
static_assert(offsetof(PointerTouchInfo, rcContactRaw) ==
              offsetof(POINTER_TOUCH_INFO, rcContactRaw));
static_assert(offsetof(PointerTouchInfo, orientation) == offsetof(POINTER_TOUCH_INFO, orientation));
static_assert(offsetof(PointerTouchInfo, pressure) == offsetof(POINTER_TOUCH_INFO, pressure));
static_assert(offsetof(injection::PointerInfo, pointerId) == offsetof(POINTER_INFO, pointerId));
static_assert(offsetof(injection::PointerInfo, pointerFlags) ==
              offsetof(POINTER_INFO, pointerFlags));
static_assert(offsetof(injection::PointerInfo, ptPixelLocation) ==
              offsetof(POINTER_INFO, ptPixelLocation));
static_assert(offsetof(injection::PointerInfo, performanceCount) ==
              offsetof(POINTER_INFO, PerformanceCount));
static_assert(offsetof(injection::PointerInfo, buttonChangeType) ==
              offsetof(POINTER_INFO, ButtonChangeType));
static_assert(offsetof(InputRecord, mi) == offsetof(INPUT, mi));
static_assert(offsetof(MouseInput, dwFlags) == offsetof(MOUSEINPUT, dwFlags));
static_assert(offsetof(MouseInput, dwExtraInfo) == offsetof(MOUSEINPUT, dwExtraInfo));

static_assert(injection::PointerFlagInRange == POINTER_FLAG_INRANGE);
static_assert(injection::PointerFlagInContact == POINTER_FLAG_INCONTACT);
static_assert(injection::PointerFlagDown == POINTER_FLAG_DOWN);
static_assert(injection::PointerFlagUpdate == POINTER_FLAG_UPDATE);
static_assert(injection::PointerFlagUp == POINTER_FLAG_UP);
static_assert(injection::PointerTypeTouch == PT_TOUCH);
static_assert(injection::TouchFeedbackDefault == TOUCH_FEEDBACK_DEFAULT);
static_assert(injection::MouseEventAbsolute == MOUSEEVENTF_ABSOLUTE);
static_assert(injection::MouseEventVirtualDesk == MOUSEEVENTF_VIRTUALDESK);
static_assert(injection::MouseEventLeftDown == MOUSEEVENTF_LEFTDOWN);
static_assert(injection::InputMouse == INPUT_MOUSE);
} // namespace

namespace win32 {

bool initializeTouchInjection(InitializeTouchInjectionFn fn, std::uint32_t maxCount,
                              std::uint32_t feedbackMode)
{
    return fn && fn(maxCount, feedbackMode) != 0;
}

bool injectTouchInput(InjectTouchInputFn fn, std::uint32_t count,
                      const injection::PointerTouchInfo* contacts)
{
    return fn && fn(count, contacts) != 0;
}

std::uint32_t lastError()
{
    return GetLastError();
}

std::uint32_t sendMouseInput(const injection::InputRecord& record)
{
    INPUT input;
    static_assert(sizeof input == sizeof record);
    memcpy(&input, &record, sizeof input);
    return SendInput(1, &input, sizeof(INPUT));
}

} // namespace win32
