#include "engine/injection/injectionrecords.h"

#include <cstring>

namespace injection {

void fillTouchRecord(PointerTouchInfo& record, std::uint32_t pointerId, std::uint32_t flags,
                     std::int32_t x, std::int32_t y, std::int32_t cx, std::int32_t cy)
{
    std::memset(&record, 0, sizeof record);
    record.pointerInfo.pointerType = PointerTypeTouch;
    record.pointerInfo.pointerId = pointerId;
    record.pointerInfo.pointerFlags = flags;
    record.pointerInfo.ptPixelLocation = {x, y};
    record.touchFlags = TouchFlagNone;
    record.touchMask = TouchMaskContactArea | TouchMaskOrientation | TouchMaskPressure;
    record.rcContact = {cx - ContactHalfSize, cy - ContactHalfSize, cx + ContactHalfSize,
                        cy + ContactHalfSize};
    record.orientation = ContactOrientation;
    record.pressure = ContactPressure;
}

bool holdsTouchContact(const PointerTouchInfo& record, std::uint32_t pointerId, std::uint32_t flags,
                       std::int32_t x, std::int32_t y, std::int32_t cx, std::int32_t cy)
{
    const PointerInfo& info = record.pointerInfo;
    return info.pointerId == pointerId && info.pointerFlags == flags &&
           info.ptPixelLocation.x == x && info.ptPixelLocation.y == y &&
           record.rcContact.left == cx - ContactHalfSize &&
           record.rcContact.top == cy - ContactHalfSize;
}

InputRecord makeMouseRecord(std::int32_t dx, std::int32_t dy, std::uint32_t flags)
{
    InputRecord record;
    std::memset(&record, 0, sizeof record);
    record.type = InputMouse;
    record.mi.dx = dx;
    record.mi.dy = dy;
    record.mi.dwFlags = flags;
    return record;
}

std::int32_t normaliseMouseCoordinate(std::int32_t offset, std::int32_t extent)
{
    if (extent <= 0)
        return 0;
    // Unsigned 32-bit arithmetic, as the record is defined: callers pass offsets inside the
    // screen, which keeps the product below 2^32 for every screen up to 65535 pixels.
    const std::uint32_t product = std::uint32_t(offset) * MouseNormalisedMax;
    return std::int32_t(product / std::uint32_t(extent));
}

std::int32_t denormaliseMouseCoordinate(std::int32_t normalised, std::int32_t extent)
{
    if (extent <= 0)
        return 0;
    // normalised = floor(p * 65535 / extent), so p is the ceiling of normalised * extent /
    // 65535 as long as the extent is below 65535.
    const std::int64_t product = std::int64_t(normalised) * extent;
    const std::int64_t ceil = (product + MouseNormalisedMax - 1) / MouseNormalisedMax;
    return std::int32_t(ceil);
}

} // namespace injection
