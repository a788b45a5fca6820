#pragma once

#include "core/monotonicclock.h"
#include "engine/injection/injectiondevices.h"
#include "engine/injection/pencontacts.h"

#include <array>
#include <memory>

// At most this many contacts; pen ids are one byte, so the dispatch never holds more.
inline constexpr quint32 MAX_TOUCH_CONTACTS = 256;

// Turns frames into touch contacts: each pen is a contact that enters range, touches, drags,
// lifts and leaves range. Every frame to the device carries every contact, by ascending id;
// contacts that did not change in it rest with their drag state.
class TouchInjection final : public PenInjector {
public:
    // Opens `device` for the screen at `target`; without it every frame is dropped.
    TouchInjection(std::unique_ptr<TouchDevice> device, std::shared_ptr<MonotonicClock> clock,
                   const ScreenTarget& target);
    Q_DISABLE_COPY_MOVE(TouchInjection)

    bool isReady() const override { return m_ready; }
    InjectResult inject(const ContactFrame& frame) override;
    void setTarget(const ScreenTarget& target) override
    {
        if (m_device)
            m_device->setTarget(target);
    }

private:
    // One frame to the device: `changed` (the pens the frame is about) in `state`, every
    // other contact dragging. Logs a refused frame.
    bool send(const ContactFrame& frame, TouchState state);

    std::unique_ptr<TouchDevice> m_device;
    std::shared_ptr<MonotonicClock> m_clock;
    bool m_ready = false;
    std::array<TouchPoint, MAX_TOUCH_CONTACTS> m_points; // the frame being sent
};
