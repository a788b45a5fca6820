#pragma once

#include "engine/injection/screentarget.h"

#include <QPoint>
#include <QRect>
#include <QtGlobal>

#include <span>

// The pens as the dispatch hands them to an injector, in the program's own units: desktop
// pixels and milliseconds. Platform records (Windows' POINTER_TOUCH_INFO and INPUT, evdev
// events, XTest requests) are built only in the devices.

// A pen whose last own event is this old or older has lost its up event: the dispatch
// releases it, and its watchdog fires after this long without events.
inline constexpr qint64 LOST_UP_TIMEOUT_MS = 90;

// What happened to a pen in the frame that carries it.
enum class ContactPhase : quint8 {
    Held,  // unchanged since the frame before
    Down,  // pressed, or pressed again: it starts anew where it is now
    Moved, // moved while pressed
    Up,    // released
    Lost,  // released because its up event never came: silent for the lost-up time
};

// One pen of the dispatch's table.
struct PenContact {
    quint32 id = 0;
    ContactPhase phase = ContactPhase::Held;
    QPoint position;        // desktop pixels
    QPoint downPosition;    // where the pen went down
    qint64 lastEventMs = 0; // this pen's own last event, on the dispatch's clock
};

// Every pen after one event, by ascending id. A frame changes one pen (Down, Moved or Up),
// or releases the pens that were silent for the lost-up time (Lost).
struct ContactFrame {
    std::span<const PenContact> contacts;
    bool firstContact = false; // no pen was down before this frame
};

// What became of the pen pressed or moved in a frame (released pens leave in any case).
enum class InjectResult {
    Done,     // the system took its input
    Dropped,  // refused: the pen counts as up from now on
    Reverted, // refused: the pen is as it was before the frame (absent, or down as it was)
};

// Turns frames into the input of one pen mode, through the device of that mode.
class PenInjector {
public:
    virtual ~PenInjector() = default;

    // Whether the device took its place in the system; frames to an injector that is not
    // ready are dropped.
    virtual bool isReady() const = 0;
    // Injects one frame.
    virtual InjectResult inject(const ContactFrame& frame) = 0;
    // Where the pens land from the next frame on (the mapping's target, in desktop pixels).
    virtual void setTarget(const ScreenTarget& target) = 0;
    // Hands the input the device holds back to the system; after each datagram and after
    // each run of the watchdog.
    virtual void flush() {}
};
