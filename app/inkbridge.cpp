#include "app/inkbridge.h"

#include "app/eventwait.h"
#include "app/logging.h"
#include "app/penstatusrecord.h"
#include "app/sessionend.h"
#include "discovery/niclist.h"
#include "link/pencontrol.h"
#include "link/pjcommcontrol.h"
#include "settings/aboutdialog.h"
#include "settings/communicationsettings.h"
#include "settings/settings.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QException>
#include <QMenu>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>

namespace {
constexpr int ConnectTimeoutMs = 30000;
constexpr int CommandWaitSliceMs = 100;
constexpr int QuitDelayMs = 5000;
constexpr int PenSocketReceiveBufferBytes = 2 * 1024 * 1024;
// Dialog, title bar, system menu and close button only.
constexpr int DialogWindowFlags = 0x0A003003;

// The message that reports a command's result.
int messageForResult(int cmdid, int result)
{
    if (result == RESULT_OK)
        return cmdid == PEN_ON ? Inkbridge::MsgConnected : Inkbridge::MsgDisconnected;
    if (result == RESULT_CONNECT_FAILED)
        return Inkbridge::MsgConnectFailed;
    if (result == RESULT_NO_REPLY)
        return Inkbridge::MsgNoResponse;
    return Inkbridge::MsgCommandFailed;
}

// Senders arrive as IPv4-mapped IPv6 on a socket bound to any address: compare IPv4 values.
bool sameIpv4(const QHostAddress& a, const QHostAddress& b)
{
    bool aIs4 = false;
    bool bIs4 = false;
    const quint32 a4 = a.toIPv4Address(&aIs4);
    const quint32 b4 = b.toIPv4Address(&bIs4);
    return aIs4 && bIs4 && a4 == b4;
}
} // namespace

Inkbridge::Inkbridge(QObject* parent) : Inkbridge(createPlatformInjectionBackend(), parent)
{
}

Inkbridge::Inkbridge(std::shared_ptr<InjectionBackend> injection, QObject* parent)
    : QObject(parent), m_pens(std::move(injection), makeSteadyClock())
{
    connect(this, &Inkbridge::pencmd, this, &Inkbridge::PenCtlProc, Qt::QueuedConnection);
    connect(this, &Inkbridge::pencmddone, this, &Inkbridge::penControlDone, Qt::QueuedConnection);
}

Inkbridge::~Inkbridge()
{
    m_pens.stopLostEventTimer();
    tearDownPenStatusSocket(true);
    delete m_link;
    m_pens.destroyTouchInjector();
    delete m_actOperateTouch;
    delete m_actOperateMouse;
    delete m_actConnect;
    delete m_actDisconnect;
    delete m_actCommSettings;
    delete m_actAbout;
    delete m_actExit;
    delete m_trayMenu;
    delete m_trayIcon;
}

void Inkbridge::run()
{
    try {
        createTrayIcon();

        Settings settings;
        settings.Load();
        qCDebug(lcApp) << "Type:" << settings.Type;
        qCDebug(lcApp) << "IpAddress:" << settings.IpAddress;
        qCDebug(lcApp) << "HostName:" << settings.HostName;
        qCDebug(lcApp) << "Port:" << settings.Port;
        qCDebug(lcApp) << "PenMode:" << settings.PenMode;
        qCDebug(lcApp) << "Adapter:" << settings.Adapter;

        Type = settings.Type;
        IpAddress = settings.IpAddress;
        HostName = settings.HostName;
        Port = settings.Port;
        int mode = settings.PenMode;
        if (mode != PEN_MODE_TOUCH && mode != PEN_MODE_MOUSE)
            mode = PEN_MODE_TOUCH;
        if (mode == PEN_MODE_TOUCH && !m_pens.touchInjectionAvailable())
            mode = PEN_MODE_MOUSE;
        m_pens.setPenMode(mode);
        Adapter = settings.Adapter;

        m_sessionEnd = new SessionEndWatcher(this);
        connect(m_sessionEnd, &SessionEndWatcher::sessionEnding, this, &Inkbridge::sessionEndProc);

        if (checkConnectionTarget()) {
            emit execConnect();
        } else {
            showTrayMessage(MsgConnectFailed);
            emit execCommSetting();
        }
    } catch (...) {
    }
}

bool Inkbridge::checkConnectionTarget() const
{
    Settings target;
    target.Type = Type;
    target.IpAddress = IpAddress;
    target.HostName = HostName;
    target.Port = Port;
    return target.Validate() > 0 && !adapterLocalAddress().isNull();
}

QHostAddress Inkbridge::adapterLocalAddress() const
{
    const NicList nics;
    for (int i = 0; i < nics.Count(); ++i) {
        QString name;
        QHostAddress address;
        if (nics.GetName(i, name) && name == Adapter && nics.GetIpAddress(i, address))
            return address;
    }
    return {};
}

void Inkbridge::trayMenuConnectProc()
{
    sendPenCommand(PEN_ON);
}

void Inkbridge::trayMenuDisconnectProc()
{
    sendPenCommand(PEN_OFF);
}

void Inkbridge::sendPenCommand(int cmdid)
{
    try {
        if (busy)
            return;
        if (!checkConnectionTarget()) {
            penControlDone(cmdid, RESULT_CONNECT_FAILED);
            return;
        }
        setTrayIconState(false);
        showTrayMessage(MsgVerifying);

        auto* cmd = new CPenControl();
        cmd->eventClass = 1;
        cmd->eventCode = 15;
        cmd->cmdid = cmdid;
        cmd->host = Type == CONNECT_BY_HOST_NAME ? HostName : IpAddress;
        cmd->port = QString::number(Port);
        if (cmdid == PEN_ON) {
            cmd->localAddress = adapterLocalAddress().toString();
            cmd->localPort = QString::number(PEN_STATUS_PORT);
        }
        emit pencmd(cmd);
        busy = true;
    } catch (...) {
    }
}

void Inkbridge::PenCtlProc(CPenControl* cmd)
{
    if (!cmd)
        return;
    int result = RESULT_CONNECT_FAILED;
    try {
        result = runPenCommand(*cmd);
    } catch (const QException& e) {
        qCDebug(lcApp, "exception occured [%s]", e.what());
    } catch (...) {
    }
    emit pencmddone(cmd->cmdid, result);
    delete cmd;
    if (abortRequested)
        abortRequested = false;
}

int Inkbridge::runPenCommand(const CPenControl& cmd)
{
    delete m_link;
    m_link = new PJCommControl(this);

    if (!m_link->Open(cmd.host, cmd.port, false) || abortRequested)
        return RESULT_CONNECT_FAILED;

    // Wait for the connection. A refused, unreachable or unknown host is reported by the
    // link at once; only a silent network makes the wait run out its 30 seconds.
    EventWait connecting(ConnectTimeoutMs, CommandWaitSliceMs);
    connecting.wakeOn(m_link, &PJCommControl::stateChanged);
    const bool settled = connecting.waitUntil([this] {
        return abortRequested || m_link->ConnectFailed() ||
               m_link->State() == PJCommControl::LINK_CONNECTED;
    });
    if (!settled || abortRequested || m_link->State() != PJCommControl::LINK_CONNECTED)
        return RESULT_CONNECT_FAILED;

    if (m_link->SendPenControl(cmd.cmdid, cmd.localAddress, cmd.localPort) < 0) {
        if (!abortRequested)
            m_link->Close();
        return RESULT_SEND_FAILED;
    }
    if (abortRequested)
        return RESULT_SEND_FAILED;

    const int waited = m_link->WaitReply(&abortRequested);
    const int result = CPenControl::resultOfReply(waited, m_link->Reply());
    if (result == RESULT_OK && cmd.cmdid == PEN_ON)
        m_penSource = m_link->PeerAddress();
    if (!abortRequested)
        m_link->Close();
    return result;
}

void Inkbridge::penControlDone(int cmdid, int result)
{
    try {
        if (cmdid == PEN_ON) {
            if (result == RESULT_OK) {
                if (setUpPenStatusSocket()) {
                    setTrayIconState(true);
                    m_pens.createTouchInjector();
                    showTrayMessage(MsgConnected);
                } else {
                    // Nothing could ever arrive: say so instead of showing "connected".
                    tearDownPenStatusSocket();
                    setTrayIconState(false);
                    showTrayMessage(MsgPenPortTaken);
                }
            } else {
                setTrayIconState(false);
                showTrayMessage(messageForResult(cmdid, result));
            }
        } else if (cmdid == PEN_OFF) {
            setTrayIconState(false);
            showTrayMessage(messageForResult(cmdid, result));
            if (result == RESULT_OK) {
                m_pens.stopLostEventTimer();
                tearDownPenStatusSocket();
                m_pens.destroyTouchInjector();
            }
        }
    } catch (...) {
    }
    busy = false;
    if (m_quitWhenIdle)
        appquit();
}

void Inkbridge::saveSettings()
{
    Settings settings;
    settings.Type = Type;
    settings.IpAddress = IpAddress;
    settings.HostName = HostName;
    settings.Port = Port;
    settings.PenMode = m_pens.penMode();
    settings.Adapter = Adapter;
    settings.Save();
}

void Inkbridge::trayMenuExitProc()
{
    try {
        if (m_exiting)
            return;
        m_exiting = true;
        saveSettings();
        if (busy)
            abortRequested = true;
        else
            trayMenuDisconnectProc();
        QTimer::singleShot(QuitDelayMs, Qt::PreciseTimer, this, &Inkbridge::appquit);
    } catch (...) {
    }
}

void Inkbridge::sessionEndProc()
{
    // The session is ending (log-out, shutdown, SIGTERM): do what Exit does, but end as
    // soon as the pen-off command is answered instead of always waiting five seconds.
    qCDebug(lcApp, "session ends: exiting");
    m_quitWhenIdle = true;
    trayMenuExitProc();
    if (!busy)
        appquit();
}

void Inkbridge::appquit()
{
    abortRequested = true;
    QCoreApplication::exit(0);
}

void Inkbridge::trayMenuCommunicationSettingsProc()
{
    if (busy)
        return;
    busy = true;
    dialogOpen = true;
    try {
        CommunicationSettings dialog;
        dialog.setWindowFlags(Qt::WindowFlags(DialogWindowFlags));
        dialog.setWindowModality(Qt::ApplicationModal);
        dialog.SetValues(Type, IpAddress, HostName, Port, Adapter);
        dialog.autoSearchOnShow = !checkConnectionTarget();
        if (dialog.exec() == QDialog::Accepted) {
            // Kept in the controller only; the store is written at Exit.
            Type = dialog.type();
            IpAddress = dialog.ipAddress();
            HostName = dialog.hostName();
            Port = dialog.port();
            Adapter = dialog.adapter();
            emit execConnect();
        }
    } catch (...) {
    }
    dialogOpen = false;
    busy = false;
}

void Inkbridge::trayMenuAboutInkbridgeProc()
{
    if (busy)
        return;
    busy = true;
    dialogOpen = true;
    try {
        AboutDialog dialog;
        dialog.setWindowFlags(Qt::WindowFlags(DialogWindowFlags));
        dialog.setWindowModality(Qt::ApplicationModal);
        dialog.exec();
    } catch (...) {
    }
    dialogOpen = false;
    busy = false;
}

bool Inkbridge::setUpPenStatusSocket()
{
    if (m_udpSocket)
        tearDownPenStatusSocket();
    m_udpSocket = new QUdpSocket();
    connect(m_udpSocket, &QUdpSocket::readyRead, this, &Inkbridge::UdpReadyRead);
    connect(m_udpSocket, &QUdpSocket::errorOccurred, this, &Inkbridge::UdpSocketError);
    connect(m_udpSocket, &QUdpSocket::disconnected, this, &Inkbridge::UdpSocketDisconnect);
    connect(this, &Inkbridge::penStatusRecive, this, &Inkbridge::penStatus, Qt::QueuedConnection);
    if (!m_udpSocket->bind(QHostAddress::Any, PEN_STATUS_PORT))
        return false;
    // Any host may send to this port. While datagrams of others pour in, the system's
    // default buffer (a few hundred small datagrams) fills within milliseconds of any pause
    // of the event loop, and the projector's records are then dropped with the rest. The
    // system caps the size at its own maximum.
    m_udpSocket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption,
                                 PenSocketReceiveBufferBytes);
    return true;
}

void Inkbridge::tearDownPenStatusSocket(bool keepPenStatusConnection)
{
    if (!m_udpSocket)
        return;
    disconnect(m_udpSocket, nullptr, this, nullptr);
    if (!keepPenStatusConnection)
        disconnect(this, &Inkbridge::penStatusRecive, nullptr, nullptr);
    if (m_udpSocket->isOpen())
        m_udpSocket->close();
    delete m_udpSocket;
    m_udpSocket = nullptr;
}

void Inkbridge::UdpReadyRead()
{
    while (m_udpSocket && m_udpSocket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_udpSocket->receiveDatagram();
        const QByteArray data = datagram.data();
        if (data.size() < PEN_STATUS_RECORD_SIZE)
            continue;
        // Only the projector that switched its pen function on for us may move the pointer;
        // anyone else on the network could otherwise click on this desktop.
        if (!sameIpv4(datagram.senderAddress(), m_penSource)) {
            qCDebug(lcPen).noquote()
                << "UdpRead: dropped a datagram from" << datagram.senderAddress().toString()
                << "(not the connected projector)";
            continue;
        }
        processPenStatusDatagram(
            data, [this](const PenEvent& e) { penStatus(e.id, e.button, e.posx, e.posy); });
    }
}

void Inkbridge::UdpSocketError()
{
    qCDebug(lcPen).noquote() << "["
                             << QDateTime::currentDateTime().toString(
                                    QStringLiteral("yyyy/MM/dd HH:mm:ss.zzz"))
                             << "]";
    qCDebug(lcPen, "udpSocketError");
}

void Inkbridge::UdpSocketDisconnect()
{
}

void Inkbridge::penStatus(int id, int button, int posx, int posy)
{
    m_pens.penStatus(id, button, posx, posy);
}

void Inkbridge::chkLostUpEventsProc()
{
    m_pens.chkLostUpEventsProc();
}
