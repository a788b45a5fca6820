// A real headless sway with two outputs: Qt's Wayland platform lists both screens by the
// outputs' names and places, and sway takes the binding's map_to_output command. sway
// refuses to run as root, so under root it runs as "nobody"; this test connects to it.
#include "engine/injection/screenbindings_linux.h"
#include "engine/injection/screengeometry.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace {
constexpr int WaitMs = 20000; // generous: each wait ends as soon as sway is there
} // namespace

class TestSwaySession : public QObject {
    Q_OBJECT
private slots:
    // Qt lists sway's outputs by name, side by side, and sway takes the command that binds
    // a device to one. The pointer's command differs only in sway's name of the device, which
    // sway takes for any device (the stand-in in tst_wayland checks both names).
    void swayTakesTheBinding()
    {
        // sway may add its outputs after Qt's first look.
        QMap<QString, QRect> byName;
        const auto names = [&] {
            byName.clear();
            for (const ScreenInfo& screen : desktopScreens())
                byName.insert(screen.name, screen.pixels);
            return byName.keys();
        };
        QTRY_COMPARE_WITH_TIMEOUT(names(), (QStringList{"HEADLESS-1", "HEADLESS-2"}), WaitMs);
        const QRect first = byName.value("HEADLESS-1"), second = byName.value("HEADLESS-2");
        QVERIFY2(!first.isEmpty() && !second.isEmpty() && !first.intersects(second), "the outputs lie side by side");
        bool missing = false;
        const ScreenTarget target = chooseTarget(QStringLiteral("HEADLESS-2"), desktopScreens(), &missing);
        const std::unique_ptr<ScreenBinding> binding = createWaylandScreenBinding();
        QVERIFY(!missing && binding);
        QList<DeviceArea> areas;
        connect(binding.get(), &ScreenBinding::areaChanged, this, [&](const DeviceArea& area) { areas << area; });
        binding->bind({QStringLiteral("/dev/input/event7"), "Quill Relay touchscreen", 0x5152, 1, true}, target);
        QTRY_COMPARE_WITH_TIMEOUT(areas.size(), 1, WaitMs);
        QCOMPARE(areas.first(), DeviceArea{second});
    }
};

int main(int argc, char** argv)
{
    QTemporaryDir runtime;
    const passwd* nobody = ::getuid() == 0 ? getpwnam("nobody") : nullptr;
    if (!runtime.isValid() || (::getuid() == 0 && (!nobody || ::chown(qPrintable(runtime.path()), nobody->pw_uid, nobody->pw_gid) != 0)))
        return 1;
    QFile config(runtime.filePath(QStringLiteral("config")));
    if (!config.open(QIODevice::WriteOnly) || !config.write("xwayland disable\n"))
        return 1;
    config.close();

    // sway and this test share the environment: sway makes its IPC socket where SWAYSOCK
    // says, and names its Wayland socket itself.
    const QString ipc = runtime.filePath(QStringLiteral("ipc.sock"));
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    qputenv("SWAYSOCK", ipc.toUtf8());
    qputenv("WLR_BACKENDS", "headless");
    qputenv("WLR_HEADLESS_OUTPUTS", "2");
    qputenv("WLR_RENDERER", "pixman");
    qputenv("WLR_LIBINPUT_NO_DEVICES", "1");
    qunsetenv("WAYLAND_DISPLAY");
    qunsetenv("DISPLAY");
    QProcess compositor;
    compositor.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    if (nobody) {
        compositor.setChildProcessModifier([uid = nobody->pw_uid, gid = nobody->pw_gid] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
                ::_exit(126);
        });
    }
    compositor.start(QStringLiteral("sway"), {QStringLiteral("-c"), config.fileName()});
    if (!compositor.waitForStarted()) {
        std::puts("SKIPPED: no sway (package sway)");
        return 77;
    }
    const QDir dir(runtime.path());
    QDeadlineTimer deadline(WaitMs);
    QStringList display;
    while (compositor.state() != QProcess::NotRunning && !deadline.hasExpired() && (display.isEmpty() || !QFile::exists(ipc))) {
        compositor.waitForFinished(50); // a pause that ends early if sway gives up
        display = dir.entryList({QStringLiteral("wayland-?")}, QDir::System);
    }
    if (display.isEmpty() || !QFile::exists(ipc)) {
        std::puts("SKIPPED: sway does not run here");
        return 77;
    }
    qputenv("QT_QPA_PLATFORM", "wayland");
    qputenv("WAYLAND_DISPLAY", display.first().toUtf8());
    qputenv("XDG_SESSION_TYPE", "wayland");
    qputenv("XDG_CURRENT_DESKTOP", "sway");
    int result = 1;
    {
        QGuiApplication app(argc, argv);
        TestSwaySession test;
        result = QTest::qExec(&test, argc, argv);
    }
    compositor.terminate();
    compositor.waitForFinished(WaitMs);
    return result;
}

#include "tst_swaysession.moc"
