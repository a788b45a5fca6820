#include "engine/inkbridge.h"

#include "core/logging.h"
#include "engine/search/niclist.h"

#include <QGuiApplication>

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
} // namespace

Inkbridge::Services Inkbridge::platformServices()
{
    Services services;
    services.injection = createPlatformInjectionBackend();
    services.commands = std::make_unique<LinkCommandRunner>();
    services.clock = makeSteadyClock();
    services.penThread = true;
    return services;
}

Inkbridge::Inkbridge(Services services, QObject* parent)
    : QObject(parent), m_services(std::move(services)),
      m_pen(m_services.injection, m_services.clock, m_services.penThread)
{
    // The pens land on the primary screen, wherever it is now.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        m_screen = std::make_unique<PrimaryScreenTracker>();
        const auto aimAt = [this](const QRect& pixels) {
            m_pen.post([pixels](PenPath& path) { path.dispatch.setTarget(pixels); });
        };
        connect(m_screen.get(), &PrimaryScreenTracker::pixelsChanged, this, aimAt);
        aimAt(m_screen->pixels());
    }
    qRegisterMetaType<CPenControl>();
    // Queued, so that a command always runs after the slot that asked for it has returned,
    // and its result is handled after the command's own slot has returned.
    connect(this, &Inkbridge::pencmd, this, &Inkbridge::PenCtlProc, Qt::QueuedConnection);
    connect(this, &Inkbridge::pencmddone, this, &Inkbridge::penControlDone, Qt::QueuedConnection);
    connect(this, &Inkbridge::execConnect, this, &Inkbridge::connectProjector,
            Qt::QueuedConnection);
    m_quitTimer.setSingleShot(true);
    m_quitTimer.setTimerType(Qt::PreciseTimer); // a coarse one fired 220 ms early in a test
    connect(&m_quitTimer, &QTimer::timeout, this, &Inkbridge::appquit);
}

Inkbridge::~Inkbridge()
{
    // No command goes to the projector from here: Exit has sent the pen-off already.
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
    m_settings = loaded;
    // Touch needs touch injection (Windows 8 or later, or access to /dev/uinput).
    const bool touch = loaded.penMode == PenMode::Touch && touchInjectionAvailable();
    setPenMode(touch ? PenMode::Touch : PenMode::Mouse);

    if (checkConnectionTarget()) {
        emit execConnect();
    } else {
        showMessage(MsgConnectFailed);
        emit execCommSetting();
    }
}

bool Inkbridge::checkConnectionTarget() const
{
    return m_settings.validate() == ConnectionSettings::Validity::Valid &&
           !adapterLocalAddress().isNull();
}

QHostAddress Inkbridge::connectedProjector() const
{
    return m_connected ? m_projector : QHostAddress();
}

QHostAddress Inkbridge::adapterLocalAddress() const
{
    return m_settings.adapter.isEmpty() ? QHostAddress() : NicList().addressOf(m_settings.adapter);
}

void Inkbridge::connectProjector()
{
    if (!isBusy())
        sendPenCommand(PenCommand::On);
}

void Inkbridge::disconnectProjector()
{
    if (!isBusy())
        sendPenCommand(PenCommand::Off);
}

void Inkbridge::sendPenCommand(PenCommand cmdid)
{
    if (!checkConnectionTarget()) {
        penControlDone(cmdid, CommandResult::ConnectFailed);
        return;
    }
    setConnected(false);
    showMessage(MsgVerifying);

    CPenControl cmd;
    cmd.cmdid = cmdid;
    cmd.host = m_settings.host();
    cmd.port = QString::number(m_settings.port);
    if (cmdid == PenCommand::On) {
        cmd.localAddress = adapterLocalAddress().toString();
        cmd.localPort = QString::number(m_services.penPort);
    }
    m_pendingCommand = cmdid;
    emit pencmd(cmd);
    if (m_state == State::Idle)
        setState(State::Commanding);
}

void Inkbridge::PenCtlProc(const CPenControl& cmd)
{
    const CommandOutcome outcome = m_services.commands->run(cmd, m_abortRequested);
    if (outcome.result == CommandResult::Ok && cmd.cmdid == PenCommand::On) {
        m_projector = outcome.projector;
        m_pen.post([projector = outcome.projector](PenPath& path) {
            path.receiver.acceptFrom(projector);
        });
    }
    emit pencmddone(cmd.cmdid, outcome.result);
    m_abortRequested = false;
}

void Inkbridge::penControlDone(PenCommand cmdid, CommandResult result)
{
    m_pendingCommand.reset();
    if (cmdid == PenCommand::On && result == CommandResult::Ok) {
        // The device is there before the first datagram can be read.
        const quint16 port = m_services.penPort;
        if (m_pen.call([port](PenPath& path) {
                if (!path.receiver.listen(port))
                    return false;
                path.dispatch.startInjecting();
                return true;
            })) {
            setConnected(true);
            showMessage(MsgConnected);
        } else {
            // Nothing could ever arrive: say so instead of showing "connected".
            setConnected(false);
            showMessage(MsgPenPortTaken);
        }
    } else {
        // A failed pen-on leaves an earlier socket delivering pens, as before the command.
        setConnected(false);
        showMessage(messageForResult(cmdid, result));
        if (cmdid == PenCommand::Off && result == CommandResult::Ok) {
            m_pen.post([](PenPath& path) {
                path.receiver.close();
                path.dispatch.stopInjecting();
            });
        }
    }
    if (m_state == State::Commanding)
        setState(State::Idle);
    else if (m_state == State::EndingSession)
        appquit();
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
            if (!m_pendingCommand)
                appquit();
        }
        return;
    }
    m_services.store.save(m_settings);

    const State before = m_state;
    setState(how);
    if (m_pendingCommand)
        m_abortRequested = true;
    else if (before != State::DialogOpen)
        sendPenCommand(PenCommand::Off); // a session end then quits once it is answered
    m_quitTimer.start(m_services.quitDelayMs);
}

void Inkbridge::appquit()
{
    m_abortRequested = true;
    m_quitTimer.stop();
    emit quitRequested();
}

bool Inkbridge::beginDialog()
{
    if (isBusy())
        return false;
    setState(State::DialogOpen);
    return true;
}

void Inkbridge::endDialog()
{
    if (m_state == State::DialogOpen)
        setState(State::Idle);
}

void Inkbridge::setPenMode(PenMode mode)
{
    m_pen.post([mode](PenPath& path) { path.dispatch.setPenMode(mode); });
    m_settings.penMode = mode;
}

void Inkbridge::changeTarget(const ConnectionSettings& target)
{
    const PenMode mode = m_settings.penMode;
    m_settings = target;
    m_settings.penMode = mode;
    emit execConnect();
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
