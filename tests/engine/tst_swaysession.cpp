// A real headless sway with two outputs: Qt's Wayland platform lists both screens by the
// outputs' names and places, and sway takes the binding's map_to_output command. sway
// refuses to run as root, so under root it runs as "nobody"; this test connects to it.
#include "engine/injection/screenbindings_linux.h"
#include "engine/injection/screengeometry.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
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
    void screensByOutputName()
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
        QVERIFY(!first.isEmpty() && !second.isEmpty());
        QVERIFY2(!first.intersects(second), "the outputs lie side by side");
    }

    void swayTakesTheBinding_data()
    {
        QTest::addColumn<bool>("touchscreen");
        QTest::newRow("touchscreen") << true;
        QTest::newRow("pointer") << false;
    }
    void swayTakesTheBinding()
    {
        QFETCH(bool, touchscreen);
        bool missing = false;
        const ScreenTarget target = chooseTarget(QStringLiteral("HEADLESS-2"), desktopScreens(), &missing);
        QVERIFY(!missing);
        const std::unique_ptr<ScreenBinding> binding = createWaylandScreenBinding();
        QVERIFY(binding);
        QList<DeviceArea> areas;
        connect(binding.get(), &ScreenBinding::areaChanged, this, [&](const DeviceArea& area) { areas << area; });
        binding->bind({QStringLiteral("/dev/input/event7"), touchscreen ? "Quill Relay touchscreen" : "Quill Relay pointer",
                       0x5152, quint16(touchscreen ? 1 : 2), touchscreen},
                      target);
        QTRY_COMPARE_WITH_TIMEOUT(areas.size(), 1, WaitMs);
        QCOMPARE(areas.first(), DeviceArea{target.pixels});
    }
};

int main(int argc, char** argv)
{
    const QString sway = QStandardPaths::findExecutable(QStringLiteral("sway"));
    if (sway.isEmpty()) {
        std::puts("SKIPPED: no sway (package sway)");
        return 77;
    }
    QTemporaryDir runtime;
    const passwd* nobody = ::getuid() == 0 ? getpwnam("nobody") : nullptr;
    if (!runtime.isValid() || (::getuid() == 0 && (!nobody || ::chown(qPrintable(runtime.path()), nobody->pw_uid, nobody->pw_gid) != 0)))
        return 1;
    QFile config(runtime.filePath(QStringLiteral("config")));
    if (!config.open(QIODevice::WriteOnly) || !config.write("xwayland disable\n"))
        return 1;
    config.close();

    QProcess compositor;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    env.insert("WLR_BACKENDS", "headless");
    env.insert("WLR_HEADLESS_OUTPUTS", "2");
    env.insert("WLR_RENDERER", "pixman");
    env.insert("WLR_LIBINPUT_NO_DEVICES", "1");
    env.remove("WAYLAND_DISPLAY");
    env.remove("DISPLAY");
    compositor.setProcessEnvironment(env);
    compositor.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    if (nobody) {
        compositor.setChildProcessModifier([uid = nobody->pw_uid, gid = nobody->pw_gid] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
                ::_exit(126);
        });
    }
    compositor.start(sway, {QStringLiteral("-c"), config.fileName()});
    // sway names its sockets itself: the Wayland one, and the IPC one it gives its clients.
    const QDir dir(runtime.path());
    QDeadlineTimer deadline(WaitMs);
    QStringList display, ipc;
    while (compositor.state() != QProcess::NotRunning && !deadline.hasExpired() && (display.isEmpty() || ipc.isEmpty())) {
        compositor.waitForFinished(50); // a pause that ends early if sway gives up
        display = dir.entryList({QStringLiteral("wayland-?")}, QDir::System);
        ipc = dir.entryList({QStringLiteral("sway-ipc.*.sock")}, QDir::System);
    }
    if (display.isEmpty() || ipc.isEmpty()) {
        std::puts("SKIPPED: sway does not run here");
        return 77;
    }
    qputenv("QT_QPA_PLATFORM", "wayland");
    qputenv("WAYLAND_DISPLAY", dir.filePath(display.first()).toUtf8());
    qputenv("XDG_SESSION_TYPE", "wayland");
    qputenv("XDG_CURRENT_DESKTOP", "sway");
    qputenv("SWAYSOCK", dir.filePath(ipc.first()).toUtf8());
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
