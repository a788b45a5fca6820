#pragma once

// The records the Windows devices hand to user32, built from the injectors' frames and
// steps. They are laid out byte for byte like the Windows SDK's POINTER_TOUCH_INFO and INPUT
// (with its MOUSEINPUT member); win32calls_win.cpp compares the layouts with the SDK's own
// structures. Plain code without a Windows header, so that the Linux tests check what user32
// receives.

#include "engine/injection/injectiondevices.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace injection {

// Pointer flags (POINTER_FLAG_*).
inline constexpr std::uint32_t PointerFlagInRange = 0x00000002;
inline constexpr std::uint32_t PointerFlagInContact = 0x00000004;
inline constexpr std::uint32_t PointerFlagDown = 0x00010000;
inline constexpr std::uint32_t PointerFlagUpdate = 0x00020000;
inline constexpr std::uint32_t PointerFlagUp = 0x00040000;

// The flag combinations of one contact's life: a finger that comes into range (hover),
// touches (touch down), drags, lifts and leaves range.
inline constexpr std::uint32_t FlagsHover = PointerFlagUpdate | PointerFlagInRange;
inline constexpr std::uint32_t FlagsTouchDown =
    PointerFlagDown | PointerFlagInRange | PointerFlagInContact;
inline constexpr std::uint32_t FlagsDrag =
    PointerFlagUpdate | PointerFlagInRange | PointerFlagInContact;
inline constexpr std::uint32_t FlagsLift = PointerFlagUp | PointerFlagInRange;
inline constexpr std::uint32_t FlagsLeave = PointerFlagUpdate;

inline constexpr std::uint32_t PointerTypeTouch = 2;
inline constexpr std::uint32_t TouchFlagNone = 0;
inline constexpr std::uint32_t TouchMaskContactArea = 0x1;
inline constexpr std::uint32_t TouchMaskOrientation = 0x2;
inline constexpr std::uint32_t TouchMaskPressure = 0x4;
inline constexpr std::uint32_t TouchFeedbackDefault = 0x1;

inline constexpr std::uint32_t MaxTouchContacts = 256;
inline constexpr std::uint32_t ContactOrientation = 90;
inline constexpr std::uint32_t ContactPressure = 32000;
inline constexpr std::int32_t ContactHalfSize = 2; // the contact area is 4 x 4 pixels

// Mouse input (INPUT_MOUSE, MOUSEEVENTF_*). Named apart from the SDK macros so that both
// can be seen in one file.
inline constexpr std::uint32_t InputMouse = 0;
inline constexpr std::uint32_t MouseEventMove = 0x0001;
inline constexpr std::uint32_t MouseEventLeftDown = 0x0002;
inline constexpr std::uint32_t MouseEventLeftUp = 0x0004;
inline constexpr std::uint32_t MouseEventVirtualDesk = 0x4000;
inline constexpr std::uint32_t MouseEventAbsolute = 0x8000;

struct PixelPoint { // POINT
    std::int32_t x;
    std::int32_t y;
};

struct PixelRect { // RECT
    std::int32_t left;
    std::int32_t top;
    std::int32_t right;
    std::int32_t bottom;
};

struct PointerInfo { // POINTER_INFO
    std::uint32_t pointerType;
    std::uint32_t pointerId;
    std::uint32_t frameId;
    std::uint32_t pointerFlags;
    void* sourceDevice;
    void* hwndTarget;
    PixelPoint ptPixelLocation;
    PixelPoint ptHimetricLocation;
    PixelPoint ptPixelLocationRaw;
    PixelPoint ptHimetricLocationRaw;
    std::uint32_t dwTime;
    std::uint32_t historyCount;
    std::int32_t inputData;
    std::uint32_t dwKeyStates;
    // Windows aligns 64-bit members to 8 bytes in 32-bit code as well.
    alignas(8) std::uint64_t performanceCount;
    std::uint32_t buttonChangeType;
};

struct PointerTouchInfo { // POINTER_TOUCH_INFO
    PointerInfo pointerInfo;
    std::uint32_t touchFlags;
    std::uint32_t touchMask;
    PixelRect rcContact;
    PixelRect rcContactRaw;
    std::uint32_t orientation;
    std::uint32_t pressure;
};

struct MouseInput { // MOUSEINPUT
    std::int32_t dx;
    std::int32_t dy;
    std::uint32_t mouseData;
    std::uint32_t dwFlags;
    std::uint32_t time;
    std::uintptr_t dwExtraInfo;
};

struct InputRecord { // INPUT with type InputMouse; the mouse member is the union's largest
    std::uint32_t type;
    MouseInput mi;
};

static_assert(sizeof(void*) == 8 || sizeof(void*) == 4, "only 32- and 64-bit layouts exist");
static_assert(sizeof(PointerTouchInfo) == (sizeof(void*) == 8 ? 144 : 136),
              "POINTER_TOUCH_INFO is 144 bytes in 64-bit and 136 bytes in 32-bit code");
static_assert(sizeof(InputRecord) == (sizeof(void*) == 8 ? 40 : 28),
              "INPUT is 40 bytes in 64-bit and 28 bytes in 32-bit code");
static_assert(offsetof(PointerTouchInfo, touchFlags) == (sizeof(void*) == 8 ? 96 : 88),
              "POINTER_INFO is 96 bytes in 64-bit and 88 bytes in 32-bit code");

// The touch frames user32 receives: one POINTER_TOUCH_INFO a contact, in the frame's order.
// A frame usually changes one contact of the last: the records of the others are still in
// the array as that frame left them, and only those that differ are written again.
class PointerTouchFrames {
public:
    PointerTouchFrames();
    // The records of `frame` (at most MaxTouchContacts contacts), valid until the next call.
    const PointerTouchInfo* build(std::span<const TouchPoint> frame);

private:
    std::unique_ptr<std::array<PointerTouchInfo, MaxTouchContacts>> m_records;
};

// The pointer flags of a contact in a touch state, and the flags of a mouse step (the
// diagnostics show them too).
std::uint32_t pointerFlags(TouchState state);
std::uint32_t mouseEventFlags(MouseStep step);

// The INPUT record of one mouse step: moves address the whole `desktop` (the virtual
// screen, the bounding rectangle of every monitor) as 0..65535 on each axis, so that they
// reach any monitor, not only the primary one; a press or release carries no position.
InputRecord makeMouseInput(MouseStep step, QPoint pixel, const QRect& desktop);

} // namespace injection
