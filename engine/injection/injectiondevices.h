#pragma once

#include "engine/injection/screentarget.h"

#include <QPoint>
#include <QRect>
#include <QString>
#include <QtGlobal>

#include <algorithm>
#include <cstdint>
#include <span>

// What the injectors need of the system, in the program's own units. The injectors hold
// the logic (flag sequences, the settle time, lost events); a device turns their frames and
// steps into its platform's records, so one logic serves Windows, Linux and the recording
// devices of the tests.

// A touch contact's life as a finger's: it comes into range (hover), touches, drags, lifts
// and leaves range.
enum class TouchState : quint8 { Hover, Down, Drag, Lift, Leave };

struct TouchPoint {
    quint32 id = 0;
    TouchState state = TouchState::Hover;
    QPoint position; // desktop pixels
    QPoint centre;   // of the contact area: where the pen went down
};

class TouchDevice {
public:
    virtual ~TouchDevice() = default;

    // Gets the device ready for `target`: on Windows resolves the touch entry points, on
    // Linux creates the virtual touchscreen and asks the desktop to bind it to the target
    // screen. On failure `error` names the cause for the log, or stays empty when the failure
    // is expected and not worth a line (an older Windows without touch injection).
    virtual bool open(const ScreenTarget& target, QString* error) = 0;
    // Prepares a session of at most `maxCount` contacts, before the first one touches.
    virtual bool beginSession(quint32 maxCount) = 0;
    // Injects one frame: every contact, by ascending id.
    virtual bool inject(std::span<const TouchPoint> frame) = 0;
    // The system's error code of the last refused frame.
    virtual quint32 lastError() const = 0;
    // Where the contacts land from the next frame on.
    virtual void setTarget(const ScreenTarget&) {}
};

// The left-button mouse: an absolute move to a desktop pixel, a press and a release.
enum class MouseStep : quint8 { Move, Press, Release };

class MouseDevice {
public:
    virtual ~MouseDevice() = default;

    // Why the device cannot send anything (empty when it can). The cause is logged once, at
    // the first input that fails because of it.
    virtual QString failure() const = 0;
    // Sends one step; `pixel` counts for moves only. False when the system refused it. A
    // device may hold steps back until flush().
    virtual bool send(MouseStep step, QPoint pixel) = 0;
    // Hands the steps held back to the system, in the order they were sent.
    virtual void flush() {}
    // The screen that absolute positions are relative to, for devices that address a screen
    // or the desktop as a whole rather than by desktop pixels.
    virtual void setTarget(const ScreenTarget&) {}
};

// Absolute pointers on both platforms address an area as 0..65535 on each axis, and the
// system takes a value back to the pixel value x extent / 65536, truncated. A pixel offset
// inside an area of `extent` pixels is therefore sent as the smallest value that comes back
// as that very pixel: offset x 65536 / extent, rounded up (offset x 65535 / extent,
// truncated, lands one pixel up and left of most pixels). An extent of 0 gives 0.
inline std::int32_t normaliseAbsolute(std::int32_t offset, std::int32_t extent)
{
    if (extent <= 0 || offset <= 0)
        return 0;
    const std::int64_t value = (std::int64_t(offset) * 65536 + extent - 1) / extent;
    return std::int32_t(std::min<std::int64_t>(value, 65535));
}
