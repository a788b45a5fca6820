#include "engine/injection/touchinjection.h"

#include "core/logging.h"
#include "engine/injection/win32records.h"

#include <algorithm>

namespace {
// A new touch session wants a moment before its first frame.
constexpr int SESSION_SETTLE_MS = 20;

bool changes(ContactPhase phase)
{
    return phase != ContactPhase::Held;
}
} // namespace

TouchInjection::TouchInjection(std::unique_ptr<TouchDevice> device,
                               std::shared_ptr<MonotonicClock> clock, const ScreenTarget& target)
    : m_device(std::move(device)), m_clock(std::move(clock))
{
    QString error;
    m_ready = m_device && m_device->open(target, &error);
    if (!m_ready && !error.isEmpty())
        qCDebug(lcInject).noquote() << error;
}

bool TouchInjection::send(const ContactFrame& frame, TouchState state)
{
    const size_t count = std::min<size_t>(frame.contacts.size(), MAX_TOUCH_CONTACTS);
    if (count == 0)
        return false;
    for (size_t i = 0; i < count; ++i) {
        const PenContact& pen = frame.contacts[i];
        m_points[i] = {pen.id, changes(pen.phase) ? state : TouchState::Drag, pen.position,
                       pen.downPosition};
    }
    const std::span<const TouchPoint> points(m_points.data(), count);
    if (m_device->inject(points))
        return true;

    // The flags are those the records carried, as user32 would have got them.
    const quint32 error = m_device->lastError();
    for (int i = 0; i < int(count); ++i) {
        const TouchPoint& point = points[size_t(i)];
        qCDebug(lcInject, " -->contact[idx=%d, pid=%d, x=%d, y=%d, flags=%08X]", i, int(point.id),
                point.position.x(), point.position.y(), injection::pointerFlags(point.state));
    }
    qCDebug(lcInject, " -->InjectTouchInput:count=%d, result=%s(%08X)", int(count), "NG", error);
    return false;
}

InjectResult TouchInjection::inject(const ContactFrame& frame)
{
    // A contact whose frame the system refused is gone, whatever it was before.
    if (!m_ready)
        return InjectResult::Dropped;
    const auto changed = std::find_if(frame.contacts.begin(), frame.contacts.end(),
                                      [](const PenContact& pen) { return changes(pen.phase); });
    if (changed == frame.contacts.end())
        return InjectResult::Done;
    bool done = false;
    switch (changed->phase) {
    case ContactPhase::Down:
        if (frame.firstContact) {
            const bool ready = m_device->beginSession(MAX_TOUCH_CONTACTS);
            m_clock->pauseMs(SESSION_SETTLE_MS);
            if (!ready)
                return InjectResult::Dropped;
        }
        done = send(frame, TouchState::Hover) && send(frame, TouchState::Down);
        break;
    case ContactPhase::Moved:
        done = send(frame, TouchState::Drag);
        break;
    default: {
        // Up or lost: every released contact lifts, then leaves range, in the same frames.
        const bool lost = std::any_of(frame.contacts.begin(), frame.contacts.end(), [](const PenContact& pen) {
            return pen.phase == ContactPhase::Lost;
        });
        if (lost)
            qCDebug(lcInject, " -->Lost Up event!!");
        done = send(frame, TouchState::Lift) && send(frame, TouchState::Leave);
    }
    }
    return done ? InjectResult::Done : InjectResult::Dropped;
}
