// The controller against the projector simulator, in a private namespace pair: what a
// person sees (balloons, icon) and what the projector receives, for each way a command
// can end.
#include "engine/inkbridge.h"
#include "support/recordinginjection.h"
#include "protocol/pencommand.h"
#include "support/logcapture.h"
#include "support/netnsprojector.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

#include <csignal>

namespace {
// The pen-on frame for 10.77.0.1 and UDP 8330.
const QString PenOnFrame = "03 CE 00 00 07 00 01 00 4D 0A 8A 20 DA";
const QString PenOffFrame = "03 CE 00 00 01 01 D3";

void storeSettings(const QString& ip, const QString& adapter, int penMode = PEN_MODE_TOUCH)
{
    NetnsProjector::storeSettings(ip, adapter, penMode);
}

QStringList menuTexts(QMenu* menu)
{
    QStringList texts;
    for (QAction* action : menu->actions())
        texts << (action->isSeparator() ? QString("|") : action->text());
    return texts;
}

QList<bool> menuEnabled(QMenu* menu)
{
    QList<bool> states;
    for (QAction* action : menu->actions()) {
        if (!action->isSeparator())
            states << action->isEnabled();
    }
    return states;
}
} // namespace

class TestController : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void connectsOnStartAndInjectsStrokes();
    void datagramsFromOtherHostsAreIgnored();
    void failedCommandsShowTheirMessages_data();
    void failedCommandsShowTheirMessages();
    void refusedConnectionFailsAtOnce();
    void disconnectSwitchesOffAndReleasesEverything();
    void connectWhileBusyIsIgnored();
    void takenPenPortIsNotShownAsConnected();
    void exitWhileIdleSwitchesOffAndQuitsAfterFiveSeconds();
    void exitDuringConnectWaitEndsTheCommand();
    void sigtermActsAsExit();
    void trayMenuFollowsTheControllerState();
    void noTrayIsToldOnceAfterTheGracePeriod();

private:
    std::unique_ptr<Inkbridge> makeController();
    QTemporaryDir m_config;
    QString m_adapter;
    std::shared_ptr<RecordingInjectionBackend> m_devices;
    NetnsProjector* m_projector = nullptr;
};

void TestController::initTestCase()
{
    QR_REQUIRE_NETNS();
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
    m_adapter = NetnsProjector::computerInterfaceName();
    QVERIFY(!m_adapter.isEmpty());
}

void TestController::init()
{
    m_devices = std::make_shared<RecordingInjectionBackend>();
    m_projector = new NetnsProjector(this);
}

void TestController::cleanup()
{
    delete m_projector;
    m_projector = nullptr;
}

std::unique_ptr<Inkbridge> TestController::makeController()
{
    auto controller = std::make_unique<Inkbridge>(m_devices);
    controller->setNoTrayGracePeriod(60 * 60 * 1000);
    return controller;
}

void TestController::connectsOnStartAndInjectsStrokes()
{
    QVERIFY2(m_projector->start({"--pen-script", "line"}), qPrintable(m_projector->errorString()));
    storeSettings(NetnsProjector::projectorAddress(), m_adapter);
    auto controller = makeController();
    QSignalSpy messages(controller.get(), &Inkbridge::trayMessageShown);

    controller->run();
    QVERIFY(m_projector->waitForLines("cmd-rx "));
    QVERIFY2(m_projector->lines("cmd-rx ").first().endsWith(PenOnFrame),
             qPrintable(m_projector->lines("cmd-rx ").first()));
    QTRY_VERIFY(controller->isConnected());
    QCOMPARE(messages.at(0).at(0).toInt(), int(Inkbridge::MsgVerifying));
    QCOMPARE(messages.last().at(0).toInt(), int(Inkbridge::MsgConnected));
    QVERIFY(controller->isListeningForPens());
    QVERIFY(controller->pens().touchInjector() != nullptr);

    // The stroke reaches the touch device as screen pixels: the line at pen y 400 runs
    // across the middle of the offscreen platform's 800 x 600 screen.
    QVERIFY(m_projector->waitForLines("pen-done "));
    QTRY_VERIFY(!m_devices->touchFrames().isEmpty());
    QTRY_COMPARE(controller->pens().touchInjector()->activeContactCount(), 0);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    for (const auto& frame : m_devices->touchFrames()) {
        for (const auto& contact : frame) {
            const QPoint at(contact.pointerInfo.ptPixelLocation.x,
                            contact.pointerInfo.ptPixelLocation.y);
            QVERIFY(screen.contains(at));
            QCOMPARE(at.y(), (400 - 1) * screen.height() / 798);
        }
    }
}

void TestController::datagramsFromOtherHostsAreIgnored()
{
    QVERIFY2(m_projector->start({"--pen-script", "none"}), qPrintable(m_projector->errorString()));
    storeSettings(NetnsProjector::projectorAddress(), m_adapter, PEN_MODE_MOUSE);
    auto controller = makeController();
    controller->run();
    QTRY_VERIFY(controller->isConnected());
    m_devices->clearRecords();

    // A well-formed pen-down from a host that is not the projector.
    LogCapture log;
    QUdpSocket stranger;
    QVERIFY(stranger.bind(QHostAddress(NetnsProjector::computerAddress()), 0));
    stranger.writeDatagram(QByteArray::fromHex("03CE00000702010102800190EF"),
                           QHostAddress(NetnsProjector::computerAddress()), 8330);
    QTRY_VERIFY(!log.lines().filter("not the connected projector").isEmpty());
    QTest::qWait(50);
    QVERIFY(m_devices->mouseInputs().isEmpty());
    QVERIFY(log.lines().filter(QRegularExpression("^UdpRead: 3 CE")).isEmpty());
}

void TestController::failedCommandsShowTheirMessages_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("message");
    QTest::newRow("error reply") << "error" << int(Inkbridge::MsgCommandFailed);
    QTest::newRow("result byte 2") << "reject" << int(Inkbridge::MsgCommandFailed);
    QTest::newRow("connection dropped") << "drop" << int(Inkbridge::MsgCommandFailed);
    QTest::newRow("no reply") << "silent" << int(Inkbridge::MsgNoResponse);
}

void TestController::failedCommandsShowTheirMessages()
{
    QFETCH(QString, mode);
    QFETCH(int, message);
    QVERIFY2(m_projector->start({"--command-mode", mode}), qPrintable(m_projector->errorString()));
    storeSettings(NetnsProjector::projectorAddress(), m_adapter);
    auto controller = makeController();
    QSignalSpy messages(controller.get(), &Inkbridge::trayMessageShown);
    controller->run();
    QTRY_VERIFY_WITH_TIMEOUT(messages.size() >= 2, 8000);
    QCOMPARE(messages.last().at(0).toInt(), message);
    QVERIFY(!controller->isConnected());
    QVERIFY(!controller->isBusy());
    QVERIFY(!controller->isListeningForPens());
}

void TestController::refusedConnectionFailsAtOnce()
{
    QVERIFY2(m_projector->start({"--command-mode", "refuse"}),
             qPrintable(m_projector->errorString()));
    storeSettings(NetnsProjector::projectorAddress(), m_adapter);
    auto controller = makeController();
    QSignalSpy messages(controller.get(), &Inkbridge::trayMessageShown);
    QElapsedTimer clock;
    clock.start();
    controller->run();
    QTRY_VERIFY_WITH_TIMEOUT(messages.size() >= 2, 5000);
    QCOMPARE(messages.last().at(0).toInt(), int(Inkbridge::MsgConnectFailed));
    QVERIFY2(clock.elapsed() < 3000, "a refused connection waited for the deadline");
}

void TestController::disconnectSwitchesOffAndReleasesEverything()
{
    QVERIFY2(m_projector->start({"--pen-script", "none"}), qPrintable(m_projector->errorString()));
    storeSettings(NetnsProjector::projectorAddress(), m_adapter);
    auto controller = makeController();
    QSignalSpy messages(controller.get(), &Inkbridge::trayMessageShown);
    controller->run();
    QTRY_VERIFY(controller->isConnected());

    QMetaObject::invokeMethod(controller.get(), "trayMenuDisconnectProc");
    QVERIFY(m_projector->waitForLines("cmd-rx ", 2));
    QVERIFY(m_projector->lines("cmd-rx ").last().endsWith(PenOffFrame));
    QTRY_COMPARE(messages.last().at(0).toInt(), int(Inkbridge::MsgDisconnected));
    QTRY_VERIFY(!controller->isBusy());
    QVERIFY(!controller->isConnected());
    QVERIFY(!controller->isListeningForPens());
    QVERIFY(controller->pens().touchInjector() == nullptr);
}

void TestController::connectWhileBusyIsIgnored()
{
    QVERIFY2(m_projector->start({"--command-mode", "ok", "--reply-delay", "500"}),
             qPrintable(m_projector->errorString()));
    storeSettings(NetnsProjector::projectorAddress(), m_adapter);
    auto controller = makeController();
    controller->run();
    QTRY_VERIFY(controller->isBusy());
    QMetaObject::invokeMethod(controller.get(), "trayMenuConnectProc");
    QMetaObject::invokeMethod(controller.get(), "trayMenuDisconnectProc");
    QTRY_VERIFY(controller->isConnected());
    QTest::qWait(300);
    QCOMPARE(m_projector->lines("cmd-accept ").size(), 1);
}

void TestController::takenPenPortIsNotShownAsConnected()
{
    QUdpSocket squatter;
    QVERIFY(squatter.bind(QHostAddress::Any, 8330));
    QVERIFY2(m_projector->start({"--pen-script", "none"}), qPrintable(m_projector->errorString()));
    storeSettings(NetnsProjector::projectorAddress(), m_adapter);
    auto controller = makeController();
    QSignalSpy messages(controller.get(), &Inkbridge::trayMessageShown);
    controller->run();
    QTRY_VERIFY(messages.size() >= 2);
    QCOMPARE(messages.last().at(0).toInt(), int(Inkbridge::MsgPenPortTaken));
    QVERIFY(!controller->isConnected());
    QVERIFY(!controller->isBusy());
}

void TestController::exitWhileIdleSwitchesOffAndQuitsAfterFiveSeconds()
{
    QVERIFY2(m_projector->start({"--pen-script", "none"}), qPrintable(m_projector->errorString()));
    storeSettings(NetnsProjector::projectorAddress(), m_adapter, PEN_MODE_TOUCH);
    auto controller = makeController();
    controller->run();
    QTRY_VERIFY(controller->isConnected());
    QMetaObject::invokeMethod(controller.get(), "trayMenuOperateMouseProc");

    QElapsedTimer clock;
    clock.start();
    QTimer::singleShot(0, controller.get(),
                       [&] { QMetaObject::invokeMethod(controller.get(), "trayMenuExitProc"); });
    QCOMPARE(QCoreApplication::exec(), 0);
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(elapsed >= 4900 && elapsed < 7000, qPrintable(QString::number(elapsed)));
    QVERIFY(m_projector->lines("cmd-rx ").last().endsWith(PenOffFrame));
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Lumoravista", "Quill Relay");
    QCOMPARE(store.value("Settings/PenMode").toInt(), int(PEN_MODE_MOUSE)); // saved at Exit
}

void TestController::exitDuringConnectWaitEndsTheCommand()
{
    // Frames for this address go to a hardware address that nobody on the link has, so
    // connecting neither succeeds nor fails: it hangs, as with a projector switched off.
    QCOMPARE(QProcess::execute("ip", {"neigh", "replace", "10.77.0.250", "lladdr",
                                      "02:00:00:00:00:99", "dev", m_adapter, "nud", "permanent"}),
             0);
    storeSettings("10.77.0.250", m_adapter);
    auto controller = makeController();
    QSignalSpy messages(controller.get(), &Inkbridge::trayMessageShown);
    QSignalSpy done(controller.get(), &Inkbridge::pencmddone);

    QElapsedTimer sinceExit;
    QTimer::singleShot(700, controller.get(), [&] {
        QVERIFY(controller->isBusy());
        sinceExit.start();
        QMetaObject::invokeMethod(controller.get(), "trayMenuExitProc");
    });
    controller->run();
    QTRY_VERIFY_WITH_TIMEOUT(!done.isEmpty(), 3000);
    QVERIFY(sinceExit.isValid());
    QVERIFY2(sinceExit.elapsed() < 300, qPrintable(QString::number(sinceExit.elapsed())));
    QCOMPARE(done.first().at(1).toInt(), int(RESULT_CONNECT_FAILED));
    QTRY_COMPARE(messages.last().at(0).toInt(), int(Inkbridge::MsgConnectFailed));
    QCOMPARE(done.size(), 1); // no pen-off follows an aborted command
}

void TestController::sigtermActsAsExit()
{
    QVERIFY2(m_projector->start({"--pen-script", "none"}), qPrintable(m_projector->errorString()));
    storeSettings(NetnsProjector::projectorAddress(), m_adapter);
    auto controller = makeController();
    controller->run();
    QTRY_VERIFY(controller->isConnected());

    QElapsedTimer clock;
    clock.start();
    QTimer::singleShot(0, [] { ::raise(SIGTERM); });
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY2(clock.elapsed() < 3000, "nothing was pending, yet it waited");
    QVERIFY(m_projector->waitForLines("cmd-rx ", 2));
    QVERIFY(m_projector->lines("cmd-rx ").last().endsWith(PenOffFrame));
}

void TestController::trayMenuFollowsTheControllerState()
{
    QVERIFY2(m_projector->start({"--pen-script", "none", "--reply-delay", "400"}),
             qPrintable(m_projector->errorString()));
    storeSettings(NetnsProjector::projectorAddress(), m_adapter, PEN_MODE_TOUCH);
    auto controller = makeController();
    controller->run();
    QMenu* menu = controller->trayMenu();
    QVERIFY(menu);
    QCOMPARE(menuTexts(menu),
             (QStringList{"OperateTouch", "OperateMouse", "|", "Connect", "Disconnect", "|",
                          "Communication Settings...", "About Inkbridge...", "|", "Exit"}));

    // A command under way: only Exit.
    QTRY_VERIFY(controller->isBusy());
    QMetaObject::invokeMethod(controller.get(), "trayIconActivated",
                              Q_ARG(QSystemTrayIcon::ActivationReason, QSystemTrayIcon::Context));
    QCOMPARE(menuEnabled(menu), (QList<bool>{false, false, false, false, false, false, true}));

    // Connected, touch mode: everything, and the dot on touch.
    QTRY_VERIFY(controller->isConnected());
    QMetaObject::invokeMethod(controller.get(), "trayIconActivated",
                              Q_ARG(QSystemTrayIcon::ActivationReason, QSystemTrayIcon::Context));
    QCOMPARE(menuEnabled(menu), (QList<bool>{true, true, true, true, true, true, true}));
    const QList<QAction*> actions = menu->actions();
    const QImage dot = QIcon(":/ico/CheckedDot.png").pixmap(16).toImage();
    const QImage blank = QIcon(":/ico/BlankChecked.png").pixmap(16).toImage();
    QCOMPARE(actions[0]->icon().pixmap(16).toImage(), dot);
    QCOMPARE(actions[1]->icon().pixmap(16).toImage(), blank);

    // Mouse mode moves the dot; touch unavailable disables touch only.
    QMetaObject::invokeMethod(controller.get(), "trayMenuOperateMouseProc");
    m_devices->setTouchAvailable(false);
    QMetaObject::invokeMethod(controller.get(), "trayIconActivated",
                              Q_ARG(QSystemTrayIcon::ActivationReason, QSystemTrayIcon::Context));
    QCOMPARE(actions[0]->icon().pixmap(16).toImage(), blank);
    QCOMPARE(actions[1]->icon().pixmap(16).toImage(), dot);
    QCOMPARE(menuEnabled(menu), (QList<bool>{false, true, true, true, true, true, true}));

    // A dialog open: nothing at all, Exit included.
    QTimer::singleShot(200, [&] {
        QMetaObject::invokeMethod(
            controller.get(), "trayIconActivated",
            Q_ARG(QSystemTrayIcon::ActivationReason, QSystemTrayIcon::Context));
        QCOMPARE(menuEnabled(menu), (QList<bool>{false, false, false, false, false, false, false}));
        if (QWidget* dialog = QApplication::activeModalWidget())
            dialog->close();
    });
    QMetaObject::invokeMethod(controller.get(), "trayMenuAboutInkbridgeProc");
    QVERIFY(!controller->isDialogOpen());
}

void TestController::noTrayIsToldOnceAfterTheGracePeriod()
{
    // The offscreen platform has no system tray, like some Linux desktops.
    QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
    QVERIFY2(m_projector->start({"--pen-script", "none"}), qPrintable(m_projector->errorString()));
    storeSettings(NetnsProjector::projectorAddress(), m_adapter);
    auto controller = makeController();
    controller->setNoTrayGracePeriod(300);
    controller->run();
    auto notices = [] {
        int shown = 0;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            shown += box && box->isVisible() && box->text().contains("pkill -x QuillRelay");
        }
        return shown;
    };
    QTest::qWait(150);
    QCOMPARE(notices(), 0); // not before the panel had its chance
    QTRY_COMPARE(notices(), 1);
    QTRY_VERIFY(controller->isConnected()); // and it still does its job
    QTest::qWait(500);
    QCOMPARE(notices(), 1);
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMessageBox*>(w))
            w->close();
    }
}

QTEST_MAIN(TestController)
#include "tst_controller.moc"
