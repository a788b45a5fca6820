#include "engine/inkbridge.h"

#include "core/logging.h"
#include "engine/link/pjcommcontrol.h"
#include "engine/search/niclist.h"

#include <QGuiApplication>

#include <algorithm>
#include <utility>

namespace {
// The message that reports a command's result.
Inkbridge::Message messageForResult(PenCommand cmdid, CommandResult result)
{
    switch (result) {
    case CommandResult::Ok:
        return cmdid == PenCommand::On ? Inkbridge::MsgConnected : Inkbridge::MsgDisconnected;
    case CommandResult::ConnectFailed:
        return Inkbridge::MsgConnectFailed;
    case CommandResult::NoReply:
        return Inkbridge::MsgNoResponse;
    default:
        return Inkbridge::MsgCommandFailed;
    }
}

bool retriedWhenUnanswered(CommandResult result)
{
    // A projector that answers with an error has refused: asking again changes nothing.
    return result != CommandResult::ErrorReply && result != CommandResult::Rejected;
}
} // namespace

Inkbridge::Services Inkbridge::platformServices()
{
    Services services;
    services.injection = createPlatformInjectionBackend();
    services.commands = std::make_unique<PJCommControl>();
    services.addresses = createAddressWatch();
    services.resume = createResumeWatch();
    services.clock = makeSteadyClock();
    services.penThread = true;
    services.screens = desktopScreens;
    return services;
}

Inkbridge::Inkbridge(Services services, QObject* parent)
    : QObject(parent), m_services(std::move(services)),
      m_pen(m_services.injection, m_services.clock, m_services.penThread)
{
    // The pens land on the target screen, wherever it is now: the primary one until the
    // settings name another.
    if (m_services.screens) {
        m_screen = std::make_unique<TargetScreenTracker>(QString(), m_services.screens);
        const auto aimAt = [this](const ScreenTarget& target) {
            m_pen.post([target](PenPath& path) { path.dispatch.setTarget(target); });
        };
        connect(m_screen.get(), &TargetScreenTracker::targetChanged, this, aimAt);
        connect(m_screen.get(), &TargetScreenTracker::wantedScreenMissing, this,
                [this] { showMessage(MsgScreenMissing); });
        aimAt(m_screen->target());
    }
    connect(m_services.commands.get(), &PenCommandExchange::finished, this,
            &Inkbridge::penControlDone);
    if (m_services.addresses)
        connect(m_services.addresses.get(), &AddressWatch::changed, this,
                &Inkbridge::addressesChanged);
    if (m_services.resume)
        connect(m_services.resume.get(), &ResumeWatch::resumed, this, [this] {
            qCDebug(lcApp, "resumed from sleep");
            m_resumed = true;
            addressesChanged();
        });
    m_retryTimer.setSingleShot(true);
    connect(&m_retryTimer, &QTimer::timeout, this, &Inkbridge::retry);
    m_settleTimer.setSingleShot(true);
    connect(&m_settleTimer, &QTimer::timeout, this, &Inkbridge::lookAtAddress);
    m_quitTimer.setSingleShot(true);
    m_quitTimer.setTimerType(Qt::PreciseTimer); // a coarse one fired 220 ms early in a test
    connect(&m_quitTimer, &QTimer::timeout, this, &Inkbridge::appquit);
}

Inkbridge::~Inkbridge()
{
    // No command goes to the projector from here: Exit has sent the pen-off already.
    m_services.commands->disconnect(this);
    m_pen.call([](PenPath& path) { path.receiver.close(); });
}

void Inkbridge::run()
{
    const ConnectionSettings loaded = m_services.store.load();
    qCDebug(lcApp) << "Type:" << int(loaded.type);
    qCDebug(lcApp) << "IpAddress:" << loaded.ipAddress;
    qCDebug(lcApp) << "HostName:" << loaded.hostName;
    qCDebug(lcApp) << "Port:" << loaded.port;
    qCDebug(lcApp) << "PenMode:" << int(loaded.penMode);
    qCDebug(lcApp) << "Adapter:" << loaded.adapter;
    qCDebug(lcApp) << "Screen:" << loaded.screen;
    m_settings = loaded;
    setScreen(loaded.screen);
    // Touch needs touch injection (Windows 8 or later, or access to /dev/uinput).
    const bool touch = loaded.penMode == PenMode::Touch && touchInjectionAvailable();
    setPenMode(touch ? PenMode::Touch : PenMode::Mouse);

    if (checkConnectionTarget()) {
        sendPenCommand(PenCommand::On, Attempt::Start);
    } else {
        showMessage(MsgConnectFailed);
        emit execCommSetting();
    }
}

bool Inkbridge::isBusy() const
{
    switch (m_state) {
    case State::Idle:
    case State::Waiting:
    case State::Retrying:
    case State::Reasserting:
        return false;
    default:
        return true;
    }
}

bool Inkbridge::checkConnectionTarget() const
{
    return m_settings.validate() == ConnectionSettings::Validity::Valid &&
           !adapterLocalAddress().isNull();
}

QHostAddress Inkbridge::adapterLocalAddress() const
{
    return m_settings.adapter.isEmpty() ? QHostAddress() : NicList().addressOf(m_settings.adapter);
}

void Inkbridge::connectProjector()
{
    if (isBusy())
        return;
    endQuietWork();
    sendPenCommand(PenCommand::On, Attempt::Person);
}

void Inkbridge::disconnectProjector()
{
    if (isBusy())
        return;
    endQuietWork();
    sendPenCommand(PenCommand::Off, Attempt::Person);
}

void Inkbridge::endQuietWork()
{
    m_retryTimer.stop();
    if (m_running && m_running->attempt != Attempt::Person && m_running->attempt != Attempt::Start) {
        // Its outcome is not wanted any more; a command started next replaces it.
        m_running.reset();
        m_services.commands->abort();
    }
    if (m_state == State::Waiting || m_state == State::Retrying || m_state == State::Reasserting)
        setState(State::Idle);
}

void Inkbridge::sendPenCommand(PenCommand cmdid, Attempt attempt)
{
    const bool quiet = attempt == Attempt::Retry || attempt == Attempt::Reassert;
    const Running command{cmdid, attempt,
                          cmdid == PenCommand::On ? adapterLocalAddress().toIPv4Address() : 0};
    if (!checkConnectionTarget()) {
        commandDone(command, {CommandResult::ConnectFailed, {}});
        return;
    }
    if (!quiet) {
        setConnected(false);
        showMessage(MsgVerifying);
    }
    CPenControl cmd;
    cmd.cmdid = cmdid;
    cmd.host = m_settings.host();
    cmd.port = quint16(m_settings.port);
    if (cmdid == PenCommand::On) {
        cmd.localAddress = command.localAddress;
        cmd.localPort = m_services.penPort;
    }
    m_running = command;
    m_services.commands->start(cmd);
    if (!isBusy() || m_state == State::Commanding)
        setState(attempt == Attempt::Retry      ? State::Retrying
                 : attempt == Attempt::Reassert ? State::Reasserting
                                                : State::Commanding);
}

void Inkbridge::penControlDone(const CommandOutcome& outcome)
{
    if (!m_running)
        return; // given up for another command
    const Running command = *m_running;
    m_running.reset();
    commandDone(command, outcome);
}

void Inkbridge::commandDone(const Running& command, const CommandOutcome& outcome)
{
    const bool penOn = command.cmdid == PenCommand::On;
    const bool ending = m_state == State::Exiting || m_state == State::EndingSession;
    emit pencmddone(command.cmdid, outcome.result);
    if (penOn && outcome.result == CommandResult::Ok) {
        penOnSucceeded(command, outcome.projector);
    } else {
        const bool waits = penOn && !ending && command.attempt != Attempt::Person &&
                           retriedWhenUnanswered(outcome.result);
        // While waiting, only the first failure is told; later ones are quiet.
        if (!(waits && command.attempt == Attempt::Retry)) {
            // A failed pen-on leaves an earlier socket delivering pens, as before the command.
            setConnected(false);
            showMessage(messageForResult(command.cmdid, outcome.result));
        }
        if (command.cmdid == PenCommand::Off && outcome.result == CommandResult::Ok) {
            m_pen.post([](PenPath& path) {
                path.receiver.close();
                path.dispatch.stopInjecting();
            });
        }
        if (waits) {
            waitForProjector();
            lookAgainIfChanged();
            return;
        }
    }
    if (m_state == State::EndingSession) {
        appquit();
        return;
    }
    if (!isBusy() || m_state == State::Commanding)
        setState(State::Idle);
    lookAgainIfChanged();
}

void Inkbridge::lookAgainIfChanged()
{
    // A change of address that came while a command ran or a dialog was open.
    if (std::exchange(m_changedMeanwhile, false))
        m_settleTimer.start(m_services.addressSettleMs);
}

void Inkbridge::penOnSucceeded(const Running& command, const QHostAddress& projector)
{
    m_projector = projector;
    m_penOnAddress = command.localAddress;
    m_addressLost = false;
    m_retries = 0;
    const quint16 port = m_services.penPort;
    const bool quiet = command.attempt == Attempt::Reassert || command.attempt == Attempt::Retry;
    // The socket is made and the device is there before the first datagram is read. A quiet
    // pen-on keeps a socket that is there, and with it the sender filter, so that nothing
    // from another host gets in meanwhile.
    const bool listening = m_pen.call([projector, port, quiet](PenPath& path) {
        path.receiver.acceptFrom(projector);
        if (quiet && path.receiver.isListening())
            return true;
        if (!path.receiver.listen(port))
            return false;
        path.dispatch.startInjecting();
        return true;
    });
    if (listening) {
        setConnected(true);
        if (command.attempt != Attempt::Reassert)
            showMessage(MsgConnected);
    } else {
        // Nothing could ever arrive: say so instead of showing "connected".
        setConnected(false);
        showMessage(MsgPenPortTaken);
    }
}

void Inkbridge::waitForProjector()
{
    const QList<int>& delays = m_services.retryDelaysMs;
    const int delay = delays.isEmpty() ? 30000 : delays.at(std::min<qsizetype>(m_retries, delays.size() - 1));
    ++m_retries;
    qCDebug(lcApp, "waiting for the projector: pen-on again in %d ms", delay);
    setState(State::Waiting);
    m_retryTimer.start(delay);
}

void Inkbridge::retry()
{
    if (m_state == State::Waiting)
        sendPenCommand(PenCommand::On, Attempt::Retry);
}

void Inkbridge::addressesChanged()
{
    // An interface that goes down and comes back within the settle time would look as if
    // nothing had happened: its going is noted at once.
    if (!m_settings.adapter.isEmpty() && NicList().runningAddressOf(m_settings.adapter).isNull())
        m_addressLost = true;
    if (!m_settleTimer.isActive())
        m_settleTimer.start(m_services.addressSettleMs);
}

void Inkbridge::lookAtAddress()
{
    if (m_state != State::Idle && m_state != State::Waiting) {
        m_changedMeanwhile = true;
        return;
    }
    const bool resumed = std::exchange(m_resumed, false);
    const quint32 address = m_settings.adapter.isEmpty()
                                ? 0
                                : NicList().runningAddressOf(m_settings.adapter).toIPv4Address();
    if (address == 0) {
        // Down, or no address yet: the change that brings it back is looked at again.
        m_addressLost = true;
        return;
    }
    if (m_state == State::Waiting) {
        // Back on the network, or awake: no reason to sit out the rest of the pause.
        if (resumed || std::exchange(m_addressLost, false)) {
            m_retryTimer.stop();
            retry();
        }
        return;
    }
    if (!m_connected || (!resumed && !m_addressLost && address == m_penOnAddress))
        return;
    qCDebug(lcApp, "the local address is %s now: pen-on again",
            qUtf8Printable(QHostAddress(address).toString()));
    sendPenCommand(PenCommand::On, Attempt::Reassert);
}

void Inkbridge::exitProgram()
{
    exit(State::Exiting);
}

void Inkbridge::endSession()
{
    qCDebug(lcApp, "session ends: exiting");
    exit(State::EndingSession);
}

void Inkbridge::exit(State how)
{
    if (m_state == State::Exiting || m_state == State::EndingSession) {
        // Exit happens once; a session that ends meanwhile only stops waiting for the timer.
        if (how == State::EndingSession && m_state == State::Exiting) {
            setState(how);
            if (!m_running)
                appquit();
        }
        return;
    }
    m_services.store.save(m_settings);

    endQuietWork();
    m_settleTimer.stop();
    const State before = m_state;
    setState(how);
    if (m_running)
        m_services.commands->abort(); // its result is still shown
    else if (before != State::DialogOpen)
        sendPenCommand(PenCommand::Off, Attempt::Person); // a session end then quits once it is answered
    m_quitTimer.start(m_services.quitDelayMs);
}

void Inkbridge::appquit()
{
    m_running.reset();
    m_services.commands->abort();
    m_retryTimer.stop();
    m_settleTimer.stop();
    m_quitTimer.stop();
    emit quitRequested();
}

bool Inkbridge::beginDialog()
{
    if (isBusy())
        return false;
    endQuietWork();
    setState(State::DialogOpen);
    return true;
}

void Inkbridge::endDialog()
{
    if (m_state != State::DialogOpen)
        return;
    setState(State::Idle);
    lookAgainIfChanged();
}

void Inkbridge::setPenMode(PenMode mode)
{
    m_pen.post([mode](PenPath& path) { path.dispatch.setPenMode(mode); });
    m_settings.penMode = mode;
}

void Inkbridge::setScreen(const QString& name)
{
    m_settings.screen = name;
    if (m_screen)
        m_screen->setWanted(name);
}

void Inkbridge::changeTarget(const ConnectionSettings& target)
{
    // The dialog changes the projector; the pen mode and the screen stay as the menu set them.
    const PenMode mode = m_settings.penMode;
    const QString screen = m_settings.screen;
    m_settings = target;
    m_settings.penMode = mode;
    m_settings.screen = screen;
    connectProjector();
}
void Inkbridge::setState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged(state);
}

void Inkbridge::setConnected(bool connected)
{
    if (m_connected == connected)
        return;
    m_connected = connected;
    emit connectedChanged(connected);
}

void Inkbridge::showMessage(Message number)
{
    emit messageShown(number);
}
