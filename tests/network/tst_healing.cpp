// The connection heals itself, against the projector simulator in the test's own namespace
// pair (this computer is 10.77.0.1 on "pc0", the projector 10.77.0.2): a projector that
// comes up after the program, an address that changes under a connection, an interface
// that goes down and up, a resume. The pauses are a tenth of the program's.
#include "engine/inkbridge.h"
#include "support/netnsprojector.h"
#include "support/recordinginjection.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>

namespace {
const QString penOff = QStringLiteral("03 CE 00 00 01 01 D3");

// The program's controller with the real command link and address watch, the recording
// devices and a resume that the test tells.
struct Program {
    Program()
    {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, home.path());
        ConnectionSettings settings;
        settings.ipAddress = QStringLiteral("10.77.0.2");
        settings.adapter = QStringLiteral("pc0");
        settings.penMode = PenMode::Mouse;
        SettingsStore(QSettings::IniFormat).save(settings);
        Inkbridge::Services services = Inkbridge::platformServices();
        services.injection = devices;
        services.store = SettingsStore(QSettings::IniFormat);
        services.retryDelaysMs = {500, 1000, 2000, 3000};
        services.quitDelayMs = 500;
        services.resume = std::make_unique<ResumeWatch>();
        resume = services.resume.get();
        controller = std::make_unique<Inkbridge>(std::move(services));
        controller->penPath().call([](PenPath& path) { path.dispatch.setTarget(QRect(0, 0, 1280, 800)); });
        shown = std::make_unique<QSignalSpy>(controller.get(), &Inkbridge::messageShown);
    }
    QList<int> messages() const
    {
        QList<int> out;
        for (const QList<QVariant>& call : *shown)
            out << call.at(0).toInt();
        return out;
    }
    qsizetype injected()
    {
        return controller->penPath().call([this](PenPath&) { return devices->log->mouseInputs.size(); });
    }

    QTemporaryDir home;
    std::shared_ptr<RecordingInjectionBackend> devices = std::make_shared<RecordingInjectionBackend>();
    ResumeWatch* resume = nullptr;
    std::unique_ptr<Inkbridge> controller;
    std::unique_ptr<QSignalSpy> shown;
};

bool ip(const QString& arguments)
{
    return QProcess::execute(QStringLiteral("ip"), arguments.split(' ')) == 0;
}

// The pen-on frame that tells the projector `address` and the pen port.
QString penOnFor(const QString& address)
{
    const quint32 value = QHostAddress(address).toIPv4Address();
    const std::optional<QByteArray> frame = penCommandFrame(PenCommand::On, value, PEN_STATUS_PORT);
    return QString::fromLatin1(frame.value_or(QByteArray()).toHex(' ').toUpper());
}
} // namespace

class TestHealing : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QR_REQUIRE_NETNS(); }
    // The computer's side as every test expects it, whatever the last one changed.
    void cleanup()
    {
        ip("link set pc0 up");
        ip("addr flush dev pc0");
        ip("addr add 10.77.0.1/24 dev pc0");
    }

    // Switched on after the program: one "no connection" before, one "connected" after,
    // and nobody clicked.
    void lateProjector()
    {
        Program program;
        QElapsedTimer clock;
        clock.start();
        program.controller->run();
        QTRY_COMPARE(program.controller->state(), Inkbridge::State::Waiting);
        QTest::qWait(2000); // the projector warms up: twenty seconds in the program's time
        NetnsProjector projector;
        QVERIFY(projector.start({"--pen-script", "line"}));
        const qint64 up = clock.elapsed();
        QTRY_VERIFY_WITH_TIMEOUT(program.controller->isConnected(), 10000);
        const qint64 connected = clock.elapsed();
        QCOMPARE(program.messages(), QList<int>({Inkbridge::MsgVerifying, Inkbridge::MsgConnectFailed,
                                                 Inkbridge::MsgConnected}));
        QCOMPARE(projector.lines("cmd-rx "), QStringList{projector.lines("cmd-rx ").value(0)});
        QVERIFY(projector.lines("cmd-rx ").value(0).endsWith(penOnFor("10.77.0.1")));
        QTRY_COMPARE_WITH_TIMEOUT(program.injected(), 2 + 16 + 1, 10000);
        qInfo("late projector: up at %lld ms, connected at %lld ms (%lld ms later)", up, connected,
              connected - up);
    }

    // Connected, then the address changes under the connection: pen-on again, with the
    // address of now, and the pens reach the program through it.
    void penOnAgain_data()
    {
        QTest::addColumn<QStringList>("change"); // ip commands, or "resume"
        QTest::addColumn<QString>("address");
        QTest::newRow("address replaced")
            << QStringList{"addr del 10.77.0.1/24 dev pc0", "addr add 10.77.0.9/24 dev pc0"} << "10.77.0.9";
        QTest::newRow("interface down and up")
            << QStringList{"link set pc0 down", "link set pc0 up"} << "10.77.0.1";
        QTest::newRow("resumed") << QStringList{"resume"} << "10.77.0.1";
    }
    void penOnAgain()
    {
        QFETCH(QStringList, change);
        QFETCH(QString, address);
        NetnsProjector projector;
        QVERIFY(projector.start({"--pen-script", "line"}));
        Program program;
        program.controller->run();
        QTRY_VERIFY_WITH_TIMEOUT(program.controller->isConnected(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(program.injected(), 19, 10000);
        program.shown->clear();

        QElapsedTimer clock;
        clock.start();
        qint64 changed = 0; // when the last step was done
        for (const QString& step : change) {
            if (changed) // a moment between the steps
                QTest::qWait(300);
            if (step == "resume")
                emit program.resume->resumed();
            else
                QVERIFY(ip(step));
            changed = clock.elapsed();
        }
        // How soon is a figure of the run, not a pass mark: a loaded machine may be slow.
        QVERIFY(projector.waitForLines("cmd-rx ", 2, 10000));
        const qint64 penOn = clock.elapsed();
        QVERIFY(projector.lines("cmd-rx ").last().endsWith(penOnFor(address)));
        QTRY_COMPARE_WITH_TIMEOUT(program.injected(), 2 * 19, 10000);
        QVERIFY(program.controller->isConnected());
        QCOMPARE(program.shown->size(), 0);
        qInfo("%s: change done at %lld ms, pen-on again at %lld ms", QTest::currentDataTag(), changed, penOn);
    }

    // A projector that answers with an error has refused: it is not asked again.
    void refusalIsNotRetried()
    {
        NetnsProjector projector;
        QVERIFY(projector.start({"--command-mode", "error"}));
        Program program;
        program.controller->run();
        QTRY_COMPARE(program.messages(), QList<int>({Inkbridge::MsgVerifying, Inkbridge::MsgCommandFailed}));
        QTest::qWait(2000);
        QCOMPARE(projector.lines("cmd-rx ").size(), 1);
        QCOMPARE(program.controller->state(), Inkbridge::State::Idle);
    }

    // The projector hangs up on every command: the program waits and tries again until
    // Disconnect, whose pen-off is the last thing the projector hears.
    void disconnectWhileWaiting()
    {
        NetnsProjector projector;
        QVERIFY(projector.start({"--command-mode", "drop"}));
        Program program;
        program.controller->run();
        QVERIFY(projector.waitForLines("cmd-rx ", 2));
        QTRY_COMPARE(program.controller->state(), Inkbridge::State::Waiting);
        program.controller->disconnectProjector();
        QVERIFY(projector.waitForLines("cmd-rx ", 3));
        QTest::qWait(4000); // longer than the pause before the next try
        QCOMPARE(projector.lines("cmd-rx ").size(), 3);
        QVERIFY(projector.lines("cmd-rx ").last().endsWith(penOff));
    }

    // Exit while the projector holds the pen-on unanswered: given up, no pen-off behind
    // it, and the program ends on time.
    void exitDuringACommand()
    {
        NetnsProjector projector;
        QVERIFY(projector.start({"--command-mode", "silent"}));
        Program program;
        QSignalSpy quit(program.controller.get(), &Inkbridge::quitRequested);
        program.controller->run();
        QVERIFY(projector.waitForLines("cmd-silent "));
        program.controller->exitProgram();
        QVERIFY(quit.wait(3000));
        QTRY_COMPARE(program.messages().last(), int(Inkbridge::MsgNoResponse));
        QCOMPARE(projector.lines("cmd-rx ").size(), 1);
    }
};

QTEST_MAIN(TestHealing)
#include "tst_healing.moc"
