#pragma once

#include <QRect>
#include <QString>

// Where the pens land: the target screen and the desktop around it, in desktop device
// pixels, the units the input devices address. Absolute devices that a desktop does not let
// the program bind to one screen cover the whole desktop, so they need its extent too.
struct ScreenTarget {
    ScreenTarget() = default;
    // A desktop of this one screen (the tests, the benchmark and the fuzz target use it).
    ScreenTarget(const QRect& screen) : pixels(screen), desktop(screen) {} // NOLINT: implicit
    ScreenTarget(QString screenName, const QRect& screen, const QRect& wholeDesktop)
        : name(std::move(screenName)), pixels(screen), desktop(wholeDesktop)
    {
    }

    QString name;  // as QScreen::name() gives it; empty for a screen without one
    QRect pixels;  // the target screen
    QRect desktop; // the bounding rectangle of every screen

    friend bool operator==(const ScreenTarget&, const ScreenTarget&) = default;
};

// The part of the desktop that an absolute device's whole range covers, and how its axes
// lie over it. Before the desktop binds the device to the target screen (and where it
// cannot), the device covers the whole desktop, upright. A device bound to a turned or
// mirrored monitor reports in the panel's own orientation, as a touchscreen fixed to that
// panel would, and the desktop turns it with the picture: its axes may be swapped (device x
// running along the area's height) and either of them reversed.
struct DeviceArea {
    QRect pixels;
    bool swapAxes = false;
    bool reverseX = false; // the area's x runs against the device's axis
    bool reverseY = false; // the area's y runs against the device's axis

    friend bool operator==(const DeviceArea&, const DeviceArea&) = default;

    // `pixel` as an offset along the device's axes, clamped into the area; `extent` gets the
    // area's size along those axes.
    QPoint deviceOffset(QPoint pixel, QSize* extent) const
    {
        const int width = pixels.width();
        const int height = pixels.height();
        int dx = qBound(0, pixel.x() - pixels.left(), qMax(width - 1, 0));
        int dy = qBound(0, pixel.y() - pixels.top(), qMax(height - 1, 0));
        if (reverseX)
            dx = qMax(width - 1, 0) - dx;
        if (reverseY)
            dy = qMax(height - 1, 0) - dy;
        if (!swapAxes) {
            *extent = QSize(width, height);
            return {dx, dy};
        }
        *extent = QSize(height, width);
        return {dy, dx};
    }
};
