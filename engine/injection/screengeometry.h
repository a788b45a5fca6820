#pragma once

#include <QObject>
#include <QRect>

class QScreen;

// The primary screen's geometry in device pixels. QScreen reports device-independent
// pixels, which differ from the device's when the desktop scales the screen; Qt keeps a
// screen's top-left corner unscaled and scales its size, so the device rectangle is the
// same corner with the size times the device pixel ratio. An empty rectangle when there is
// no screen.
//
// On Windows Qt makes the process per-monitor DPI aware, so the device rectangle is in the
// physical pixels that InjectTouchInput takes (SendInput's positions are relative to it).
QRect primaryScreenPixels();

// Follows the primary screen: says when another screen becomes the primary one, or the
// primary one changes its size, place or scale. Needs a QGuiApplication.
class PrimaryScreenTracker final : public QObject {
    Q_OBJECT
public:
    explicit PrimaryScreenTracker(QObject* parent = nullptr);
    QRect pixels() const { return m_pixels; }

signals:
    void pixelsChanged(const QRect& pixels);

private:
    void follow(QScreen* screen);
    void update();

    QRect m_pixels;
    QMetaObject::Connection m_geometryChange;
    QMetaObject::Connection m_scaleChange;
};
