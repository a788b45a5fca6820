#include "core/monotonicclock.h"

#include <QThread>

void SteadyClock::pauseMs(int ms)
{
    QThread::msleep(ulong(ms));
}

void HeldClock::pauseMs(int ms)
{
    m_source->pauseMs(ms);
    if (m_held)
        m_heldMs = m_source->nowMs();
}

void HeldClock::hold()
{
    if (!m_held) {
        m_heldMs = m_source->nowMs();
        m_held = true;
    }
}

std::shared_ptr<MonotonicClock> makeSteadyClock()
{
    return std::make_shared<SteadyClock>();
}
