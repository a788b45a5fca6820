#include "core/eventwait.h"

#include <QTimer>

#include <algorithm>

EventWait::EventWait(int timeoutMs, int sliceMs)
    : m_deadline(std::max(timeoutMs, 0), Qt::PreciseTimer), m_sliceMs(std::max(sliceMs, 1))
{
}

EventWait::~EventWait()
{
    for (const auto& connection : std::as_const(m_connections))
        QObject::disconnect(connection);
}

int EventWait::remainingMs() const
{
    return int(std::max<qint64>(m_deadline.remainingTime(), 0));
}

bool EventWait::waitUntil(const Condition& done)
{
    QTimer slice;
    slice.setSingleShot(true);
    slice.setTimerType(Qt::PreciseTimer);
    QObject::connect(&slice, &QTimer::timeout, &m_loop, &QEventLoop::quit);
    for (;;) {
        if (done())
            return true;
        const int left = remainingMs();
        if (left <= 0)
            return false;
        slice.start(std::min(left, m_sliceMs));
        const int outcome = m_loop.exec();
        slice.stop();
        // -1: the application is quitting and no event loop may run any more. Waiting on
        // would only spin, so the wait ends here with whatever holds now.
        if (outcome == -1)
            return done();
    }
}
