#pragma once

// The input records the injectors hand to their devices. They are laid out byte for byte
// like the Windows SDK's POINTER_TOUCH_INFO and INPUT (with its MOUSEINPUT member), so the
// Windows devices pass them to user32 as they are, and every other device reads the same
// fields. This header uses no Qt and no Windows header: it is compiled by the mingw-w64
// check too, where the layouts are compared with the SDK's own structures.

#include <cstddef>
#include <cstdint>

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
inline constexpr std::uint32_t MouseEventAbsolute = 0x8000;
inline constexpr std::uint32_t MouseNormalisedMax = 65535;

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

// Fills `record` (cleared first) as one contact of a touch frame: the contact's id, flags
// and position, a 4 x 4 contact area around the point where it went down, orientation 90
// and pressure 32000.
void fillTouchRecord(PointerTouchInfo& record, std::uint32_t pointerId, std::uint32_t flags,
                     std::int32_t x, std::int32_t y, std::int32_t cx, std::int32_t cy);
// Whether `record`, filled by fillTouchRecord before, holds exactly this contact (the
// fields fillTouchRecord sets to constants are not compared).
bool holdsTouchContact(const PointerTouchInfo& record, std::uint32_t pointerId, std::uint32_t flags,
                       std::int32_t x, std::int32_t y, std::int32_t cx, std::int32_t cy);

// One mouse input record with the system's own time stamp and no extra information.
InputRecord makeMouseRecord(std::int32_t dx, std::int32_t dy, std::uint32_t flags);

// Maps a pixel offset inside a screen of `extent` pixels to the 0..65535 space of absolute
// mouse input: offset x 65535 / extent in unsigned 32-bit arithmetic, truncated. An extent
// of 0 gives 0.
std::int32_t normaliseMouseCoordinate(std::int32_t offset, std::int32_t extent);

// The inverse used by devices that take pixels: the smallest pixel offset whose normalised
// value is `normalised`, so that a pixel survives the round trip exactly.
std::int32_t denormaliseMouseCoordinate(std::int32_t normalised, std::int32_t extent);

} // namespace injection
