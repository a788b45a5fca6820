#include "core/monotonicclock.h"

#include <QThread>

void SteadyClock::pauseMs(int ms)
{
    QThread::msleep(ulong(ms));
}

std::shared_ptr<MonotonicClock> makeSteadyClock()
{
    return std::make_shared<SteadyClock>();
}
