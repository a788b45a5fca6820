// The tray icon and menu of the controller, and the balloon messages shown through it.
#include "app/inkbridge.h"

#include "app/commonlib.h"
#include "app/logging.h"
#include "app/penstatusrecord.h"

#include <QAction>
#include <QCursor>
#include <QIcon>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>

namespace {
const char* const ConnectedIcon = ":/ico/MainIcon.png";
const char* const DisconnectedIcon = ":/ico/MainIconDisable.png";
const char* const SelectedMark = ":/ico/CheckedDot.png";
const char* const UnselectedMark = ":/ico/BlankChecked.png";
constexpr int BalloonMs = 10000;
} // namespace

void Inkbridge::createTrayIcon()
{
    const QFont menuFont = CommonLib::translatedFont("Inkbridge");

    auto makeAction = [&](const QString& text, void (Inkbridge::*slot)()) {
        auto* action = new QAction(text, this);
        action->setFont(menuFont);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    m_actOperateTouch = makeAction(tr("OperateTouch"), &Inkbridge::trayMenuOperateTouchProc);
    m_actOperateMouse = makeAction(tr("OperateMouse"), &Inkbridge::trayMenuOperateMouseProc);
    m_actConnect = makeAction(tr("Connect"), &Inkbridge::trayMenuConnectProc);
    m_actDisconnect = makeAction(tr("Disconnect"), &Inkbridge::trayMenuDisconnectProc);
    m_actCommSettings =
        makeAction(tr("Communication Settings..."), &Inkbridge::trayMenuCommunicationSettingsProc);
    m_actAbout = makeAction(tr("About Inkbridge..."), &Inkbridge::trayMenuAboutInkbridgeProc);
    m_actExit = makeAction(tr("Exit"), &Inkbridge::trayMenuExitProc);
    connect(this, &Inkbridge::execConnect, this, &Inkbridge::trayMenuConnectProc,
            Qt::QueuedConnection);
    connect(this, &Inkbridge::execCommSetting, this, &Inkbridge::trayMenuCommunicationSettingsProc,
            Qt::QueuedConnection);

    m_trayMenu = new QMenu();
    m_trayMenu->addAction(m_actOperateTouch);
    m_trayMenu->addAction(m_actOperateMouse);
    m_trayMenu->addSeparator();
    m_trayMenu->addAction(m_actConnect);
    m_trayMenu->addAction(m_actDisconnect);
    m_trayMenu->addSeparator();
    m_trayMenu->addAction(m_actCommSettings);
    m_trayMenu->addAction(m_actAbout);
    m_trayMenu->addSeparator();
    m_trayMenu->addAction(m_actExit);
    m_trayMenu->setFont(menuFont);

    m_trayIcon = new QSystemTrayIcon(this);
    m_trayIcon->setContextMenu(m_trayMenu);
    setTrayIconState(false);
    connect(m_trayIcon, &QSystemTrayIcon::activated, this, &Inkbridge::trayIconActivated);
    m_trayIcon->setVisible(true);
    // The marks and states are also brought up to date whenever the menu opens, whoever
    // opens it: some desktops show the context menu without an activation signal.
    connect(m_trayMenu, &QMenu::aboutToShow, this, &Inkbridge::updateMenuStates);
    updateMenuStates();

    QTimer::singleShot(m_noTrayGraceMs, this, &Inkbridge::noTrayCheckProc);
}

void Inkbridge::setTrayIconState(bool connected)
{
    m_connected = connected;
    if (m_trayIcon)
        m_trayIcon->setIcon(QIcon(QLatin1String(connected ? ConnectedIcon : DisconnectedIcon)));
}

void Inkbridge::updateMenuStates()
{
    if (!m_trayMenu)
        return;
    const bool mouse = m_pens.penMode() != PEN_MODE_TOUCH;
    m_actOperateTouch->setIcon(QIcon(QLatin1String(mouse ? UnselectedMark : SelectedMark)));
    m_actOperateMouse->setIcon(QIcon(QLatin1String(mouse ? SelectedMark : UnselectedMark)));

    m_actOperateTouch->setEnabled(!busy && m_pens.touchInjectionAvailable());
    m_actOperateMouse->setEnabled(!busy);
    m_actConnect->setEnabled(!busy);
    m_actDisconnect->setEnabled(!busy);
    m_actCommSettings->setEnabled(!busy);
    m_actAbout->setEnabled(!busy);
    m_actExit->setEnabled(!dialogOpen);
}

void Inkbridge::trayIconActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason != QSystemTrayIcon::Context && reason != QSystemTrayIcon::Trigger)
        return;
    updateMenuStates();
    if (reason != QSystemTrayIcon::Trigger)
        return; // the tray shows its context menu itself
    if (m_trayMenu->isVisible())
        m_trayMenu->hide();
    else
        m_trayMenu->exec(QCursor::pos());
}

void Inkbridge::trayMenuOperateTouchProc()
{
    m_pens.setPenMode(PEN_MODE_TOUCH);
}

void Inkbridge::trayMenuOperateMouseProc()
{
    m_pens.setPenMode(PEN_MODE_MOUSE);
}

QString Inkbridge::messageText(int number) const
{
    switch (number) {
    case MsgVerifying:
        return tr("Now verifying connection with the projector.");
    case MsgConnected:
        return tr("Connected to the projector.");
    case MsgDisconnected:
        return tr("Disconnected the projector.");
    case MsgConnectFailed:
        return tr("A connection could not be made with the projector.");
    case MsgNoResponse:
        return tr("There is no response from the projector.");
    case MsgCommandFailed:
        return tr("The command execution failed.");
    case MsgPenPortTaken:
        return tr("Pen input cannot be received: UDP port %1 is used by another program. "
                  "Close that program, then choose Connect again.")
            .arg(PEN_STATUS_PORT);
    }
    return {};
}

void Inkbridge::showTrayMessage(int number)
{
    if (!m_trayIcon || number < MsgVerifying || number > MsgPenPortTaken)
        return;
    QSystemTrayIcon::MessageIcon icon = QSystemTrayIcon::Information;
    if (number == MsgConnectFailed || number == MsgPenPortTaken)
        icon = QSystemTrayIcon::Warning;
    else if (number == MsgNoResponse || number == MsgCommandFailed)
        icon = QSystemTrayIcon::Critical;
    m_trayIcon->showMessage(tr("Inkbridge"), messageText(number), icon, BalloonMs);
    emit trayMessageShown(number);
}

void Inkbridge::noTrayCheckProc()
{
    if (!m_trayIcon || QSystemTrayIcon::isSystemTrayAvailable())
        return;
    qCDebug(lcApp, "no system tray: running without a tray icon");
    auto* notice = new QMessageBox(
        QMessageBox::Information, tr("Inkbridge"),
        tr("This desktop has no system tray, so Quill Relay runs without its tray icon. "
           "The pen keeps working with the settings already stored.\n\n"
           "To end Quill Relay, log out, or run: pkill -x QuillRelay"),
        QMessageBox::Ok);
    notice->setAttribute(Qt::WA_DeleteOnClose);
    notice->setModal(false);
    notice->show();
}
