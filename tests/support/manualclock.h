#pragma once

#include "core/monotonicclock.h"

#include <QList>

// A clock that only moves when told to: tests and benchmarks use it to put pen ages exactly
// where they want them. pauseMs() advances it and records the pause instead of sleeping.
class ManualClock final : public MonotonicClock {
public:
    qint64 nowMs() const override { return m_now; }
    void pauseMs(int ms) override
    {
        m_pauses.append(ms);
        m_now += ms;
    }
    void advance(qint64 ms) { m_now += ms; }
    const QList<int>& pauses() const { return m_pauses; }

private:
    qint64 m_now = 1000000;
    QList<int> m_pauses;
};
