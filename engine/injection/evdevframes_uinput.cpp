#include "engine/injection/evdevframes_uinput.h"

#include <linux/input-event-codes.h>

#include <algorithm>

using namespace injection;

namespace evdev {

TouchFrameEncoder::TouchFrameEncoder(const QRect& screen) : m_axes(screen.size()), m_screen(screen)
{
}

void TouchFrameEncoder::setScreen(const QRect& screen)
{
    if (!screen.isEmpty())
        m_screen = screen;
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

bool TouchFrameEncoder::encode(std::uint32_t count, const PointerTouchInfo* records,
                               std::vector<Event>& out)
{
    // Refuse a frame that needs more slots than exist before touching any state.
    int freeSlots = 0;
    for (const Slot& slot : m_slots)
        freeSlots += slot.used ? 0 : 1;
    int needed = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const PointerInfo& p = records[i].pointerInfo;
        if ((p.pointerFlags & PointerFlagInContact) && slotOf(p.pointerId) < 0)
            ++needed;
    }
    if (needed > freeSlots)
        return false;

    const std::int32_t maxX = std::max(m_axes.width() - 1, 0);
    const std::int32_t maxY = std::max(m_axes.height() - 1, 0);
    std::array<bool, TOUCH_SLOTS> seen{};

    for (std::uint32_t i = 0; i < count; ++i) {
        const PointerInfo& p = records[i].pointerInfo;
        int slot = slotOf(p.pointerId);
        if (!(p.pointerFlags & PointerFlagInContact)) {
            if (slot >= 0)
                release(slot, out);
            continue;
        }
        const std::int32_t x = std::clamp(
            toAxis(p.ptPixelLocation.x - m_screen.left(), m_screen.width(), m_axes.width()), 0,
            maxX);
        const std::int32_t y = std::clamp(
            toAxis(p.ptPixelLocation.y - m_screen.top(), m_screen.height(), m_axes.height()), 0,
            maxY);
        if (slot < 0) {
            slot = 0;
            while (m_slots[size_t(slot)].used)
                ++slot;
            Slot& s = m_slots[size_t(slot)];
            s.used = true;
            s.pointerId = p.pointerId;
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

bool encodeMouseRecord(const InputRecord& record, std::vector<Event>& out)
{
    constexpr std::uint32_t known =
        MouseEventMove | MouseEventAbsolute | MouseEventLeftDown | MouseEventLeftUp;
    const std::uint32_t flags = record.mi.dwFlags;
    if (record.type != InputMouse || (flags & ~known) != 0)
        return false;
    const bool move = flags & MouseEventMove;
    if (move && !(flags & MouseEventAbsolute))
        return false;
    if (move) {
        const std::int32_t max = std::int32_t(MouseNormalisedMax);
        out.push_back({EV_ABS, ABS_X, std::clamp(record.mi.dx, 0, max)});
        out.push_back({EV_ABS, ABS_Y, std::clamp(record.mi.dy, 0, max)});
    }
    // SendInput handles the move before the buttons of the same record; so does this.
    if (flags & MouseEventLeftDown)
        out.push_back({EV_KEY, BTN_LEFT, 1});
    if (flags & MouseEventLeftUp)
        out.push_back({EV_KEY, BTN_LEFT, 0});
    out.push_back({EV_SYN, SYN_REPORT, 0});
    return true;
}

} // namespace evdev
