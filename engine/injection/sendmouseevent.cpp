#include "engine/injection/sendmouseevent.h"

#include "core/logging.h"

using namespace injection;

SendMouseEvent::SendMouseEvent(std::unique_ptr<MouseDevice> device,
                               std::shared_ptr<MonotonicClock> clock, ScreenGeometry screen,
                               QObject* parent)
    : QObject(parent), m_device(std::move(device)), m_clock(std::move(clock)),
      m_screen(std::move(screen))
{
}

// A button still held is not released here: the system keeps no state of ours to clean up.
SendMouseEvent::~SendMouseEvent() = default;

bool SendMouseEvent::SendMouse(qint32 id, quint32 flags, qint32 x, qint32 y)
{
    const QRect screen = m_screen ? m_screen() : QRect();
    // Absolute mouse input addresses the primary screen. The position is made relative to
    // that screen first: on Windows it starts at 0, 0 anyway, but a Linux desktop may put
    // it anywhere, and without the offset a pointer on a primary screen at left 1920 would
    // land past the right edge.
    const qint32 dx = normaliseMouseCoordinate(x - screen.left(), screen.width());
    const qint32 dy = normaliseMouseCoordinate(y - screen.top(), screen.height());
    // Button records carry no move flag, so their position is not used: send 0, 0.
    const bool moves = flags & MouseEventMove;
    const InputRecord record = makeMouseRecord(moves ? dx : 0, moves ? dy : 0, flags);

    quint32 result = 0;
    if (m_device) {
        if (!m_failureReported) {
            const QString failure = m_device->failure();
            if (!failure.isEmpty()) {
                m_failureReported = true;
                qCDebug(lcInject).noquote() << failure;
            }
        }
        result = m_device->send(record);
    }
    if (result != 0)
        return true;
    qCDebug(lcInject, " -->SendInput[id=%d, x=%d, y=%d, flags=%08X, result=%s]", id, x, y, flags,
            "NG");
    return false;
}

bool SendMouseEvent::AddButtonState(qint32 id, qint32 x, qint32 y)
{
    RemoveButtonState(id);
    buttons[id] = ButtonState{x, y, m_clock->nowMs()};
    return true;
}

bool SendMouseEvent::RemoveButtonState(qint32 id)
{
    return buttons.erase(id) > 0;
}

bool SendMouseEvent::PenDown(qint32 id, qint32 x, qint32 y)
{
    if (!SendMouse(id, MouseEventMove | MouseEventAbsolute, x, y))
        return false;
    if (!SendMouse(id, MouseEventLeftDown, 0, 0))
        return false;
    return AddButtonState(id, x, y);
}

bool SendMouseEvent::PenMove(qint32 id, qint32 x, qint32 y)
{
    const auto it = buttons.find(id);
    if (it == buttons.end()) {
        qCDebug(lcInject, " -->Lost Down event!!");
        return PenDown(id, x, y);
    }
    it->second = ButtonState{x, y, m_clock->nowMs()};
    const bool ok = SendMouse(id, MouseEventMove | MouseEventAbsolute, x, y);
    if (!ok)
        RemoveButtonState(id);
    return ok;
}

bool SendMouseEvent::PenUp(qint32 id)
{
    if (buttons.find(id) == buttons.end())
        return false;
    const bool ok = SendMouse(id, MouseEventLeftUp, 0, 0);
    RemoveButtonState(id);
    return ok;
}

void SendMouseEvent::flush()
{
    if (m_device)
        m_device->flush();
}

void SendMouseEvent::CheckLostUp()
{
    const qint64 now = m_clock->nowMs();
    QList<qint32> lost;
    for (const auto& [id, state] : buttons) {
        if (now >= state.lastTime + LOST_UP_TIMEOUT_MS)
            lost.append(id);
    }
    for (const qint32 id : lost) {
        qCDebug(lcInject, " -->Lost Up event!!");
        PenUp(id);
    }
}
