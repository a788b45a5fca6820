#pragma once

#include "core/monotonicclock.h"
#include "engine/injection/injectionbackend.h"
#include "engine/injection/screengeometry.h"
#include "engine/injection/sendmouseevent.h"
#include "engine/injection/touchinjection.h"
#include "engine/settings/connectionsettings.h"

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QTimer>

#include <memory>
#include <optional>

// Pen event dispatch: maps each pen event from the projector's 1280 x 800 pen space to a
// pixel of the primary screen and hands it to the touch or the mouse injector, by the pen
// mode. A watchdog releases pens whose up event never arrived.
class PenDispatch final : public QObject {
    Q_OBJECT
public:
    PenDispatch(std::shared_ptr<InjectionBackend> backend, std::shared_ptr<MonotonicClock> clock,
                QObject* parent = nullptr);
    ~PenDispatch() override;
    Q_DISABLE_COPY_MOVE(PenDispatch)

    PenMode penMode() const { return m_penMode; }
    void setPenMode(PenMode mode) { m_penMode = mode; }

    // Creates the touch injector and initialises it (which creates the platform's touch
    // device) if there is none yet. Returns whether the injector is initialised.
    bool createTouchInjector();
    // Deletes the touch injector; contacts still down are not lifted.
    void destroyTouchInjector();
    TouchInjection* touchInjector() const { return m_touch; }
    SendMouseEvent& mouseInjector() { return m_mouse; }
    bool touchInjectionAvailable() const { return m_backend->touchInjectionAvailable(); }
    InjectionBackend& backend() const { return *m_backend; }

    // Where the primary screen is, in device pixels on the desktop; read once for each
    // datagram, so a screen that changes between datagrams is followed.
    void setScreenGeometry(ScreenGeometry screen);
    const ScreenGeometry& screenGeometry() const { return m_screen; }

    // Maps `point` from pen units to a pixel of `screenPixels`. False, leaving `point`
    // alone, when the point lies outside the screen's image in pen space (or the screen is
    // so large that its image is empty).
    static bool mapPenToScreen(QPoint& point, const QRect& screenPixels);

    QTimer lostEventTimer;

public slots:
    void penStatus(int id, int button, int posx, int posy);
    // After the last event of a datagram: what the devices hold back goes to the system,
    // and the next record reads the clock and the screen again.
    void flushDevices();
    void chkLostUpEventsProc();
    void stopLostEventTimer();

private:
    // True while the injector still holds a pen.
    bool checkLostUpOfActiveInjector();
    // The records of one datagram arrived together: from its first record to
    // flushDevices() after its last they share one reading of the clock and of the screen.
    // The screen is a few lookups in the toolkit, three times a record on the mouse path.
    void beginDatagram();
    void endDatagram();
    QRect screenPixels();

    std::shared_ptr<InjectionBackend> m_backend;
    std::shared_ptr<HeldClock> m_clock;
    qint64 m_lastEventMs = 0; // when the last pen event came, on m_clock
    ScreenGeometry m_screen;
    std::optional<QRect> m_datagramScreen; // set while a datagram is handled
    SendMouseEvent m_mouse;
    TouchInjection* m_touch = nullptr;
    PenMode m_penMode = PenMode::Touch;
};
