#pragma once

#include "engine/injection/injectionrecords.h"

#include <QString>
#include <QtGlobal>

// A pen whose last injected state is this old or older has lost its up event: both
// injectors release it, and the dispatcher's watchdog fires after this long without events.
inline constexpr qint64 LOST_UP_TIMEOUT_MS = 90;

// What the injectors need of the system. The injectors hold the logic (contact table, flag
// sequences, lost events); a device only carries records to the platform, so one logic
// serves Windows, Linux and the recording devices of the tests.

class TouchDevice {
public:
    virtual ~TouchDevice() = default;

    // Gets the device ready: on Windows resolves the touch entry points, on Linux creates
    // the virtual touchscreen (early, because a desktop needs a moment to pick a new input
    // device up). On failure `error` names the cause for the log, or stays empty when the
    // failure is expected and not worth a line (an older Windows without touch injection).
    virtual bool open(QString* error) = 0;
    // Releases what open() acquired; open() may be called again afterwards.
    virtual void close() = 0;
    // Prepares a session of at most `maxCount` contacts (InitializeTouchInjection).
    virtual bool initialize(quint32 maxCount, quint32 feedbackMode) = 0;
    // Injects one frame: the first `count` records of `records` (InjectTouchInput).
    virtual bool inject(quint32 count, const injection::PointerTouchInfo* records) = 0;
    // The system's error code of the last rejected frame.
    virtual quint32 lastError() const = 0;
};

class MouseDevice {
public:
    virtual ~MouseDevice() = default;

    // Why the device cannot send anything (empty when it can). The device is created with
    // its injector; the cause is logged once, at the first input that fails because of it.
    virtual QString failure() const = 0;
    // Sends one record; returns the number of records the system took (0 or 1), like
    // SendInput. A device may hold records back until flush().
    virtual quint32 send(const injection::InputRecord& record) = 0;
    // Hands the records held back to the system, in the order they were sent. Called once
    // per pen datagram, after its last record, and after the watchdog's releases.
    virtual void flush() {}
};
