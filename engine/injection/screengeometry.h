#pragma once

#include "engine/injection/screentarget.h"

#include <QList>
#include <QObject>
#include <QRect>

#include <functional>

class QScreen;

// A screen's rectangle in desktop device pixels, the units of the input devices. QScreen
// reports device-independent pixels, which differ from the device's when the desktop
// scales the screen; Qt keeps a screen's top-left corner unscaled and scales its size. On
// Windows the rectangle is read from the screen's monitor in physical pixels. Defined once
// per platform.
QRect screenPixels(const QScreen* screen);

// The name a screen is chosen by: QScreen::name() (the output's, HDMI-1), but on Windows
// the monitor's device name (\\.\DISPLAY2), since Qt names a screen there after its
// monitor's model, the same for two monitors of one kind. Defined once per platform.
QString screenName(const QScreen* screen);

// One screen as the choice of target sees it.
struct ScreenInfo {
    QString name;
    QRect pixels;
    bool primary = false;
};

// The target among `screens`: the one named `wanted`, or the primary one when `wanted` is
// empty or names no screen present (`*missing` then tells which of the two). The desktop is
// the bounding rectangle of them all. An empty target when there is no screen.
ScreenTarget chooseTarget(const QString& wanted, const QList<ScreenInfo>& screens, bool* missing);

// The screens of this desktop, the primary one first; none without a QGuiApplication.
QList<ScreenInfo> desktopScreens();
using ScreenList = std::function<QList<ScreenInfo>()>;

// Follows the target screen: the one the person chose by name, or the primary one. Says
// when the target moves to another screen or changes its size, place, turn or scale, and
// once each time the chosen screen goes missing (the pens then land on the primary screen
// until it comes back). With a QGuiApplication it follows the desktop's screens by itself.
class TargetScreenTracker final : public QObject {
    Q_OBJECT
public:
    TargetScreenTracker(QString wanted, ScreenList screens, QObject* parent = nullptr);
    ScreenTarget target() const { return m_target; }
    QString wanted() const { return m_wanted; }
    // Empty for the primary screen.
    void setWanted(const QString& name);
    // Reads the screens again.
    void refresh();

signals:
    void targetChanged(const ScreenTarget& target);
    void wantedScreenMissing(const QString& name);

private:
    void watch(QScreen* screen);
    void updateSoon();

    QString m_wanted;
    ScreenList m_screens;
    ScreenTarget m_target;
    bool m_missing = false;
    bool m_updatePending = false;
};
