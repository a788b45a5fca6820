#pragma once

#include <QElapsedTimer>
#include <QtGlobal>

#include <memory>

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

std::shared_ptr<MonotonicClock> makeSteadyClock();
