#pragma once

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QList>
#include <QMetaObject>
#include <QObject>

#include <functional>

// Waits, in a nested event loop, until a condition holds or a deadline passes.
//
// The loop blocks in the event dispatcher: it wakes for the events that arrive, for a
// signal registered with wakeOn(), and at the latest after one slice, and only then looks
// at the condition again. An idle wait therefore costs no CPU, unlike a loop around
// QCoreApplication::processEvents(), which returns at once when nothing is pending.
class EventWait final {
public:
    using Condition = std::function<bool()>;

    EventWait(int timeoutMs, int sliceMs);
    ~EventWait();
    Q_DISABLE_COPY_MOVE(EventWait)

    // Ends the current slice early whenever `signal` of `sender` is emitted, so that the
    // condition is looked at again without waiting for the slice to run out.
    template <typename Sender, typename Signal> void wakeOn(const Sender* sender, Signal signal)
    {
        m_connections.append(QObject::connect(sender, signal, &m_loop, &QEventLoop::quit));
    }

    // True as soon as `done` holds; false when the deadline passed first, or when the
    // application was told to quit (no event loop may run then). `done` is looked at
    // before the first slice, so a condition that already holds costs nothing.
    bool waitUntil(const Condition& done);

    // Milliseconds left until the deadline (0 once it has passed).
    int remainingMs() const;

private:
    QEventLoop m_loop;
    QDeadlineTimer m_deadline;
    int m_sliceMs;
    QList<QMetaObject::Connection> m_connections;
};
