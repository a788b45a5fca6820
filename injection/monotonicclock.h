#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QtGlobal>

#include <memory>

// A pen whose last injected state is this old or older has lost its up event.
inline constexpr qint64 LOST_UP_TIMEOUT_MS = 90;

// The time base of pen ages. Ages are measured on a monotonic clock: a wall clock set back
// by NTP or by hand would otherwise make a pressed pen look young for as long as the clock
// was moved, and the lost-up recovery would leave it pressed.
class MonotonicClock {
public:
    virtual ~MonotonicClock() = default;
    // Milliseconds since an arbitrary fixed point; never decreases.
    virtual qint64 nowMs() const = 0;
    // Blocks the calling thread for `ms` milliseconds (the settle time of a new touch
    // session).
    virtual void pauseMs(int ms) = 0;
};

// The system's steady clock.
class SteadyClock final : public MonotonicClock {
public:
    SteadyClock() { m_timer.start(); }
    qint64 nowMs() const override { return m_timer.elapsed(); }
    void pauseMs(int ms) override;

private:
    QElapsedTimer m_timer;
};

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

std::shared_ptr<MonotonicClock> makeSteadyClock();
