#include "engine/injection/sendmouseevent.h"

#include "core/logging.h"
#include "engine/injection/win32records.h"

SendMouseEvent::SendMouseEvent(std::unique_ptr<MouseDevice> device, const ScreenTarget& target)
    : m_device(std::move(device))
{
    m_device->setTarget(target);
}

bool SendMouseEvent::send(quint32 id, MouseStep step, QPoint pixel)
{
    if (!m_failureReported) {
        const QString failure = m_device->failure();
        if (!failure.isEmpty()) {
            m_failureReported = true;
            qCDebug(lcInject).noquote() << failure;
        }
    }
    if (m_device->send(step, pixel))
        return true;
    // The flags are those of the record SendInput would have got; a button carries 0, 0.
    if (step != MouseStep::Move)
        pixel = QPoint(0, 0);
    qCDebug(lcInject, " -->SendInput[id=%d, x=%d, y=%d, flags=%08X, result=%s]", int(id), pixel.x(),
            pixel.y(), injection::mouseEventFlags(step), "NG");
    return false;
}

InjectResult SendMouseEvent::inject(const ContactFrame& frame)
{
    InjectResult result = InjectResult::Done;
    for (const PenContact& pen : frame.contacts) {
        switch (pen.phase) {
        case ContactPhase::Held:
            break;
        case ContactPhase::Down:
            // A refused press records nothing: a pen pressed again keeps its earlier press,
            // whose button is still down.
            if (!send(pen.id, MouseStep::Move, pen.position) ||
                !send(pen.id, MouseStep::Press, pen.position))
                result = InjectResult::Reverted;
            break;
        case ContactPhase::Moved:
            // A refused move counts as a release.
            if (!send(pen.id, MouseStep::Move, pen.position))
                result = InjectResult::Dropped;
            break;
        case ContactPhase::Lost:
            qCDebug(lcInject, " -->Lost Up event!!");
            [[fallthrough]];
        case ContactPhase::Up:
            send(pen.id, MouseStep::Release, pen.position);
            break;
        }
    }
    return result;
}
