// The Wayland compositors' bindings of the input devices, against stand-ins: Mutter's
// display configuration and KWin's input devices on a private session bus, a gsettings on
// PATH that notes what it is told, and a sway IPC socket; and the choice among them by the
// session the program finds itself in.
#include "engine/injection/screenbindings_linux.h"
#include "engine/injection/screenbindings_wayland.h"
#include "support/privatebus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTest>

namespace {
constexpr int WaitMs = 10000; // generous: each wait ends as soon as the answer comes
// HDMI-1 stands upright on the desktop's right, turned by 90°.
const ScreenTarget Target(QStringLiteral("HDMI-1"), QRect(1920, 0, 1080, 1920), QRect(0, 0, 3000, 1920));
const QString KWinDevicePath = QStringLiteral("/org/kde/KWin/InputDevice/event7");

ScreenBinding::Device device(bool touchscreen)
{
    return {QStringLiteral("/dev/input/event7"), touchscreen ? "Quill Relay touchscreen" : "Quill Relay pointer",
            0x5152, quint16(touchscreen ? 1 : 2), touchscreen};
}

class Mutter final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.gnome.Mutter.DisplayConfig")
public slots:
    uint GetCurrentState(QList<mutter::Monitor>& monitors, QList<mutter::LogicalMonitor>& logical,
                         QVariantMap& /*properties*/)
    {
        const mutter::Mode mode{QStringLiteral("1920x1080@60"), 1920, 1080, 60, 1, {1, 2}, {}};
        monitors = {{{"DP-1", "Dell Inc.", "U2415", "7MT0186"}, {mode}, {}},
                    {{"HDMI-1", "Goldstar's \\ TV", "LG TV", ""}, {mode}, {}}};
        logical = {{0, 0, 1, 0, true, {monitors[0].ids}, {}}, {1920, 0, 1, 1, false, {monitors[1].ids}, {}}};
        return 7;
    }
};

class KWinDevice final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.KWin.InputDevice")
    Q_PROPERTY(QString outputName MEMBER outputName)
public:
    QString outputName;
};
} // namespace

class TestWayland : public QObject {
    Q_OBJECT
    PrivateBus m_bus{"DBUS_SESSION_BUS_ADDRESS"};
    QTemporaryDir m_dir;
    Mutter m_mutter;
    KWinDevice m_kwinDevice;
    QList<DeviceArea> m_areas; // what the binding under test said, in order

    QDBusConnection standIns() const { return QDBusConnection(QStringLiteral("standins")); }
    void watch(ScreenBinding& binding)
    {
        m_areas.clear();
        connect(&binding, &ScreenBinding::areaChanged, this, [this](const DeviceArea& area) { m_areas << area; });
    }

private slots:
    void initTestCase()
    {
        if (m_bus.address().isEmpty())
            QSKIP("SKIPPED: no dbus-daemon (package dbus-daemon)");
        mutter::registerTypes();
        QDBusConnection bus = QDBusConnection::connectToBus(m_bus.address(), QStringLiteral("standins"));
        QVERIFY(bus.registerService(QStringLiteral("org.gnome.Mutter.DisplayConfig")) &&
                bus.registerService(QStringLiteral("org.kde.KWin")));
        QVERIFY(bus.registerObject(QStringLiteral("/org/gnome/Mutter/DisplayConfig"), &m_mutter,
                                   QDBusConnection::ExportAllSlots));
        // The stand-in gsettings notes its arguments and exits as told.
        QFile tool(m_dir.filePath(QStringLiteral("gsettings")));
        QVERIFY(tool.open(QIODevice::WriteOnly) &&
                tool.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/argv\"\nexit $QR_GSETTINGS_EXIT\n") > 0);
        tool.close();
        QVERIFY(tool.setPermissions(QFile::ReadOwner | QFile::ExeOwner));
        qputenv("PATH", m_dir.path().toUtf8() + ':' + qgetenv("PATH"));
    }

    // The touchscreen is bound through the setting of its vendor:product, named by the
    // monitor's make, model and serial from Mutter, and turns with a turned monitor.
    void gnome_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<bool>("touchscreen");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("value"); // gsettings' output value; empty: not run
        QTest::addColumn<DeviceArea>("area");
        const QString dell = QStringLiteral("['Dell Inc.', 'U2415', '7MT0186']");
        const DeviceArea unbound{Target.desktop};
        QTest::newRow("upright monitor") << "DP-1" << true << 0 << dell << DeviceArea{Target.pixels};
        QTest::newRow("turned monitor, quotes") << "HDMI-1" << true << 0 << R"(['Goldstar\'s \\ TV', 'LG TV', ''])"
                                                << DeviceArea{Target.pixels, true, true, false};
        QTest::newRow("no such monitor") << "DP-9" << true << 0 << "" << unbound;
        QTest::newRow("no schema") << "DP-1" << true << 1 << dell << unbound;
        QTest::newRow("pointer: no binding") << "DP-1" << false << 0 << "" << unbound;
    }
    void gnome()
    {
        QFETCH(QString, output);
        QFETCH(bool, touchscreen);
        QFETCH(int, exitCode);
        QFETCH(QString, value);
        QFETCH(DeviceArea, area);
        QFile::remove(m_dir.filePath(QStringLiteral("argv")));
        qputenv("QR_GSETTINGS_EXIT", QByteArray::number(exitCode));
        GnomeScreenBinding binding(QDBusConnection::sessionBus());
        watch(binding);
        ScreenTarget target = Target;
        target.name = output;
        binding.bind(device(touchscreen), target);
        QTRY_COMPARE_WITH_TIMEOUT(m_areas.size(), 1, WaitMs);
        QCOMPARE(m_areas.first(), area);
        QFile told(m_dir.filePath(QStringLiteral("argv"))); // one argument a line; none where it did not run
        const QString asked = "set\norg.gnome.desktop.peripherals.touchscreen:"
                              "/org/gnome/desktop/peripherals/touchscreens/5152:0001/\noutput\n" + value + '\n';
        QCOMPARE(told.open(QIODevice::ReadOnly) ? QString::fromUtf8(told.readAll()) : QString(),
                 value.isEmpty() ? QString() : asked);
    }

    // Mutter's matrix for each transform, applied to the device's position, gives back the
    // pixel the device was asked to reach: the device lies over the monitor as Mutter turns it.
    void gnomeTurns_data()
    {
        QTest::addColumn<uint>("transform");
        QTest::addColumn<QList<double>>("matrix");
        QTest::newRow("normal") << 0u << QList<double>{1, 0, 0, 0, 1, 0};
        QTest::newRow("90") << 1u << QList<double>{0, -1, 1, 1, 0, 0};
        QTest::newRow("180") << 2u << QList<double>{-1, 0, 1, 0, -1, 1};
        QTest::newRow("270") << 3u << QList<double>{0, 1, 0, -1, 0, 1};
        QTest::newRow("flipped") << 4u << QList<double>{-1, 0, 1, 0, 1, 0};
        QTest::newRow("flipped 90") << 5u << QList<double>{0, 1, 0, 1, 0, 0};
        QTest::newRow("flipped 180") << 6u << QList<double>{1, 0, 0, 0, -1, 1};
        QTest::newRow("flipped 270") << 7u << QList<double>{0, -1, 1, -1, 0, 1};
    }
    void gnomeTurns()
    {
        QFETCH(uint, transform);
        QFETCH(QList<double>, matrix);
        const QRect monitor(100, 50, 401, 201);
        const DeviceArea area = mutter::deviceArea(monitor, transform);
        for (const QPoint pixel : {QPoint(100, 50), QPoint(500, 50), QPoint(100, 250), QPoint(200, 100)}) {
            QSize extent;
            const QPoint offset = area.deviceOffset(pixel, &extent);
            const double u = offset.x() / double(extent.width() - 1), v = offset.y() / double(extent.height() - 1);
            const QPointF reached(monitor.left() + (matrix[0] * u + matrix[1] * v + matrix[2]) * (monitor.width() - 1),
                                  monitor.top() + (matrix[3] * u + matrix[4] * v + matrix[5]) * (monitor.height() - 1));
            QCOMPARE(reached.toPoint(), pixel);
        }
    }

    // The touchscreen's object gets the output's name; where KWin has not found the device
    // yet, the device covers the desktop until KWin says it has it.
    void kde_data()
    {
        QTest::addColumn<bool>("touchscreen");
        QTest::addColumn<bool>("known"); // KWin has the device's object when bind() comes
        QTest::newRow("bound") << true << true;
        QTest::newRow("bound once KWin has the device") << true << false;
        QTest::newRow("pointer: no binding") << false << true;
    }
    void kde()
    {
        QFETCH(bool, touchscreen);
        QFETCH(bool, known);
        m_kwinDevice.outputName.clear();
        standIns().unregisterObject(KWinDevicePath);
        if (known)
            QVERIFY(standIns().registerObject(KWinDevicePath, &m_kwinDevice, QDBusConnection::ExportAllProperties));
        KdeScreenBinding binding(QDBusConnection::sessionBus());
        watch(binding);
        binding.bind(device(touchscreen), Target);
        QTRY_COMPARE_WITH_TIMEOUT(m_areas.size(), 1, WaitMs);
        if (!known) {
            QCOMPARE(m_areas.first(), DeviceArea{Target.desktop});
            QVERIFY(standIns().registerObject(KWinDevicePath, &m_kwinDevice, QDBusConnection::ExportAllProperties));
            QVERIFY(standIns().send(QDBusMessage::createSignal(QStringLiteral("/org/kde/KWin/InputDevice"),
                                                               QStringLiteral("org.kde.KWin.InputDeviceManager"),
                                                               QStringLiteral("deviceAdded"))
                                    << QStringLiteral("event7")));
            QTRY_COMPARE_WITH_TIMEOUT(m_areas.size(), 2, WaitMs);
        }
        QCOMPARE(m_areas.last(), touchscreen ? DeviceArea{Target.pixels} : DeviceArea{Target.desktop});
        QCOMPARE(m_kwinDevice.outputName, touchscreen ? Target.name : QString());
    }

    // The exact RUN_COMMAND message, and the reply read whole, however it comes.
    void sway_data()
    {
        QTest::addColumn<bool>("touchscreen");
        QTest::addColumn<QByteArray>("reply"); // "": the socket closes unanswered
        QTest::addColumn<bool>("bound");
        const QByteArray ok = R"([{"success":true}])";
        QTest::newRow("touchscreen") << true << ok << true;
        QTest::newRow("pointer") << false << ok << true;
        QTest::newRow("refused") << true << QByteArray(R"([{"success":false,"error":"Invalid output"}])") << false;
        QTest::newRow("unanswered") << true << QByteArray() << false;
    }
    void sway()
    {
        QFETCH(bool, touchscreen);
        QFETCH(QByteArray, reply);
        QFETCH(bool, bound);
        const auto framed = [](const QByteArray& payload) { // as RUN_COMMAND and its reply
            const quint32 header[2] = {quint32(payload.size()), 0};
            return "i3-ipc" + QByteArray(reinterpret_cast<const char*>(header), 8) + payload;
        };
        const QByteArray expected = framed(touchscreen ? R"(input "20818:1:Quill_Relay_touchscreen" map_to_output "HDMI-1")"
                                                       : R"(input "20818:2:Quill_Relay_pointer" map_to_output "HDMI-1")");
        QLocalServer server;
        QVERIFY(server.listen(m_dir.filePath(QStringLiteral("sway.sock"))));
        QByteArray asked;
        connect(&server, &QLocalServer::newConnection, this, [&] {
            QLocalSocket* peer = server.nextPendingConnection();
            connect(peer, &QLocalSocket::readyRead, peer, [&, peer] {
                asked += peer->readAll();
                if (asked.size() < expected.size())
                    return;
                // In pieces: the first ends within the payload, or within the header of one
                // that never comes.
                const QByteArray whole = framed(reply);
                peer->write(whole.left(reply.isEmpty() ? 9 : 17));
                peer->flush();
                if (reply.isEmpty())
                    return peer->disconnectFromServer();
                peer->write(whole.mid(17));
            });
        });
        SwayScreenBinding binding(server.fullServerName());
        watch(binding);
        binding.bind(device(touchscreen), Target);
        QTRY_COMPARE_WITH_TIMEOUT(m_areas.size(), 1, WaitMs);
        QCOMPARE(m_areas.first(), bound ? DeviceArea{Target.pixels} : DeviceArea{Target.desktop});
        QCOMPARE(asked, expected);
    }

    // The compositor's own way, by the session: none outside Wayland and on compositors
    // without one.
    void choice_data()
    {
        QTest::addColumn<QByteArrayList>("environment"); // WAYLAND_DISPLAY, XDG_SESSION_TYPE, XDG_CURRENT_DESKTOP, SWAYSOCK
        QTest::addColumn<QByteArray>("binding");
        QTest::newRow("X11 session") << QByteArrayList{"", "x11", "GNOME", ""} << QByteArray();
        QTest::newRow("GNOME") << QByteArrayList{"wayland-0", "", "ubuntu:GNOME", ""} << QByteArray("Gnome");
        QTest::newRow("KDE, by the session type") << QByteArrayList{"", "wayland", "KDE", ""} << QByteArray("Kde");
        QTest::newRow("sway") << QByteArrayList{"wayland-1", "wayland", "sway", "/run/sway.sock"} << QByteArray("Sway");
        QTest::newRow("another compositor") << QByteArrayList{"wayland-1", "wayland", "Hyprland", ""} << QByteArray();
    }
    void choice()
    {
        QFETCH(QByteArrayList, environment);
        QFETCH(QByteArray, binding);
        const char* names[] = {"WAYLAND_DISPLAY", "XDG_SESSION_TYPE", "XDG_CURRENT_DESKTOP", "SWAYSOCK"};
        for (int i = 0; i < 4; ++i)
            qputenv(names[i], environment[i]);
        const std::unique_ptr<ScreenBinding> made = createWaylandScreenBinding();
        const QByteArray kind = dynamic_cast<GnomeScreenBinding*>(made.get()) ? "Gnome"
                              : dynamic_cast<KdeScreenBinding*>(made.get())   ? "Kde"
                              : dynamic_cast<SwayScreenBinding*>(made.get())  ? "Sway"
                                                                              : "";
        QCOMPARE(kind, binding);
    }
};

QTEST_GUILESS_MAIN(TestWayland)
#include "tst_wayland.moc"
