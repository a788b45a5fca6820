#include "engine/injection/win32records.h"

#include <algorithm>
#include <cstring>

namespace injection {

namespace {
void fillTouchRecord(PointerTouchInfo& record, const TouchPoint& point, std::uint32_t flags)
{
    std::memset(&record, 0, sizeof record);
    record.pointerInfo.pointerType = PointerTypeTouch;
    record.pointerInfo.pointerId = point.id;
    record.pointerInfo.pointerFlags = flags;
    record.pointerInfo.ptPixelLocation = {point.position.x(), point.position.y()};
    record.touchFlags = TouchFlagNone;
    record.touchMask = TouchMaskContactArea | TouchMaskOrientation | TouchMaskPressure;
    record.rcContact = {point.centre.x() - ContactHalfSize, point.centre.y() - ContactHalfSize,
                        point.centre.x() + ContactHalfSize, point.centre.y() + ContactHalfSize};
    record.orientation = ContactOrientation;
    record.pressure = ContactPressure;
}

// Whether `record`, filled by fillTouchRecord before, holds exactly this contact (the fields
// fillTouchRecord sets to constants are not compared).
bool holdsTouchContact(const PointerTouchInfo& record, const TouchPoint& point, std::uint32_t flags)
{
    const PointerInfo& info = record.pointerInfo;
    return info.pointerId == point.id && info.pointerFlags == flags &&
           info.ptPixelLocation.x == point.position.x() &&
           info.ptPixelLocation.y == point.position.y() &&
           record.rcContact.left == point.centre.x() - ContactHalfSize &&
           record.rcContact.top == point.centre.y() - ContactHalfSize;
}
} // namespace

std::uint32_t pointerFlags(TouchState state)
{
    switch (state) {
    case TouchState::Hover:
        return FlagsHover;
    case TouchState::Down:
        return FlagsTouchDown;
    case TouchState::Drag:
        return FlagsDrag;
    case TouchState::Lift:
        return FlagsLift;
    case TouchState::Leave:
        return FlagsLeave;
    }
    return 0;
}

// The array starts zeroed, which no live contact matches: its flags are never 0.
PointerTouchFrames::PointerTouchFrames()
    : m_records(std::make_unique<std::array<PointerTouchInfo, MaxTouchContacts>>())
{
}

const PointerTouchInfo* PointerTouchFrames::build(std::span<const TouchPoint> frame)
{
    std::size_t i = 0;
    for (const TouchPoint& point : frame.first(std::min<std::size_t>(frame.size(), MaxTouchContacts))) {
        PointerTouchInfo& record = (*m_records)[i++];
        const std::uint32_t flags = pointerFlags(point.state);
        if (!holdsTouchContact(record, point, flags))
            fillTouchRecord(record, point, flags);
    }
    return m_records->data();
}

std::uint32_t mouseEventFlags(MouseStep step)
{
    switch (step) {
    case MouseStep::Move:
        return MouseEventMove | MouseEventAbsolute | MouseEventVirtualDesk;
    case MouseStep::Press:
        return MouseEventLeftDown;
    case MouseStep::Release:
        return MouseEventLeftUp;
    }
    return 0;
}

InputRecord makeMouseInput(MouseStep step, QPoint pixel, const QRect& desktop)
{
    InputRecord record;
    std::memset(&record, 0, sizeof record);
    record.type = InputMouse;
    record.mi.dwFlags = mouseEventFlags(step);
    // Absolute input addresses the virtual screen as a whole, whose corner may lie left of
    // or above the primary monitor's: the position is made relative to that corner first.
    // A press or release has no move flag: its position is not used, and 0, 0 is sent.
    if (step == MouseStep::Move) {
        record.mi.dx = normaliseAbsolute(pixel.x() - desktop.left(), desktop.width());
        record.mi.dy = normaliseAbsolute(pixel.y() - desktop.top(), desktop.height());
    }
    return record;
}

} // namespace injection
