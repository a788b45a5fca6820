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
#include <QSignalSpy>
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
// On the network (the namespace pair's tests), it has the real command link, interface list
// and address watch instead.
struct ControllerRig {
    explicit ControllerRig(bool network = false) : onNetwork(network)
    {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, home.path());
        if (!onNetwork)
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
    // Writes one value into the settings file as a person or an admin would.
    void storeRaw(const QString& key, const QVariant& value)
    {
        QSettings(QSettings::IniFormat, QSettings::UserScope, "Lumoravista", "Quill Relay").setValue(key, value);
    }

    Inkbridge& make(int quitDelayMs = 5000)
    {
        Inkbridge::Services services = onNetwork ? Inkbridge::platformServices() : Inkbridge::Services();
        services.injection = devices;
        if (!onNetwork) {
            services.commands = std::make_unique<ScriptedCommands>(script);
            services.addresses = std::make_unique<AddressWatch>();
        }
        services.store = SettingsStore(QSettings::IniFormat);
        services.clock = makeSteadyClock();
        services.penPort = penPort;
        services.quitDelayMs = quitDelayMs;
        services.retryDelaysMs = retryDelaysMs;
        services.addressSettleMs = 20;
        services.resume = std::make_unique<ResumeWatch>();
        services.screens = [this] { return screens; };
        addresses = services.addresses.get();
        resume = services.resume.get();
        controller = std::make_unique<Inkbridge>(std::move(services));
        shown = std::make_unique<QSignalSpy>(controller.get(), &Inkbridge::messageShown);
        return *controller;
    }

    // The controller started with `target` (the usable one unless told otherwise).
    Inkbridge& start(int quitDelayMs = 5000, const ConnectionSettings& target = usableTarget())
    {
        store(target);
        Inkbridge& made = make(quitDelayMs);
        made.run();
        return made;
    }
    // Started and connected (or not, which the caller checks); the messages shown so far
    // are forgotten.
    Inkbridge& makeConnected(int quitDelayMs = 5000)
    {
        Inkbridge& made = start(quitDelayMs);
        (void)QTest::qWaitFor([&] { return made.isConnected(); }, 10000);
        shown->clear();
        return made;
    }

    // The messages shown (Inkbridge::Message), oldest first.
    QList<int> messages() const
    {
        QList<int> out;
        for (const QList<QVariant>& call : *shown)
            out << call.at(0).toInt();
        return out;
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
    const bool onNetwork;
    // The desktop's screens, primary first.
    QList<ScreenInfo> screens{{"A", QRect(0, 0, 1280, 800), true}};
    AddressWatch* addresses = nullptr;
    ResumeWatch* resume = nullptr;
    QTemporaryDir home;
    std::shared_ptr<RecordingInjectionBackend> devices = std::make_shared<RecordingInjectionBackend>();
    std::shared_ptr<CommandScript> script = std::make_shared<CommandScript>();
    quint16 penPort = freeUdpPort();
    std::unique_ptr<Inkbridge> controller;
    std::unique_ptr<QSignalSpy> shown; // messageShown, from make() on
};
