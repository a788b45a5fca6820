#pragma once

#include "engine/injection/screentarget.h"

#include <QList>
#include <QRect>
#include <QSize>
#include <QString>

#include <array>

// The pure parts of binding a device to a monitor of an X server: which monitor, and the
// device's coordinate transformation matrix for it.
namespace x11 {

// RandR's rotation and reflection bits (RR_Rotate_0 ... RR_Reflect_Y), so that this
// header needs no X headers.
enum Rotation : unsigned {
    Rotate0 = 1,
    Rotate90 = 2,
    Rotate180 = 4,
    Rotate270 = 8,
    ReflectX = 16,
    ReflectY = 32,
};

// The 3x3 matrix of the "Coordinate Transformation Matrix" property, row by row: it takes
// the device's position, each axis scaled to 0..1, to a position on the root window, also
// scaled to 0..1.
using Matrix = std::array<float, 9>;
inline constexpr Matrix IDENTITY{1, 0, 0, 0, 1, 0, 0, 0, 1}; // the device covers the root window

// The matrix `xinput map-to-output` writes for a monitor at `monitor` on a root window of
// `root`, turned and mirrored by `rotation`: the same arithmetic, in single precision, so
// that the device lands exactly where that command would put it. A rotation none of the 16
// turns and mirrors leaves the identity.
Matrix monitorMatrix(const QRect& monitor, const QSize& root, unsigned rotation);

// The area of the desktop a device with `matrix` covers once it is bound to `monitor`:
// axes swapped where the matrix takes the device's x to the root's y, reversed where the
// matrix runs an axis backwards.
DeviceArea matrixArea(const QRect& monitor, const Matrix& matrix);

// A RandR monitor as the binding sees it.
struct Monitor {
    QString name;        // the monitor's own name
    QStringList outputs; // the names of its outputs
    QRect pixels;        // on the root window
    unsigned rotation = Rotate0;
};

// The monitor of `target`: the one whose name (or an output's name: a desktop may name a
// screen after either) is the target's, else the one that lies exactly where the target
// screen does. -1 when none fits.
qsizetype findMonitor(const QList<Monitor>& monitors, const ScreenTarget& target);

} // namespace x11
