#pragma once

#include "engine/injection/injectiondevices.h"
#include "core/monotonicclock.h"
#include "engine/injection/screengeometry.h"

#include <QObject>

#include <map>
#include <memory>

// Turns pen events (positions in desktop pixels) into absolute mouse input with the left
// button. All pens drive the one pointer and the one button; the table keeps them apart
// only to release each pen whose up event was lost.
class SendMouseEvent final : public QObject {
    Q_OBJECT
public:
    SendMouseEvent(std::unique_ptr<MouseDevice> device, std::shared_ptr<MonotonicClock> clock,
                   ScreenGeometry screen, QObject* parent = nullptr);
    ~SendMouseEvent() override;
    Q_DISABLE_COPY_MOVE(SendMouseEvent)

    bool PenDown(qint32 id, qint32 x, qint32 y);
    bool PenMove(qint32 id, qint32 x, qint32 y);
    bool PenUp(qint32 id);
    void CheckLostUp();
    // Hands the input the device holds back to the system.
    void flush();

    int heldPenCount() const { return int(buttons.size()); }

private:
    struct ButtonState {
        qint32 x = 0;
        qint32 y = 0;
        qint64 lastTime = 0; // refreshed only by this pen's own presses and moves
    };

    bool SendMouse(qint32 id, quint32 flags, qint32 x, qint32 y);
    bool AddButtonState(qint32 id, qint32 x, qint32 y);
    bool RemoveButtonState(qint32 id);

    std::unique_ptr<MouseDevice> m_device;
    std::shared_ptr<MonotonicClock> m_clock;
    ScreenGeometry m_screen;
    bool m_failureReported = false;
    std::map<qint32, ButtonState> buttons; // ordered by ascending id
};
