// The controller in the test's process: a scripted projector behind the command link,
// recording injection devices, a loopback interface and a settings folder of its own. What
// the person sees (messages, the connected state) and what reaches the projector, for each
// way a command, a start or an exit can go.
#include "support/fakes.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {
using Messages = QList<int>;

Messages messages(const QSignalSpy& spy)
{
    Messages out;
    for (const QList<QVariant>& call : spy)
        out << call.at(0).toInt();
    return out;
}

bool listens(Inkbridge& controller)
{
    return controller.penPath().call([](PenPath& path) { return path.receiver.isListening(); });
}

QByteArray stroke()
{
    return encodePenStatusRecord({1, 1, 640, 400}) + encodePenStatusRecord({1, 0, 640, 400});
}
} // namespace

class TestController : public QObject {
    Q_OBJECT
private slots:
    void connectsAtStartAndRelaysThePen()
    {
        ControllerRig rig;
        rig.store(ControllerRig::usableTarget());
        Inkbridge& controller = rig.make();
        QSignalSpy shown(&controller, &Inkbridge::messageShown);
        controller.run();
        QCOMPARE(rig.devices->log->devicesMade, 0); // nothing reaches the system before pen-on
        QTRY_VERIFY(controller.isConnected());
        QCOMPARE(rig.devices->log->devices, 1);
        QCOMPARE(messages(shown), Messages({Inkbridge::MsgVerifying, Inkbridge::MsgConnected}));
        // The projector is told this computer's address on the chosen interface, and the
        // port the pens are received on.
        QCOMPARE(rig.script->commands.size(), 1);
        const CPenControl& on = rig.script->commands[0];
        QCOMPARE(QStringList({on.host, QHostAddress(on.localAddress).toString()}), QStringList({"127.0.0.1", "127.0.0.2"}));
        QCOMPARE(QList<int>({on.port, on.localPort, int(on.cmdid)}), QList<int>({7142, rig.penPort, 0}));

        controller.setPenMode(PenMode::Mouse);
        controller.penPath().call([](PenPath& path) {
            path.dispatch.setTarget(QRect(0, 0, 1280, 800));
            path.receiver.handleDatagram(stroke(), QHostAddress("127.0.0.3")); // not the projector
        });
        rig.sendPens(stroke());
        QTRY_COMPARE(rig.devices->log->mouseInputs.size(), 3); // move, down, up
        QCOMPARE(rig.devices->log->mouseInputs[0].mi.dx, 32767);
    }

    // The stored settings are what a person or an admin wrote: usable ones connect at start,
    // any other asks for the dialog (and nothing is sent, however often Connect is chosen).
    void storedSettings_data()
    {
        QTest::addColumn<QString>("ipAddress");
        QTest::addColumn<QString>("adapter");
        QTest::addColumn<QVariant>("port"); // as the settings file holds it
        QTest::addColumn<bool>("usable");
        QTest::newRow("lowest port") << "127.0.0.1" << "qr0" << QVariant(1) << true;
        QTest::newRow("highest port") << "127.0.0.1" << "qr0" << QVariant(65535) << true;
        QTest::newRow("first start") << "" << "" << QVariant(7142) << false;
        QTest::newRow("interface gone") << "127.0.0.1" << "eth9" << QVariant(7142) << false;
        QTest::newRow("three-part address") << "10.1.2" << "qr0" << QVariant(7142) << false;
        QTest::newRow("port 0") << "127.0.0.1" << "qr0" << QVariant(0) << false;
        QTest::newRow("port past 65535") << "127.0.0.1" << "qr0" << QVariant(65536) << false;
        QTest::newRow("negative port") << "127.0.0.1" << "qr0" << QVariant(-7142) << false;
        QTest::newRow("port not a number") << "127.0.0.1" << "qr0" << QVariant("7142a") << false;
    }
    void storedSettings()
    {
        QFETCH(QString, ipAddress);
        QFETCH(QString, adapter);
        QFETCH(QVariant, port);
        QFETCH(bool, usable);
        ControllerRig rig;
        ConnectionSettings settings = ControllerRig::usableTarget();
        settings.ipAddress = ipAddress;
        settings.adapter = adapter;
        rig.store(settings);
        QSettings(QSettings::IniFormat, QSettings::UserScope, "Lumoravista", "Quill Relay")
            .setValue("Settings/Port", port);
        Inkbridge& controller = rig.make();
        QSignalSpy shown(&controller, &Inkbridge::messageShown);
        QSignalSpy dialog(&controller, &Inkbridge::execCommSetting);
        controller.run();
        if (usable) {
            QTRY_COMPARE(rig.script->commands.size(), 1);
            QCOMPARE(int(rig.script->commands[0].port), port.toInt());
            QCOMPARE(dialog.size(), 0);
            return;
        }
        QCOMPARE(messages(shown), Messages{Inkbridge::MsgConnectFailed});
        QCOMPARE(dialog.size(), 1);
        controller.connectProjector(); // still unusable: said again, nothing sent
        QCOMPARE(messages(shown).size(), 2);
        QTest::qWait(50);
        QVERIFY(rig.script->commands.isEmpty());
    }

    void outcomes_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<CommandResult>("result");
        QTest::addColumn<int>("message");
        QTest::addColumn<bool>("listening"); // the pens are received afterwards
        const int on = int(PenCommand::On), off = int(PenCommand::Off);
        QTest::newRow("on, refused") << on << CommandResult::ConnectFailed << 3 << false;
        QTest::newRow("on, no reply") << on << CommandResult::NoReply << 4 << false;
        QTest::newRow("on, error reply") << on << CommandResult::ErrorReply << 5 << false;
        QTest::newRow("on, rejected") << on << CommandResult::Rejected << 5 << false;
        QTest::newRow("on, hung up") << on << CommandResult::Disconnected << 5 << false;
        QTest::newRow("off") << off << CommandResult::Ok << 2 << false;
        // A failed pen-off leaves the pen working; only the icon says "not connected".
        QTest::newRow("off, no reply") << off << CommandResult::NoReply << 4 << true;
        QTest::newRow("off, refused") << off << CommandResult::ConnectFailed << 3 << true;
    }
    void outcomes()
    {
        QFETCH(int, command);
        QFETCH(CommandResult, result);
        QFETCH(int, message);
        QFETCH(bool, listening);
        ControllerRig rig;
        rig.store(ControllerRig::usableTarget());
        Inkbridge& controller = rig.make();
        controller.run();
        QTRY_VERIFY(controller.isConnected());
        QSignalSpy shown(&controller, &Inkbridge::messageShown);
        rig.script->results = {result};
        if (PenCommand(command) == PenCommand::On)
            controller.connectProjector();
        else
            controller.disconnectProjector();
        QTRY_COMPARE(controller.state(), Inkbridge::State::Idle);
        QCOMPARE(messages(shown), Messages({Inkbridge::MsgVerifying, message}));
        QVERIFY(!controller.isConnected());
        // A failed pen-on keeps the earlier socket: the pen keeps working.
        QCOMPARE(listens(controller), listening || PenCommand(command) == PenCommand::On);
    }

    void takenPenPortIsNotShownAsConnected()
    {
        ControllerRig rig;
        QUdpSocket other;
        QVERIFY(other.bind(QHostAddress::Any, rig.penPort));
        rig.store(ControllerRig::usableTarget());
        Inkbridge& controller = rig.make();
        QSignalSpy shown(&controller, &Inkbridge::messageShown);
        controller.run();
        QTRY_COMPARE(messages(shown), Messages({Inkbridge::MsgVerifying, Inkbridge::MsgPenPortTaken}));
        QVERIFY(!controller.isConnected());
    }

    void commandsAndDialogsWaitForEachOther()
    {
        ControllerRig rig;
        rig.store(ControllerRig::usableTarget());
        Inkbridge& controller = rig.make();
        controller.run();
        QTRY_VERIFY(controller.isConnected());
        rig.script->commands.clear();
        rig.script->durationMs = 300;
        controller.connectProjector();
        QCOMPARE(controller.state(), Inkbridge::State::Commanding);
        controller.connectProjector();
        controller.disconnectProjector();
        QVERIFY(!controller.beginDialog());
        QTRY_COMPARE(controller.state(), Inkbridge::State::Idle);
        QCOMPARE(rig.script->commands.size(), 1);

        QVERIFY(controller.beginDialog());
        controller.connectProjector();
        controller.endDialog();
        QTest::qWait(50);
        QCOMPARE(rig.script->commands.size(), 1);
    }

    void exitSavesSwitchesOffAndQuitsFiveSecondsLater()
    {
        ControllerRig rig;
        rig.store(ControllerRig::usableTarget());
        Inkbridge& controller = rig.make();
        controller.run();
        QTRY_VERIFY(controller.isConnected());
        controller.setPenMode(PenMode::Mouse);
        QSignalSpy quit(&controller, &Inkbridge::quitRequested);
        QSettings(QSettings::IniFormat, QSettings::UserScope, "Lumoravista", "Quill Relay").clear();
        QElapsedTimer clock;
        clock.start();
        controller.exitProgram();
        controller.exitProgram(); // once is enough
        QCOMPARE(rig.stored(), controller.settings());
        QCOMPARE(rig.stored().penMode, PenMode::Mouse);
        QVERIFY(quit.wait(15000));
        QVERIFY(clock.elapsed() >= 4990);
        QCOMPARE(quit.size(), 1);
        QCOMPARE(rig.script->commands.size(), 2);
        QCOMPARE(rig.script->commands[1].cmdid, PenCommand::Off);
        QVERIFY(!listens(controller));
        QCOMPARE(rig.devices->log->devices, 0);
    }

    void exitDuringACommandGivesItUp()
    {
        ControllerRig rig;
        rig.store(ControllerRig::usableTarget());
        rig.script->durationMs = 60000;
        Inkbridge& controller = rig.make(200);
        QSignalSpy shown(&controller, &Inkbridge::messageShown);
        QSignalSpy quit(&controller, &Inkbridge::quitRequested);
        controller.run();
        // The command waits in a nested event loop: Exit comes from inside it, as a click would.
        QTimer::singleShot(100, &controller, &Inkbridge::exitProgram);
        QVERIFY(quit.wait(5000));
        QTRY_COMPARE(messages(shown).last(), int(Inkbridge::MsgConnectFailed));
        QCOMPARE(rig.script->commands.size(), 1); // no pen-off behind a command given up
    }

    // Log-out, shutdown or SIGTERM: as Exit, but over as soon as the projector answered.
    void sessionEndQuitsOnceThePenOffIsAnswered()
    {
        ControllerRig rig;
        rig.store(ControllerRig::usableTarget());
        Inkbridge& controller = rig.make();
        controller.run();
        QTRY_VERIFY(controller.isConnected());
        rig.script->durationMs = 200;
        QSignalSpy quit(&controller, &Inkbridge::quitRequested);
        QElapsedTimer clock;
        clock.start();
        controller.endSession();
        QVERIFY(quit.wait(4000));
        QVERIFY(clock.elapsed() < 4000);
        QCOMPARE(rig.script->commands.last().cmdid, PenCommand::Off);
    }

    void storedPenMode_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<bool>("touchAvailable");
        QTest::addColumn<PenMode>("mode");
        QTest::newRow("touch") << 0 << true << PenMode::Touch;
        QTest::newRow("mouse") << 1 << true << PenMode::Mouse;
        QTest::newRow("unknown value") << 7 << true << PenMode::Touch;
        QTest::newRow("touch without touch injection") << 0 << false << PenMode::Mouse;
    }
    void storedPenMode()
    {
        QFETCH(int, stored);
        QFETCH(bool, touchAvailable);
        QFETCH(PenMode, mode);
        ControllerRig rig;
        rig.store(ControllerRig::usableTarget());
        QSettings(QSettings::IniFormat, QSettings::UserScope, "Lumoravista", "Quill Relay")
            .setValue("Settings/PenMode", stored);
        rig.devices->log->touchAvailable = touchAvailable;
        Inkbridge& controller = rig.make();
        controller.run();
        QCOMPARE(controller.penMode(), mode);
    }
};

QTEST_MAIN(TestController)
#include "tst_controller.moc"
