#pragma once

// Stand-ins for the system around the controller: a scripted projector behind the command
// link, recording injection devices, one loopback network interface and a settings store
// in a folder of the test's own. With them the controller runs in the test's process and
// needs neither root nor a network.
#include "engine/inkbridge.h"
#include "engine/search/niclist.h"
#include "support/recordinginjection.h"

#include <QElapsedTimer>
#include <QSettings>
#include <QTest>
#include <QTemporaryDir>
#include <QTimer>
#include <QUdpSocket>

// A projector without a network: it answers each command as scripted.
struct CommandScript {
    CommandScript() { clock.start(); }
    QList<CPenControl> commands;  // what reached it, in order
    QList<qint64> startedMs;      // when each came, on `clock`
    QElapsedTimer clock;
    QList<CommandResult> results; // the next answers; Ok once they run out
    int durationMs = 0;           // how long each command takes (it gives up on abort)
    QHostAddress projector{QHostAddress::LocalHost};
};

class ScriptedCommands final : public PenCommandExchange {
public:
    explicit ScriptedCommands(std::shared_ptr<CommandScript> script) : m_script(std::move(script))
    {
        m_answer.setSingleShot(true);
        QObject::connect(&m_answer, &QTimer::timeout, this, [this] {
            const CommandResult result =
                m_script->results.isEmpty() ? CommandResult::Ok : m_script->results.takeFirst();
            emit finished({result, result == CommandResult::Ok ? m_script->projector : QHostAddress()});
        });
    }
    void start(const CPenControl& cmd) override
    {
        cancelDelivery();
        m_script->commands << cmd;
        m_script->startedMs << m_script->clock.elapsed();
        m_answer.start(m_script->durationMs);
    }
    void abort() override
    {
        if (!m_answer.isActive())
            return;
        m_answer.stop();
        deliverLater({CommandResult::ConnectFailed, {}});
    }
    bool isRunning() const override { return m_answer.isActive(); }

private:
    std::shared_ptr<CommandScript> m_script;
    QTimer m_answer;
};

// "qr0", 127.0.0.2/8 (or another loopback address): an interface whose every address is loopback, so that nothing a test
// starts through it can leave the machine.
inline NicSource loopbackInterface(const QString& address = QStringLiteral("127.0.0.2"))
{
    QNetworkAddressEntry entry;
    entry.setIp(QHostAddress(address));
    entry.setNetmask(QHostAddress(QStringLiteral("255.0.0.0")));
    entry.setBroadcast(QHostAddress(QStringLiteral("127.255.255.255")));
    return NicSource{true, QStringLiteral("Loopback qr0"), QStringLiteral("qr0"), {entry}};
}

// A UDP port that nothing uses now.
inline quint16 freeUdpPort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    return probe.localPort();
}

// The controller with the stand-ins above; the settings of one test live in its own folder.
struct ControllerRig {
    ControllerRig()
    {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, home.path());
        NicList::setSystemSource([this] { return nics; });
    }
    ~ControllerRig() { NicList::setSystemSource(nullptr); }

    // A target that the controller can use: the projector at 127.0.0.1 through qr0.
    static ConnectionSettings usableTarget()
    {
        ConnectionSettings target;
        target.ipAddress = QStringLiteral("127.0.0.1");
        target.adapter = QStringLiteral("qr0");
        return target;
    }
    void store(const ConnectionSettings& settings) { SettingsStore(QSettings::IniFormat).save(settings); }
    ConnectionSettings stored() const { return SettingsStore(QSettings::IniFormat).load(); }

    Inkbridge& make(int quitDelayMs = 5000)
    {
        Inkbridge::Services services;
        services.injection = devices;
        services.commands = std::make_unique<ScriptedCommands>(script);
        services.store = SettingsStore(QSettings::IniFormat);
        services.clock = makeSteadyClock();
        services.penPort = penPort;
        services.quitDelayMs = quitDelayMs;
        services.retryDelaysMs = retryDelaysMs;
        services.addressSettleMs = 20;
        services.addresses = std::make_unique<AddressWatch>();
        services.resume = std::make_unique<ResumeWatch>();
        services.screens = [this] { return screens; };
        addresses = services.addresses.get();
        resume = services.resume.get();
        controller = std::make_unique<Inkbridge>(std::move(services));
        return *controller;
    }

    // The controller started with the usable target and connected (or not, which the
    // caller checks).
    Inkbridge& makeConnected(int quitDelayMs = 5000)
    {
        store(usableTarget());
        Inkbridge& made = make(quitDelayMs);
        made.run();
        (void)QTest::qWaitFor([&] { return made.isConnected(); }, 5000);
        return made;
    }

    // Sends a pen-status datagram to the controller's pen port, as the projector does.
    void sendPens(const QByteArray& datagram)
    {
        QUdpSocket socket;
        socket.bind(QHostAddress::LocalHost, 0);
        socket.writeDatagram(datagram, QHostAddress::LocalHost, penPort);
    }

    // The interface list that the controller reads; a test changes it, then tells the watch.
    QList<NicSource> nics{loopbackInterface()};
    QList<int> retryDelaysMs{100, 200, 400};
    // The desktop's screens, primary first.
    QList<ScreenInfo> screens{{"A", QRect(0, 0, 1280, 800), true}};
    AddressWatch* addresses = nullptr;
    ResumeWatch* resume = nullptr;
    QTemporaryDir home;
    std::shared_ptr<RecordingInjectionBackend> devices = std::make_shared<RecordingInjectionBackend>();
    std::shared_ptr<CommandScript> script = std::make_shared<CommandScript>();
    quint16 penPort = freeUdpPort();
    std::unique_ptr<Inkbridge> controller;
};
