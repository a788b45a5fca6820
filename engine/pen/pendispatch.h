#pragma once

#include "core/monotonicclock.h"
#include "engine/injection/injectionbackend.h"
#include "engine/injection/pencontacts.h"
#include "engine/settings/connectionsettings.h"
#include "protocol/penstatusrecord.h"

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QTimer>

#include <memory>
#include <span>
#include <vector>

// The target screen's image in the projector's 1280 x 800 pen space, worked out once for
// each target: the pen's units inside it map to the screen's pixels.
class PenSpaceImage {
public:
    explicit PenSpaceImage(const QRect& screenPixels = {});
    // Maps `point` from pen units to a pixel of the screen. False, leaving `point` alone,
    // when it lies outside the image (or the screen is so large that its image is empty).
    bool map(QPoint& point) const;

private:
    QRect m_screen;
    QRect m_image; // in pen units
};

// Pen event dispatch: maps each pen event from the projector's 1280 x 800 pen space to a
// pixel of the target screen, keeps the table of pens that are down, and hands the injector
// of the pen mode a frame of every pen after each event. A watchdog releases pens whose up
// event never arrived.
//
// The injector, and with it the platform's input device, exists only while injecting:
// between startInjecting() (the pen function is on) and stopInjecting().
class PenDispatch final : public QObject {
    Q_OBJECT
public:
    PenDispatch(std::shared_ptr<InjectionBackend> backend, std::shared_ptr<MonotonicClock> clock,
                QObject* parent = nullptr);
    ~PenDispatch() override;
    Q_DISABLE_COPY_MOVE(PenDispatch)

    // Holds from the next event on. While injecting, the pens still down are lifted through
    // the old mode's device first, and the new mode's device replaces it.
    void setPenMode(PenMode mode);

    // Creates the pen mode's injector and its device, if there is none. Returns whether the
    // device is ready.
    bool startInjecting();
    // Lifts the pens still down and deletes the injector with its device.
    void stopInjecting();
    bool isInjecting() const { return m_injector != nullptr; }

    // Where the pens land: the target screen in desktop pixels (of the device's resolution).
    // Holds from the next datagram on; pens still down are lifted first.
    void setTarget(const ScreenTarget& target);
    const ScreenTarget& target() const { return m_target; }

    // One datagram's valid events, in the order of its records. The devices flush after the
    // last one.
    void handleDatagram(std::span<const PenEvent> events);

    // PenSpaceImage(screenPixels).map(point).
    static bool mapPenToScreen(QPoint& point, const QRect& screenPixels);

    QTimer lostEventTimer;

public slots:
    void chkLostUpEventsProc();
    void stopLostEventTimer();

private:
    void penStatus(const PenEvent& event);
    // Hands the table to the injector as one frame, then settles it: released pens leave,
    // a pen whose input was refused leaves too, and the rest rest as held.
    InjectResult injectFrame(bool firstContact = false);
    // Releases the pens silent for the lost-up time; true while pens remain down.
    bool releaseSilentPens();
    // Releases every pen (they did not get lost: the injector goes, or the target changes).
    void liftAll(const char* why);
    std::vector<PenContact>::iterator lowerBound(quint32 id);
    std::vector<PenContact>::iterator find(quint32 id);

    std::shared_ptr<InjectionBackend> m_backend;
    std::shared_ptr<MonotonicClock> m_clock;
    std::unique_ptr<PenInjector> m_injector;
    PenMode m_penMode = PenMode::Touch;
    ScreenTarget m_target;
    PenSpaceImage m_image;
    std::vector<PenContact> m_pens; // the pens that are down, by ascending id
    qint64 m_now = 0;               // the clock when the datagram or the watchdog began
    qint64 m_lastEventMs = 0;       // when the last pen event came
};
