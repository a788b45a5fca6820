#include "engine/injection/evdevframes_uinput.h"

#include <linux/input-event-codes.h>

#include <algorithm>

namespace evdev {

TouchFrameEncoder::TouchFrameEncoder(const QSize& axes, const DeviceArea& area)
    : m_axes(axes), m_area(area)
{
}

void TouchFrameEncoder::setArea(const DeviceArea& area)
{
    if (!area.pixels.isEmpty())
        m_area = area;
}

namespace {
// A pixel offset on a screen of `extent` pixels, in axis units of a range of `axis`.
std::int32_t toAxis(std::int32_t offset, int extent, int axis)
{
    if (extent == axis || extent <= 0)
        return offset;
    return std::int32_t(std::int64_t(offset) * axis / extent);
}
} // namespace

int TouchFrameEncoder::slotOf(std::uint32_t pointerId) const
{
    for (int i = 0; i < TOUCH_SLOTS; ++i) {
        if (m_slots[size_t(i)].used && m_slots[size_t(i)].pointerId == pointerId)
            return i;
    }
    return -1;
}

void TouchFrameEncoder::selectSlot(int slot, std::vector<Event>& out)
{
    if (slot != m_currentSlot) {
        out.push_back({EV_ABS, ABS_MT_SLOT, slot});
        m_currentSlot = slot;
    }
}

void TouchFrameEncoder::release(int slot, std::vector<Event>& out)
{
    selectSlot(slot, out);
    out.push_back({EV_ABS, ABS_MT_TRACKING_ID, -1});
    m_slots[size_t(slot)] = Slot{};
}

namespace {
bool touches(const TouchPoint& point)
{
    return point.state == TouchState::Down || point.state == TouchState::Drag;
}
} // namespace

bool TouchFrameEncoder::encode(std::span<const TouchPoint> frame, std::vector<Event>& out)
{
    // Refuse a frame that needs more slots than exist before touching any state.
    int freeSlots = 0;
    for (const Slot& slot : m_slots)
        freeSlots += slot.used ? 0 : 1;
    int needed = 0;
    for (const TouchPoint& p : frame) {
        if (touches(p) && slotOf(p.id) < 0)
            ++needed;
    }
    if (needed > freeSlots)
        return false;

    const std::int32_t maxX = std::max(m_axes.width() - 1, 0);
    const std::int32_t maxY = std::max(m_axes.height() - 1, 0);
    std::array<bool, TOUCH_SLOTS> seen{};

    for (const TouchPoint& p : frame) {
        int slot = slotOf(p.id);
        if (!touches(p)) {
            if (slot >= 0)
                release(slot, out);
            continue;
        }
        QSize extent;
        const QPoint offset = m_area.deviceOffset(p.position, &extent);
        const std::int32_t x = std::clamp(toAxis(offset.x(), extent.width(), m_axes.width()), 0, maxX);
        const std::int32_t y = std::clamp(toAxis(offset.y(), extent.height(), m_axes.height()), 0, maxY);
        if (slot < 0) {
            slot = 0;
            while (m_slots[size_t(slot)].used)
                ++slot;
            Slot& s = m_slots[size_t(slot)];
            s.used = true;
            s.pointerId = p.id;
            s.trackingId = m_nextTrackingId;
            s.age = m_nextAge++;
            m_nextTrackingId = m_nextTrackingId == MAX_TRACKING_ID ? 0 : m_nextTrackingId + 1;
            selectSlot(slot, out);
            out.push_back({EV_ABS, ABS_MT_TRACKING_ID, s.trackingId});
            out.push_back({EV_ABS, ABS_MT_POSITION_X, x});
            out.push_back({EV_ABS, ABS_MT_POSITION_Y, y});
            s.x = x;
            s.y = y;
        } else {
            Slot& s = m_slots[size_t(slot)];
            if (s.x != x || s.y != y)
                selectSlot(slot, out);
            if (s.x != x)
                out.push_back({EV_ABS, ABS_MT_POSITION_X, x});
            if (s.y != y)
                out.push_back({EV_ABS, ABS_MT_POSITION_Y, y});
            s.x = x;
            s.y = y;
        }
        seen[size_t(slot)] = true;
    }

    // Contacts the frame no longer carries have gone.
    for (int i = 0; i < TOUCH_SLOTS; ++i) {
        if (m_slots[size_t(i)].used && !seen[size_t(i)])
            release(i, out);
    }

    const Slot* oldest = nullptr;
    for (const Slot& slot : m_slots) {
        if (slot.used && (!oldest || slot.age < oldest->age))
            oldest = &slot;
    }
    const bool touching = oldest != nullptr;
    if (touching != m_touching) {
        out.push_back({EV_KEY, BTN_TOUCH, touching ? 1 : 0});
        m_touching = touching;
    }
    if (oldest) {
        if (oldest->x != m_emulatedX)
            out.push_back({EV_ABS, ABS_X, oldest->x});
        if (oldest->y != m_emulatedY)
            out.push_back({EV_ABS, ABS_Y, oldest->y});
        m_emulatedX = oldest->x;
        m_emulatedY = oldest->y;
    }
    out.push_back({EV_SYN, SYN_REPORT, 0});
    return true;
}

void encodeMouseStep(MouseStep step, QPoint pixel, const DeviceArea& area, std::vector<Event>& out)
{
    switch (step) {
    case MouseStep::Move: {
        QSize extent;
        const QPoint offset = area.deviceOffset(pixel, &extent);
        out.push_back({EV_ABS, ABS_X, std::clamp(normaliseAbsolute(offset.x(), extent.width()), 0, 65535)});
        out.push_back({EV_ABS, ABS_Y, std::clamp(normaliseAbsolute(offset.y(), extent.height()), 0, 65535)});
        break;
    }
    case MouseStep::Press:
        out.push_back({EV_KEY, BTN_LEFT, 1});
        break;
    case MouseStep::Release:
        out.push_back({EV_KEY, BTN_LEFT, 0});
        break;
    }
    out.push_back({EV_SYN, SYN_REPORT, 0});
}

} // namespace evdev
