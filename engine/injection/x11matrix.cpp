#include "engine/injection/x11matrix.h"

namespace x11 {

namespace {

// One of the 16 cases: offsets, then the two non-zero scale factors, on the main diagonal
// (the device's axes run along the root's) or across it (swapped).
void setCase(Matrix& m, float x02, float x12, float d1, float d2, bool mainDiagonal)
{
    m[2] = x02;
    m[5] = x12;
    if (mainDiagonal) {
        m[0] = d1;
        m[4] = d2;
    } else {
        m[0] = 0;
        m[4] = 0;
        m[1] = d1;
        m[3] = d2;
    }
}

} // namespace

Matrix monitorMatrix(const QRect& monitor, const QSize& root, unsigned rotation)
{
    Matrix m = IDENTITY;
    if (root.isEmpty())
        return m;
    // Worked out in double, kept in float, summed in float: as xinput does.
    const float x = float(1.0 * monitor.x() / root.width());
    const float y = float(1.0 * monitor.y() / root.height());
    const float w = float(1.0 * monitor.width() / root.width());
    const float h = float(1.0 * monitor.height() / root.height());
    constexpr unsigned reflectBoth = ReflectX | ReflectY;
    switch (rotation) {
    case Rotate0:
    case Rotate180 | reflectBoth:
        setCase(m, x, y, w, h, true);
        break;
    case ReflectX | Rotate0:
    case ReflectY | Rotate180:
        setCase(m, x + w, y, -w, h, true);
        break;
    case ReflectY | Rotate0:
    case ReflectX | Rotate180:
        setCase(m, x, y + h, w, -h, true);
        break;
    case Rotate90:
    case Rotate270 | reflectBoth:
        setCase(m, x + w, y, -w, h, false);
        break;
    case Rotate270:
    case Rotate90 | reflectBoth:
        setCase(m, x, y + h, w, -h, false);
        break;
    case Rotate90 | ReflectX:
    case Rotate270 | ReflectY:
        setCase(m, x, y, w, h, false);
        break;
    case Rotate90 | ReflectY:
    case Rotate270 | ReflectX:
        setCase(m, x + w, y + h, -w, -h, false);
        break;
    case Rotate180:
    case reflectBoth | Rotate0:
        setCase(m, x + w, y + h, -w, -h, true);
        break;
    default:
        break;
    }
    return m;
}

DeviceArea matrixArea(const QRect& monitor, const Matrix& matrix)
{
    DeviceArea area{monitor};
    area.swapAxes = matrix[1] != 0;
    // Row 0 gives the root's x, row 1 its y: the one factor each row has tells the direction.
    area.reverseX = (area.swapAxes ? matrix[1] : matrix[0]) < 0;
    area.reverseY = (area.swapAxes ? matrix[3] : matrix[4]) < 0;
    return area;
}

qsizetype findMonitor(const QList<Monitor>& monitors, const ScreenTarget& target)
{
    if (!target.name.isEmpty()) {
        for (qsizetype i = 0; i < monitors.size(); ++i) {
            if (monitors[i].name == target.name || monitors[i].outputs.contains(target.name))
                return i;
        }
    }
    for (qsizetype i = 0; i < monitors.size(); ++i) {
        if (monitors[i].pixels == target.pixels)
            return i;
    }
    return -1;
}

} // namespace x11
