// Faults in sequence, with the controller against the projector simulator in a namespace
// pair: the projector vanishes in the middle of a stroke, reboots, the network interface
// goes down and comes back, another program holds the pen-status port for a while. After
// each, nothing may be left pressed, nothing may hang, and Connect must work again.
#include "common.h"

#include "engine/inkbridge.h"
#include "support/recordinginjection.h"
#include "engine/injection/injectionrecords.h"
#include "protocol/pencommand.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

using namespace hardening;

namespace {
int countContacts(const RecordingInjectionBackend& devices, quint32 flags)
{
    int count = 0;
    for (const auto& frame : devices.touchFrames()) {
        for (const auto& contact : frame)
            count += contact.pointerInfo.pointerFlags == flags;
    }
    return count;
}

bool setLink(const QString& interface, bool up)
{
    return QProcess::execute("ip", {"link", "set", interface, up ? "up" : "down"}) == 0;
}
} // namespace

class TestFaults : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void projectorVanishesMidStroke();
    void projectorReboots();
    void interfaceGoesDownAndComesBack();
    void penPortTakenThenFreed();

private:
    std::unique_ptr<Inkbridge> makeController();
    std::unique_ptr<Inkbridge> connectedController(const QStringList& simulatorOptions);
    QTemporaryDir m_config;
    QString m_adapter;
    std::shared_ptr<RecordingInjectionBackend> m_devices;
    std::unique_ptr<NetnsProjector> m_projector;
};

void TestFaults::initTestCase()
{
    QR_REQUIRE_NETNS();
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
    m_adapter = computerInterfaceName();
    QVERIFY(!m_adapter.isEmpty());
}

void TestFaults::init()
{
    m_devices = std::make_shared<RecordingInjectionBackend>();
    m_projector = std::make_unique<NetnsProjector>();
    storeSettings(NetnsProjector::projectorAddress(), m_adapter);
}

void TestFaults::cleanup()
{
    m_projector.reset();
    setLink(m_adapter, true); // whatever a test did to it
}

std::unique_ptr<Inkbridge> TestFaults::makeController()
{
    auto controller = std::make_unique<Inkbridge>(m_devices);
    controller->setNoTrayGracePeriod(60 * 60 * 1000);
    // A screen the size of the pen space: every point of a stroke is on it, one to one.
    controller->pens().setScreenGeometry([] { return QRect(0, 0, 1280, 800); });
    return controller;
}

std::unique_ptr<Inkbridge> TestFaults::connectedController(const QStringList& simulatorOptions)
{
    auto controller = makeController();
    if (!m_projector->start(simulatorOptions)) {
        qWarning("simulator: %s", qPrintable(m_projector->errorString()));
        return nullptr;
    }
    controller->run();
    if (!QTest::qWaitFor([&] { return controller->isConnected() && !controller->isBusy(); }, 8000))
        return nullptr;
    return controller;
}

void TestFaults::projectorVanishesMidStroke()
{
    // A slow stroke (20 records a second), cut off after its fifth record.
    auto controller = connectedController({"--pen-script", "line", "--pen-rate", "20"});
    QVERIFY(controller);
    QVERIFY(m_projector->waitForLines("pen-tx ", 5));
    m_projector->stop();
    QVERIFY(m_projector->lines("pen-done ").isEmpty());

    // The pen is released by the watchdog, once: pressed once, lifted once, nothing stuck.
    QElapsedTimer sinceGone;
    sinceGone.start();
    QTRY_COMPARE_WITH_TIMEOUT(controller->pens().touchInjector()->activeContactCount(), 0, 2000);
    QCOMPARE(countContacts(*m_devices, injection::FlagsTouchDown), 1);
    QCOMPARE(countContacts(*m_devices, injection::FlagsLift), 1);
    QVERIFY(countContacts(*m_devices, injection::FlagsDrag) >= 3);

    // Disconnect finds nobody: it fails at once and says so; nothing is left busy.
    QSignalSpy messages(controller.get(), &Inkbridge::trayMessageShown);
    QMetaObject::invokeMethod(controller.get(), "trayMenuDisconnectProc");
    QTRY_VERIFY_WITH_TIMEOUT(
        !messages.isEmpty() && messages.last().at(0).toInt() != Inkbridge::MsgVerifying, 6000);
    QCOMPARE(messages.last().at(0).toInt(), int(Inkbridge::MsgConnectFailed));
    QTRY_VERIFY(!controller->isBusy());
    QCOMPARE(controller->pens().touchInjector()->activeContactCount(), 0);
}

void TestFaults::projectorReboots()
{
    auto controller = connectedController({"--pen-script", "none"});
    QVERIFY(controller);
    QSignalSpy done(controller.get(), &Inkbridge::pencmddone);

    // Switched off: Connect is refused at once.
    m_projector->stop();
    QMetaObject::invokeMethod(controller.get(), "trayMenuConnectProc");
    QTRY_VERIFY_WITH_TIMEOUT(!done.isEmpty(), 5000);
    QCOMPARE(done.last().at(1).toInt(), int(RESULT_CONNECT_FAILED));
    QTRY_VERIFY(!controller->isBusy());

    // Back again: Connect works, and its pens reach the screen.
    m_projector = std::make_unique<NetnsProjector>();
    QVERIFY2(m_projector->start({"--pen-script", "line"}), qPrintable(m_projector->errorString()));
    m_devices->clearRecords();
    QMetaObject::invokeMethod(controller.get(), "trayMenuConnectProc");
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 2, 5000);
    QCOMPARE(done.last().at(1).toInt(), int(RESULT_OK));
    QTRY_VERIFY(controller->isConnected()); // the result is handled after it is announced
    QVERIFY(m_projector->waitForLines("pen-done "));
    QTRY_COMPARE(countContacts(*m_devices, injection::FlagsLift), 1);
    QCOMPARE(countContacts(*m_devices, injection::FlagsTouchDown), 1);
}

void TestFaults::interfaceGoesDownAndComesBack()
{
    auto controller = connectedController({"--pen-script", "none"});
    QVERIFY(controller);
    QSignalSpy done(controller.get(), &Inkbridge::pencmddone);
    QSignalSpy messages(controller.get(), &Inkbridge::trayMessageShown);

    QVERIFY(setLink(m_adapter, false));
    // The program notices at its next Connect: it fails, at once, with the usual message.
    QElapsedTimer clock;
    clock.start();
    QMetaObject::invokeMethod(controller.get(), "trayMenuConnectProc");
    QTRY_VERIFY_WITH_TIMEOUT(!done.isEmpty(), 35000);
    QVERIFY(done.last().at(1).toInt() < 0);
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    QTRY_VERIFY(!controller->isBusy());
    QCOMPARE(messages.last().at(0).toInt(), int(Inkbridge::MsgConnectFailed));

    QVERIFY(setLink(m_adapter, true));
    // The link needs a moment to carry frames again; Connect is tried until it works.
    QVERIFY(QTest::qWaitFor(
        [&] {
            if (controller->isBusy())
                return false;
            if (done.last().at(1).toInt() == RESULT_OK)
                return true;
            QMetaObject::invokeMethod(controller.get(), "trayMenuConnectProc");
            return false;
        },
        10000));
    QTRY_VERIFY(controller->isConnected());
    QVERIFY(controller->isListeningForPens());
}

void TestFaults::penPortTakenThenFreed()
{
    auto squatter = std::make_unique<QUdpSocket>();
    QVERIFY(squatter->bind(QHostAddress::Any, 8330));
    QVERIFY2(m_projector->start({"--pen-script", "line"}), qPrintable(m_projector->errorString()));
    auto controller = makeController();
    QSignalSpy messages(controller.get(), &Inkbridge::trayMessageShown);
    QSignalSpy done(controller.get(), &Inkbridge::pencmddone);
    controller->run();
    QTRY_VERIFY_WITH_TIMEOUT(!done.isEmpty(), 5000);
    QTRY_COMPARE(messages.last().at(0).toInt(), int(Inkbridge::MsgPenPortTaken));
    QVERIFY(!controller->isConnected());
    QVERIFY(!controller->isListeningForPens());

    // The other program ends; Connect works and the next stroke arrives.
    QVERIFY(m_projector->waitForLines("pen-done "));
    squatter.reset();
    QMetaObject::invokeMethod(controller.get(), "trayMenuConnectProc");
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 2, 5000);
    QCOMPARE(done.last().at(1).toInt(), int(RESULT_OK));
    QTRY_VERIFY(controller->isConnected());
    QVERIFY(m_projector->waitForLines("pen-done ", 2));
    QTRY_COMPARE(countContacts(*m_devices, injection::FlagsLift), 1);
}

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
