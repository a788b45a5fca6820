// Binding a device to a monitor of an X server, the arithmetic: the matrix xinput's
// map-to-output writes, for every turn and mirror, and the device area that goes with it.
#include "engine/injection/x11matrix.h"

#include <QTest>

using namespace x11;

namespace {
// A smaller monitor lower right of a larger one (2560x1600 at 0,0 and 1280x1024 at 2560,576
// on a 3840x1600 root: x 2/3, y 0.36, w 1/3, h 0.64): every factor and offset differs.
const QRect offsetMonitor(2560, 576, 1280, 1024);
const QSize offsetRoot(3840, 1600);
} // namespace

class TestX11Matrix : public QObject {
    Q_OBJECT
private slots:
    void matrix_data()
    {
        QTest::addColumn<QRect>("monitor");
        QTest::addColumn<QSize>("root");
        QTest::addColumn<unsigned>("rotation");
        QTest::addColumn<QList<float>>("rows"); // the first two rows; the third is 0 0 1
        QTest::addColumn<QString>("area");      // "swap", "rx", "ry" as they hold
        // Each row holds two settings of a monitor that come to the same thing.
        const auto row = [](const char* name, unsigned rotation, const char* same, unsigned alike,
                            QList<float> rows, const char* area) {
            for (const auto& [n, r] : {std::pair{name, rotation}, {same, alike}})
                QTest::addRow("offset, %s", n)
                    << offsetMonitor << offsetRoot << r << rows << QString(area);
        };
        // clang-format off
        const float x = 0.6666667f, y = 0.36f, w = 0.33333334f, h = 0.64f;
        row("upright", Rotate0, "180 mirrored both ways", Rotate180 | ReflectX | ReflectY, {w, 0, x, 0, h, y}, "");
        row("mirrored in x", Rotate0 | ReflectX, "180 mirrored in y", Rotate180 | ReflectY, {-w, 0, 1, 0, h, y}, "rx");
        row("mirrored in y", Rotate0 | ReflectY, "180 mirrored in x", Rotate180 | ReflectX, {w, 0, x, 0, -h, 1}, "ry");
        row("90", Rotate90, "270 mirrored both ways", Rotate270 | ReflectX | ReflectY, {0, -w, 1, h, 0, y}, "swap rx");
        row("270", Rotate270, "90 mirrored both ways", Rotate90 | ReflectX | ReflectY, {0, w, x, -h, 0, 1}, "swap ry");
        row("90 mirrored in x", Rotate90 | ReflectX, "270 mirrored in y", Rotate270 | ReflectY, {0, w, x, h, 0, y}, "swap");
        row("90 mirrored in y", Rotate90 | ReflectY, "270 mirrored in x", Rotate270 | ReflectX, {0, -w, 1, -h, 0, 1}, "swap rx ry");
        row("180", Rotate180, "mirrored both ways", Rotate0 | ReflectX | ReflectY, {-w, 0, 1, 0, -h, 1}, "rx ry");
        // The offset monitor ends at the root's right and lower edges; this one does not.
        QTest::newRow("stacked, upper, 270") << QRect(0, 0, 1920, 1080) << QSize(1920, 2160)
                                             << unsigned(Rotate270) << QList<float>{0, 1, 0, -0.5f, 0, 0.5f} << "swap ry";
        // clang-format on
    }
    void matrix()
    {
        QFETCH(QRect, monitor);
        QFETCH(QSize, root);
        QFETCH(unsigned, rotation);
        QFETCH(QList<float>, rows);
        QFETCH(QString, area);
        const Matrix m = monitorMatrix(monitor, root, rotation);
        QCOMPARE(QList<float>(m.begin(), m.end()), rows + QList<float>({0, 0, 1}));

        const DeviceArea bound = matrixArea(monitor, m);
        QCOMPARE(bound.pixels, monitor);
        const QStringList flags{bound.swapAxes ? "swap" : "", bound.reverseX ? "rx" : "",
                                bound.reverseY ? "ry" : ""};
        QCOMPARE(flags.join(' ').simplified(), area);
        // Where the device reports a pixel of the monitor, the matrix takes it back to that
        // pixel: the corners and a point inside, at the centre of each device unit.
        for (const QPoint pixel : {monitor.topLeft(), monitor.bottomRight(), monitor.topRight(),
                                   monitor.bottomLeft(), monitor.topLeft() + QPoint(100, 37)}) {
            QSize extent;
            const QPoint offset = bound.deviceOffset(pixel, &extent);
            const double u = (offset.x() + 0.5) / extent.width(),
                         v = (offset.y() + 0.5) / extent.height();
            const double px = (m[0] * u + m[1] * v + m[2]) * root.width();
            const double py = (m[3] * u + m[4] * v + m[5]) * root.height();
            // In hundredths of a pixel: the centre of the pixel, give or take rounding.
            QCOMPARE(QPoint(qRound(px * 100), qRound(py * 100)), pixel * 100 + QPoint(50, 50));
        }
    }

    void findMonitor_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("pixels");
        QTest::addColumn<int>("found");
        const QRect right(1280, 0, 1280, 800);
        QTest::newRow("by the monitor's name") << "Right" << QRect(9, 9, 9, 9) << 1;
        QTest::newRow("by an output's name") << "HDMI-2" << QRect(9, 9, 9, 9) << 1;
        QTest::newRow("by the name before the place") << "Left" << right << 0;
        QTest::newRow("by the place, when no name fits") << "DP-7" << right << 1;
        QTest::newRow("by the place, without a name") << "" << right << 1;
        QTest::newRow("none") << "DP-7" << QRect(1, 0, 1280, 800) << -1;
    }
    void findMonitor()
    {
        QFETCH(QString, name);
        QFETCH(QRect, pixels);
        QFETCH(int, found);
        const QList<Monitor> monitors{
            {"Left", {"HDMI-1"}, {0, 0, 1280, 800}, Rotate0},
            {"Right", {"DP-1", "HDMI-2"}, {1280, 0, 1280, 800}, Rotate90}};
        QCOMPARE(x11::findMonitor(monitors, ScreenTarget(name, pixels, {})), found);
    }
};

QTEST_GUILESS_MAIN(TestX11Matrix)
#include "tst_x11matrix.moc"
