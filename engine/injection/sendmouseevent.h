#pragma once

#include "engine/injection/injectiondevices.h"
#include "engine/injection/pencontacts.h"

#include <memory>

// Turns frames into absolute mouse input with the left button. Every pen drives the one
// pointer and the one button: a press moves the pointer to the pen and presses, a move
// moves it, a release (or a lost pen) releases the button where the pointer is.
class SendMouseEvent final : public PenInjector {
public:
    // A backend always makes a mouse device; one that cannot send says why in failure().
    SendMouseEvent(std::unique_ptr<MouseDevice> device, const ScreenTarget& target);
    Q_DISABLE_COPY_MOVE(SendMouseEvent)

    bool isReady() const override { return true; }
    InjectResult inject(const ContactFrame& frame) override;
    void setTarget(const ScreenTarget& target) override { m_device->setTarget(target); }
    void flush() override { m_device->flush(); }

private:
    bool send(quint32 id, MouseStep step, QPoint pixel);

    std::unique_ptr<MouseDevice> m_device;
    bool m_failureReported = false;
};
