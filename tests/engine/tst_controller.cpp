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
        Inkbridge& controller = rig.start();
        QCOMPARE(rig.devices->log->devicesMade, 0); // nothing reaches the system before pen-on
        QTRY_VERIFY(controller.isConnected());
        QCOMPARE(rig.devices->log->devices, 1);
        QCOMPARE(rig.messages(), Messages({Inkbridge::MsgVerifying, Inkbridge::MsgConnected}));
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
        QCOMPARE(rig.devices->log->mouseInputs[0].mi.dx, 32768); // lands on pixel 640 of 1280
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
        rig.storeRaw("Settings/Port", port);
        Inkbridge& controller = rig.make();
        QSignalSpy dialog(&controller, &Inkbridge::execCommSetting);
        controller.run();
        if (usable) {
            QTRY_COMPARE(rig.script->commands.size(), 1);
            QCOMPARE(int(rig.script->commands[0].port), port.toInt());
            QCOMPARE(dialog.size(), 0);
            return;
        }
        QCOMPARE(rig.messages(), Messages{Inkbridge::MsgConnectFailed});
        QCOMPARE(dialog.size(), 1);
        controller.connectProjector(); // still unusable: said again, nothing sent
        QCOMPARE(rig.shown->size(), 2);
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
        Inkbridge& controller = rig.makeConnected();
        QVERIFY(controller.isConnected());
        rig.script->results = {result};
        if (PenCommand(command) == PenCommand::On)
            controller.connectProjector();
        else
            controller.disconnectProjector();
        QTRY_COMPARE(controller.state(), Inkbridge::State::Idle);
        QCOMPARE(rig.messages(), Messages({Inkbridge::MsgVerifying, message}));
        QVERIFY(!controller.isConnected());
        // A failed pen-on keeps the earlier socket: the pen keeps working.
        QCOMPARE(listens(controller), listening || PenCommand(command) == PenCommand::On);
    }

    void takenPenPortIsNotShownAsConnected()
    {
        ControllerRig rig;
        QUdpSocket other;
        QVERIFY(other.bind(QHostAddress::Any, rig.penPort));
        Inkbridge& controller = rig.start();
        QTRY_COMPARE(rig.messages(), Messages({Inkbridge::MsgVerifying, Inkbridge::MsgPenPortTaken}));
        QVERIFY(!controller.isConnected());
    }

    void commandsAndDialogsWaitForEachOther()
    {
        ControllerRig rig;
        Inkbridge& controller = rig.makeConnected();
        QVERIFY(controller.isConnected());
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

    // Exit saves, switches the pen function off and quits five seconds later; a log-out,
    // shutdown or SIGTERM does the same but is over as soon as the projector answered.
    void quits_data()
    {
        QTest::addColumn<bool>("sessionEnd");
        QTest::newRow("exit") << false;
        QTest::newRow("session end") << true;
    }
    void quits()
    {
        QFETCH(bool, sessionEnd);
        ControllerRig rig;
        Inkbridge& controller = rig.makeConnected();
        QVERIFY(controller.isConnected());
        controller.setPenMode(PenMode::Mouse);
        rig.script->durationMs = 200;
        QSignalSpy quit(&controller, &Inkbridge::quitRequested);
        rig.store({});
        QElapsedTimer clock;
        clock.start();
        sessionEnd ? controller.endSession() : controller.exitProgram();
        controller.exitProgram(); // once is enough
        QCOMPARE(rig.stored(), controller.settings());
        QCOMPARE(rig.stored().penMode, PenMode::Mouse);
        QVERIFY(quit.wait(15000));
        QVERIFY(sessionEnd ? clock.elapsed() < 4000 : clock.elapsed() >= 4990);
        QCOMPARE(quit.size(), 1);
        QCOMPARE(rig.script->commands.size(), 2);
        QCOMPARE(rig.script->commands[1].cmdid, PenCommand::Off);
        QVERIFY(!listens(controller));
        QCOMPARE(rig.devices->log->devices, 0);
    }

    void exitDuringACommandGivesItUp()
    {
        ControllerRig rig;
        rig.script->durationMs = 60000;
        Inkbridge& controller = rig.start(200);
        QSignalSpy quit(&controller, &Inkbridge::quitRequested);
        // The command waits in a nested event loop: Exit comes from inside it, as a click would.
        QTimer::singleShot(100, &controller, &Inkbridge::exitProgram);
        QVERIFY(quit.wait(5000));
        QTRY_COMPARE(rig.messages().last(), int(Inkbridge::MsgConnectFailed));
        QCOMPARE(rig.script->commands.size(), 1); // no pen-off behind a command given up
    }

    // The projector is not up yet at start: the first failure is told, then pen-on is
    // tried again quietly, after growing pauses, until it answers. A refusal ends it.
    void waitsForTheProjector_data()
    {
        QTest::addColumn<QList<CommandResult>>("results");
        QTest::addColumn<Messages>("shown");
        using R = CommandResult;
        const int verifying = Inkbridge::MsgVerifying, connected = Inkbridge::MsgConnected;
        QTest::newRow("no connection three times")
            << QList<R>{R::ConnectFailed, R::ConnectFailed, R::ConnectFailed, R::Ok}
            << Messages{verifying, Inkbridge::MsgConnectFailed, connected};
        QTest::newRow("no response, then hung up")
            << QList<R>{R::NoReply, R::Disconnected, R::Ok} << Messages{verifying, Inkbridge::MsgNoResponse, connected};
        QTest::newRow("refused") << QList<R>{R::ErrorReply} << Messages{verifying, Inkbridge::MsgCommandFailed};
        QTest::newRow("refused on a retry")
            << QList<R>{R::ConnectFailed, R::Rejected} << Messages{verifying, Inkbridge::MsgConnectFailed, Inkbridge::MsgCommandFailed};
    }
    void waitsForTheProjector()
    {
        QFETCH(QList<CommandResult>, results);
        QFETCH(Messages, shown);
        ControllerRig rig;
        rig.script->results = results;
        Inkbridge& controller = rig.start();
        QTRY_COMPARE(rig.script->commands.size(), results.size());
        QTRY_COMPARE(rig.messages(), shown);
        QCOMPARE(controller.isConnected(), results.last() == CommandResult::Ok);
        QCOMPARE(controller.state(), Inkbridge::State::Idle);
        QTest::qWait(600); // longer than any pause: nothing more is tried
        QCOMPARE(rig.script->commands.size(), results.size());
        const QList<qint64>& at = rig.script->startedMs;
        for (int i = 1; i < at.size(); ++i) // 100, 200, 400 ms; a coarse timer may fire 5 % early
            QVERIFY2(at[i] - at[i - 1] >= (50 << i) * 9 / 10, qPrintable(QString::number(at[i] - at[i - 1])));
    }

    // What the person chooses while the program waits (between tries, or during one)
    // ends the waiting at once and does what it does otherwise.
    void choiceEndsTheWaiting_data()
    {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<int>("tryMs");       // how long each quiet try takes
        QTest::addColumn<int>("lastCommand"); // -1: none after the tries
        for (int tryMs : {0, 300}) {
            const QString when = tryMs ? " during a try" : " between tries";
            QTest::newRow(qPrintable("connect" + when)) << "connect" << tryMs << int(PenCommand::On);
            QTest::newRow(qPrintable("disconnect" + when)) << "disconnect" << tryMs << int(PenCommand::Off);
            QTest::newRow(qPrintable("exit" + when)) << "exit" << tryMs << int(PenCommand::Off);
            QTest::newRow(qPrintable("dialog" + when)) << "dialog" << tryMs << -1;
        }
    }
    void choiceEndsTheWaiting()
    {
        QFETCH(QString, choice);
        QFETCH(int, tryMs);
        QFETCH(int, lastCommand);
        ControllerRig rig;
        rig.script->results = QList<CommandResult>(20, CommandResult::ConnectFailed);
        Inkbridge& controller = rig.start(60000);
        QTRY_COMPARE(controller.state(), Inkbridge::State::Waiting);
        rig.script->durationMs = tryMs;
        if (tryMs)
            QTRY_COMPARE(controller.state(), Inkbridge::State::Retrying);
        QVERIFY(controller.isWaitingForProjector());
        const qsizetype before = rig.script->commands.size();
        rig.shown->clear();
        rig.script->durationMs = 0;
        if (choice == "connect")
            controller.connectProjector();
        else if (choice == "disconnect")
            controller.disconnectProjector();
        else if (choice == "exit")
            controller.exitProgram();
        else
            QVERIFY(controller.beginDialog());
        QVERIFY(!controller.isWaitingForProjector());
        QTest::qWait(700);
        QCOMPARE(rig.script->commands.size(), before + (lastCommand < 0 ? 0 : 1));
        if (lastCommand >= 0) {
            QCOMPARE(int(rig.script->commands.last().cmdid), lastCommand);
            QCOMPARE(rig.messages().first(), int(Inkbridge::MsgVerifying));
        }
    }

    // Connected, the computer's address on the interface changes (or it goes down and comes
    // back, or the computer wakes up): pen-on again, quietly, with the address it has now.
    void sendsPenOnAgain_data()
    {
        // The interface's address from step to step; "down": it is down; "other": another
        // interface comes; "resume": the computer wakes up. A step ending in "+" is followed
        // by the next at once, within the time the controller lets changes settle.
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("address"); // empty: no pen-on follows
        QTest::newRow("address replaced") << QStringList{"127.0.0.7"} << "127.0.0.7";
        QTest::newRow("interface down and up") << QStringList{"down", "127.0.0.2"} << "127.0.0.2";
        QTest::newRow("interface down and up at once") << QStringList{"down+", "127.0.0.2"} << "127.0.0.2";
        QTest::newRow("resumed") << QStringList{"resume"} << "127.0.0.2";
        QTest::newRow("another interface changed") << QStringList{"other"} << "";
        QTest::newRow("interface down") << QStringList{"down"} << "";
    }
    void sendsPenOnAgain()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, address);
        ControllerRig rig;
        Inkbridge& controller = rig.makeConnected();
        QVERIFY(controller.isConnected());
        QSignalSpy connectedChanges(&controller, &Inkbridge::connectedChanged);
        for (QString step : steps) {
            const bool atOnce = step.endsWith('+');
            step.remove('+');
            if (step == "resume") {
                emit rig.resume->resumed();
            } else {
                if (step == "other")
                    rig.nics << NicSource{true, "Other", "qr1", {}};
                else
                    rig.nics = {loopbackInterface(step == "down" ? "127.0.0.2" : step)};
                rig.nics[0].running = step != "down";
                emit rig.addresses->changed();
            }
            if (!atOnce)
                QTest::qWait(100);
        }
        QTest::qWait(100);
        if (address.isEmpty()) {
            QCOMPARE(rig.script->commands.size(), 1);
            return;
        }
        QTRY_COMPARE(rig.script->commands.size(), 2);
        QCOMPARE(QHostAddress(rig.script->commands[1].localAddress).toString(), address);
        QCOMPARE(controller.state(), Inkbridge::State::Idle);
        QVERIFY(controller.isConnected());
        QCOMPARE(rig.shown->size() + connectedChanges.size(), 0); // nothing to see
        rig.sendPens(stroke());
        QTRY_COMPARE(rig.devices->log->touchFrames.isEmpty() && rig.devices->log->mouseInputs.isEmpty(), false);
    }

    // A pen-on sent again that fails is told once, and the waiting begins.
    void failedPenOnAgainWaits()
    {
        ControllerRig rig;
        Inkbridge& controller = rig.makeConnected();
        QVERIFY(controller.isConnected());
        rig.script->results = {CommandResult::NoReply, CommandResult::ConnectFailed, CommandResult::Ok};
        emit rig.resume->resumed();
        QTRY_COMPARE(rig.messages(), Messages({Inkbridge::MsgNoResponse, Inkbridge::MsgConnected}));
        QCOMPARE(rig.script->commands.size(), 4);
        QVERIFY(controller.isConnected());
    }

    // Waiting out a long pause, the computer wakes up: the next try comes at once.
    void resumeEndsThePause()
    {
        ControllerRig rig;
        rig.retryDelaysMs = {100, 60000};
        rig.script->results = {CommandResult::ConnectFailed, CommandResult::ConnectFailed};
        Inkbridge& controller = rig.start();
        QTRY_COMPARE(rig.script->commands.size(), 2);
        QTRY_COMPARE(controller.state(), Inkbridge::State::Waiting);
        emit rig.resume->resumed();
        QTRY_VERIFY(controller.isConnected());
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
    // The chosen screen gets the pens, is stored at Exit and, once gone, hands them to the
    // primary screen: a pen still down there is lifted first, and the balloon says so once.
    void chosenScreenComesAndGoes()
    {
        ControllerRig rig;
        rig.screens = {{"A", QRect(0, 0, 1280, 800), true}, {"B", QRect(-1280, 0, 1280, 800), false}};
        Inkbridge& controller = rig.makeConnected();
        const auto touches = [&] {
            QStringList seen;
            for (const auto& frame : std::as_const(rig.devices->log->touchFrames))
                seen << QStringLiteral("%1,%2 %3").arg(frame[0].pointerInfo.ptPixelLocation.x)
                            .arg(frame[0].pointerInfo.ptPixelLocation.y).arg(frame[0].pointerInfo.pointerFlags, 0, 16);
            return seen;
        };
        controller.setScreen("B");
        rig.sendPens(encodePenStatusRecord({1, 1, 640, 400}));
        QTRY_COMPARE(touches(), QStringList({"-640,400 20002", "-640,400 10006"})); // hover, down
        rig.screens.removeLast();
        controller.targetScreen()->refresh();
        controller.targetScreen()->refresh(); // told once, however often the screens are read
        QTRY_COMPARE(touches().size(), 4); // lifted on B, and gone from range
        QCOMPARE(touches().mid(2), QStringList({"-640,400 40002", "-640,400 20000"}));
        rig.sendPens(encodePenStatusRecord({1, 2, 640, 400}));
        QTRY_COMPARE(touches().size(), 6);
        QCOMPARE(touches().mid(4, 1), QStringList({"640,400 20002"}));
        QCOMPARE(rig.messages(), Messages{Inkbridge::MsgScreenMissing});

        controller.changeTarget(ControllerRig::usableTarget()); // the dialog leaves it alone
        QTRY_VERIFY(controller.isConnected());
        controller.exitProgram();
        QCOMPARE(rig.stored().screen, QString("B")); // kept for when it is back
    }

    void storedPenMode()
    {
        QFETCH(int, stored);
        QFETCH(bool, touchAvailable);
        QFETCH(PenMode, mode);
        ControllerRig rig;
        rig.store(ControllerRig::usableTarget());
        rig.storeRaw("Settings/PenMode", stored);
        rig.devices->log->touchAvailable = touchAvailable;
        Inkbridge& controller = rig.make();
        controller.run();
        QCOMPARE(controller.penMode(), mode);
    }
};

QTEST_MAIN(TestController)
#include "tst_controller.moc"
