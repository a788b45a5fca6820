#pragma once

#include "engine/injection/injectiondevices.h"

#include <QRect>

#include <array>
#include <cstdint>
#include <span>
#include <vector>

// Translation of the injectors' frames and steps into evdev events, apart from the uinput
// device so that it can be checked without one.
//
// Touch frames become one report each of a multi-touch protocol B touchscreen:
//   - a contact that touches (down, drag) is a touching contact. One that does not touch
//     yet takes the lowest free slot and a new tracking id; one that does reports its new
//     position in its slot.
//   - a contact that does not touch (hover, lift, leave) ends its tracking id if it had
//     one. A touchscreen cannot show a finger in range that does not touch, so a hover frame
//     changes nothing, and neither does the leave frame after a lift.
//   - a contact that had a slot but is missing from a frame has gone (the dispatch drops a
//     pen whose frame was refused), so its tracking id ends too: no finger stays down on the
//     screen for a pen the program no longer knows.
//   - BTN_TOUCH goes to 1 with the first touching contact and to 0 only when the last one
//     lifts; ABS_X/ABS_Y follow the oldest touching contact, as single-touch readers expect.
//   - tracking ids count up across frames (wrapping within 0..65535), so a slot reused by
//     the next contact never repeats the id of the contact before it.
//   - every report ends in SYN_REPORT. Positions are desktop pixels of the device's area
//     (the target screen once the desktop has bound the device to it, the whole desktop
//     before), clamped to it, and turned as the area's axes lie. The axes keep the size the
//     device was created with; positions are scaled into them, since a desktop stretches a
//     touchscreen's whole range over its area whatever the range is.
// Mouse steps become ABS_X/ABS_Y (0..65535 over the device's area) for moves and BTN_LEFT
// for the button, each step one report.
namespace evdev {

struct Event {
    std::uint16_t type;
    std::uint16_t code;
    std::int32_t value;
    friend bool operator==(const Event& a, const Event& b)
    {
        return a.type == b.type && a.code == b.code && a.value == b.value;
    }
};

inline constexpr int TOUCH_SLOTS = 16;
inline constexpr std::int32_t MAX_TRACKING_ID = 0xFFFF;

class TouchFrameEncoder final {
public:
    // `axes`: the size of the device's range; `area`: what the range covers at first.
    TouchFrameEncoder(const QSize& axes, const DeviceArea& area);

    // What the range covers now; positions of later frames are taken relative to it.
    void setArea(const DeviceArea& area);

    // Appends the events of one frame to `out`. Returns false, changing nothing, when the
    // frame needs more touching contacts than there are slots.
    bool encode(std::span<const TouchPoint> frame, std::vector<Event>& out);

    // Whether some contact touches the screen.
    bool touching() const { return m_touching; }

private:
    struct Slot {
        bool used = false;
        std::uint32_t pointerId = 0;
        std::int32_t trackingId = -1;
        std::int32_t x = 0;
        std::int32_t y = 0;
        std::uint64_t age = 0; // order of touch-down; lower is older
    };

    int slotOf(std::uint32_t pointerId) const;
    void selectSlot(int slot, std::vector<Event>& out);
    void release(int slot, std::vector<Event>& out);

    QSize m_axes;
    DeviceArea m_area;
    std::array<Slot, TOUCH_SLOTS> m_slots{};
    int m_currentSlot = 0;
    std::int32_t m_nextTrackingId = 0;
    std::uint64_t m_nextAge = 0;
    bool m_touching = false;
    std::int32_t m_emulatedX = -1;
    std::int32_t m_emulatedY = -1;
};

// Appends the events of one mouse step to `out`; moves address `area` as 0..65535.
void encodeMouseStep(MouseStep step, QPoint pixel, const DeviceArea& area, std::vector<Event>& out);

} // namespace evdev
