// The connection heals itself over a real network, against the projector simulator in the
// test's own namespace pair (this computer is 10.77.0.1 on "pc0", the projector 10.77.0.2),
// with the real command link and address watch: a projector that comes up after the
// program, and an address that changes under a connection. How the controller answers each
// other change, a refusal or Exit is shown with a scripted projector (tst_controller).
#include "support/fakes.h"
#include "support/netnsprojector.h"

namespace {
bool ip(const QString& arguments)
{
    return QProcess::execute(QStringLiteral("ip"), arguments.split(' ')) == 0;
}

// The program's controller with the projector at 10.77.0.2 through pc0, in mouse mode.
Inkbridge& start(ControllerRig& rig)
{
    ConnectionSettings target;
    target.ipAddress = QStringLiteral("10.77.0.2");
    target.adapter = QStringLiteral("pc0");
    target.penMode = PenMode::Mouse;
    return rig.start(500, target);
}

// The pen-on frame that tells the projector `address` and the pen port, as the simulator logs it.
QString penOnFor(const QString& address, quint16 port)
{
    const auto frame = penCommandFrame(PenCommand::On, QHostAddress(address).toIPv4Address(), port);
    return QString::fromLatin1(frame.value_or(QByteArray()).toHex(' ').toUpper());
}

// The mouse records of the simulator's "line" script (move and down, 16 moves, up), times `n`,
// read on the pen path's thread that writes them.
bool injectedLines(ControllerRig& rig, int n)
{
    const auto count = [&](PenPath&) { return rig.devices->log->mouseInputs.size(); };
    return QTest::qWaitFor([&] { return rig.controller->penPath().call(count) == n * (2 + 16 + 1); }, 10000);
}
} // namespace

class TestHealing : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QR_REQUIRE_NETNS(); }
    // The computer's side as every test expects it, whatever the last one changed.
    void cleanup()
    {
        ip("addr flush dev pc0");
        ip("addr add 10.77.0.1/24 dev pc0");
    }

    // Switched on after the program: one "no connection" before, one "connected" after,
    // and nobody clicked.
    void lateProjector()
    {
        ControllerRig rig(true);
        Inkbridge& controller = start(rig);
        QTRY_COMPARE(controller.state(), Inkbridge::State::Waiting);
        QTest::qWait(2000); // the projector warms up while the program tries again and again
        NetnsProjector projector;
        QVERIFY(projector.start({"--pen-script", "line"}));
        QTRY_VERIFY_WITH_TIMEOUT(controller.isConnected(), 10000);
        QCOMPARE(rig.messages(), QList<int>({Inkbridge::MsgVerifying, Inkbridge::MsgConnectFailed,
                                             Inkbridge::MsgConnected}));
        QCOMPARE(projector.lines("cmd-rx ").size(), 1);
        QVERIFY(projector.lines("cmd-rx ").value(0).endsWith(penOnFor("10.77.0.1", rig.penPort)));
        QVERIFY(injectedLines(rig, 1));
    }

    // Connected, then the address changes under the connection: the address watch hears the
    // kernel, pen-on goes again with the address of now, and the pens come through it.
    void newAddressGetsPenOnAgain()
    {
        NetnsProjector projector;
        QVERIFY(projector.start({"--pen-script", "line"}));
        ControllerRig rig(true);
        Inkbridge& controller = start(rig);
        QTRY_VERIFY_WITH_TIMEOUT(controller.isConnected(), 10000);
        QVERIFY(injectedLines(rig, 1));
        rig.shown->clear();
        QVERIFY(ip("addr del 10.77.0.1/24 dev pc0") && ip("addr add 10.77.0.9/24 dev pc0"));
        QVERIFY(projector.waitForLines("cmd-rx ", 2, 10000));
        QVERIFY(projector.lines("cmd-rx ").last().endsWith(penOnFor("10.77.0.9", rig.penPort)));
        QVERIFY(injectedLines(rig, 2));
        QVERIFY(controller.isConnected());
        QCOMPARE(rig.shown->size(), 0);
    }
};

QTEST_MAIN(TestHealing)
#include "tst_healing.moc"
