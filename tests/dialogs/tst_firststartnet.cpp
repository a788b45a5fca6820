// The dialogs as the controller runs them, against the projector simulator in a namespace
// pair: a first start with empty settings opens the settings dialog, which searches by
// itself; picking the projector connects to it.
#include "engine/inkbridge.h"
#include "dialogtesthelpers.h"
#include "support/recordinginjection.h"
#include "ui/communicationsettings.h"
#include "support/logcapture.h"
#include "support/netnsprojector.h"

#include <QSignalSpy>
#include <QTemporaryDir>

namespace {
// The pen-on frame for 10.77.0.1 and UDP 8330.
const QString PenOnFrame = QStringLiteral("03 CE 00 00 07 00 01 00 4D 0A 8A 20 DA");
} // namespace

class TestFirstStartNet : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void emptySettingsSearchAndConnect();
    void closingTheDialogsChangesNothing();

private:
    std::unique_ptr<Inkbridge> makeController();

    QTemporaryDir m_config;
    std::shared_ptr<RecordingInjectionBackend> m_devices;
    std::unique_ptr<NetnsProjector> m_sim;
};

void TestFirstStartNet::initTestCase()
{
    QR_REQUIRE_NETNS();
    QVERIFY(m_config.isValid());
    // An empty store of our own: the first start.
    qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
}

void TestFirstStartNet::init()
{
    m_devices = std::make_shared<RecordingInjectionBackend>();
    m_sim = std::make_unique<NetnsProjector>();
    QVERIFY2(m_sim->start({"--projector", NetnsProjector::projectorAddress() + ",name=Hall",
                           "--pen-script", "none"}),
             qPrintable(m_sim->errorString()));
}

void TestFirstStartNet::cleanup()
{
    m_sim.reset();
}

std::unique_ptr<Inkbridge> TestFirstStartNet::makeController()
{
    auto controller = std::make_unique<Inkbridge>(m_devices);
    controller->setNoTrayGracePeriod(60 * 60 * 1000);
    return controller;
}

void TestFirstStartNet::emptySettingsSearchAndConnect()
{
    auto controller = makeController();
    QSignalSpy messages(controller.get(), &Inkbridge::trayMessageShown);
    bool busyWhileOpen = false;
    bool aboutBlocked = false;
    connectToFirstListedProjector([&](PJSearchDlg* list) {
        busyWhileOpen = controller->isBusy() && controller->isDialogOpen();
        // The tray's About item does nothing while a dialog is open.
        QMetaObject::invokeMethod(controller.get(), "trayMenuAboutInkbridgeProc");
        aboutBlocked = QApplication::activeModalWidget() == list;
    });

    controller->run();
    QVERIFY(!messages.isEmpty());
    QCOMPARE(messages.first().at(0).toInt(), int(Inkbridge::MsgConnectFailed));
    // The settings dialog opens by itself, searches, takes the projector and connects.
    QVERIFY(m_sim->waitForLines(QStringLiteral("cmd-rx "), 1, 10000));
    QVERIFY(busyWhileOpen);
    QVERIFY(aboutBlocked);
    QVERIFY2(m_sim->lines(QStringLiteral("cmd-rx ")).first().endsWith(PenOnFrame),
             qPrintable(m_sim->lines(QStringLiteral("cmd-rx ")).first()));
    QVERIFY(waitFor([&] { return controller->isConnected(); }));
    QCOMPARE(controller->Type, 0);
    QCOMPARE(controller->IpAddress, NetnsProjector::projectorAddress());
    QCOMPARE(controller->Port, 7142);
    QCOMPARE(controller->Adapter, QStringLiteral("pc0"));
    QVERIFY(!controller->isDialogOpen());
}

void TestFirstStartNet::closingTheDialogsChangesNothing()
{
    auto controller = makeController();
    int settingsClosed = 0;
    answerModal<PJSearchDlg>([&](PJSearchDlg* list) {
        list->findChild<QPushButton*>("pushButtonClose")->click();
        answerModal<CommunicationSettings>([&](CommunicationSettings* settings) {
            ++settingsClosed;
            settings->findChild<QPushButton*>("pushButton_Close")->click();
        });
    });
    controller->run();
    QVERIFY(waitFor([&] { return settingsClosed == 1 && !controller->isBusy(); }));
    QVERIFY(!waitFor([&] { return !m_sim->lines(QStringLiteral("cmd-accept ")).isEmpty(); }, 500));
    QVERIFY(controller->IpAddress.isEmpty());
    QVERIFY(controller->Adapter.isEmpty());
    QVERIFY(!controller->isDialogOpen());
}

QTEST_MAIN(TestFirstStartNet)
#include "tst_firststartnet.moc"
