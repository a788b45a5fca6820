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

// A clock that stands still while held. The records of one pen datagram arrived together;
// holding the clock from the first to the last reads the source once for all of them
// instead of a few times for each record, and where the system clock is not readable in
// user space (some virtual machines) each read is a system call on the pen's path.
class HeldClock final : public MonotonicClock {
public:
    explicit HeldClock(std::shared_ptr<MonotonicClock> source) : m_source(std::move(source)) {}
    qint64 nowMs() const override { return m_held ? m_heldMs : m_source->nowMs(); }
    // The pause moves a held time on with it.
    void pauseMs(int ms) override;
    // From now until release(), nowMs() is the source's time now.
    void hold();
    void release() { m_held = false; }

private:
    std::shared_ptr<MonotonicClock> m_source;
    qint64 m_heldMs = 0;
    bool m_held = false;
};

std::shared_ptr<MonotonicClock> makeSteadyClock();
