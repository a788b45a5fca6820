#include "ui/inkbridgetray.h"

#include "core/logging.h"
#include "ui/aboutdialog.h"
#include "ui/commonlib.h"
#include "ui/communicationsettings.h"
#include "ui/dialogsupport.h"
#include "ui/icons.h"

#include <QAction>
#include <QActionGroup>
#include <QGuiApplication>
#include <QScreen>
#include <QCoreApplication>
#include <QCursor>
#include <QMenu>
#include <QMessageBox>

namespace {
constexpr int BalloonMs = 10000;
constexpr int DefaultNoTrayGraceMs = 8000;

// The tray's texts belong to the controller's translation context.
QString text(const char* source)
{
    return QCoreApplication::translate("Inkbridge", source);
}
} // namespace

QString InkbridgeTray::messageText(int number)
{
    switch (number) {
    case Inkbridge::MsgVerifying:
        return QCoreApplication::translate("Inkbridge",
                                           "Now verifying connection with the projector.");
    case Inkbridge::MsgConnected:
        return QCoreApplication::translate("Inkbridge", "Connected to the projector.");
    case Inkbridge::MsgDisconnected:
        return QCoreApplication::translate("Inkbridge", "Disconnected the projector.");
    case Inkbridge::MsgConnectFailed:
        return QCoreApplication::translate("Inkbridge",
                                           "A connection could not be made with the projector.");
    case Inkbridge::MsgNoResponse:
        return QCoreApplication::translate("Inkbridge",
                                           "There is no response from the projector.");
    case Inkbridge::MsgCommandFailed:
        return QCoreApplication::translate("Inkbridge", "The command execution failed.");
    case Inkbridge::MsgPenPortTaken:
        return QCoreApplication::translate(
                   "Inkbridge",
                   "Pen input cannot be received: UDP port %1 is used by another program. "
                   "Close that program, then choose Connect again.")
            .arg(PEN_STATUS_PORT);
    case Inkbridge::MsgScreenMissing:
        return QCoreApplication::translate("Inkbridge",
                                           "The screen chosen for the pen is not connected. "
                                           "The pen works on the primary screen until it is back.");
    }
    return {};
}

QSystemTrayIcon::MessageIcon InkbridgeTray::messageIcon(int number)
{
    switch (number) {
    case Inkbridge::MsgConnectFailed:
    case Inkbridge::MsgPenPortTaken:
    case Inkbridge::MsgScreenMissing:
        return QSystemTrayIcon::Warning;
    case Inkbridge::MsgNoResponse:
    case Inkbridge::MsgCommandFailed:
        return QSystemTrayIcon::Critical;
    default:
        return QSystemTrayIcon::Information;
    }
}

InkbridgeTray::InkbridgeTray(Inkbridge& controller, ScreenList screens, QObject* parent)
    : QObject(parent), m_controller(controller), m_menu(std::make_unique<QMenu>()),
      m_screens(std::move(screens))
{
    const QFont menuFont = CommonLib::translatedFont("Inkbridge");
    auto add = [&](const QString& label, auto&& slot) {
        auto* action = m_menu->addAction(label);
        action->setFont(menuFont);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    // The menu texts are keys or source texts of the catalogue's "Inkbridge" context.
    m_touch = add(text(QT_TRANSLATE_NOOP("Inkbridge", "OperateTouch")),
                  [this] { m_controller.setPenMode(PenMode::Touch); });
    m_mouse = add(text(QT_TRANSLATE_NOOP("Inkbridge", "OperateMouse")),
                  [this] { m_controller.setPenMode(PenMode::Mouse); });
    m_screenMenu = m_menu->addMenu(text(QT_TRANSLATE_NOOP("Inkbridge", "Screen")));
    m_screenMenu->setFont(menuFont);
    m_screenMenu->menuAction()->setFont(menuFont);
    m_menu->addSeparator();
    m_commands << add(text(QT_TRANSLATE_NOOP("Inkbridge", "Connect")),
                      [this] { m_controller.connectProjector(); });
    m_commands << add(text(QT_TRANSLATE_NOOP("Inkbridge", "Disconnect")),
                      [this] { m_controller.disconnectProjector(); });
    m_menu->addSeparator();
    m_commands << add(text(QT_TRANSLATE_NOOP("Inkbridge", "Communication Settings...")),
                      &InkbridgeTray::trayMenuCommunicationSettingsProc);
    m_commands << add(text(QT_TRANSLATE_NOOP("Inkbridge", "About Inkbridge...")),
                      &InkbridgeTray::trayMenuAboutInkbridgeProc);
    m_menu->addSeparator();
    m_exit = add(text(QT_TRANSLATE_NOOP("Inkbridge", "Exit")),
                 [this] { m_controller.exitProgram(); });
    m_menu->setFont(menuFont);

    m_icon = new QSystemTrayIcon(QrIcons::tray(false), this);
    m_icon->setContextMenu(m_menu.get());
    connect(m_icon, &QSystemTrayIcon::activated, this, &InkbridgeTray::trayIconActivated);
    m_icon->setVisible(true);
    // The marks and states are also brought up to date whenever the menu opens, whoever
    // opens it: some desktops show the context menu without an activation signal.
    connect(m_menu.get(), &QMenu::aboutToShow, this, &InkbridgeTray::updateMenuStates);
    connect(m_menu.get(), &QMenu::aboutToShow, this, &InkbridgeTray::updateScreenMenu);
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(qGuiApp, &QGuiApplication::screenAdded, this, &InkbridgeTray::updateScreenMenu);
        connect(qGuiApp, &QGuiApplication::screenRemoved, this, &InkbridgeTray::updateScreenMenu);
        connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this,
                &InkbridgeTray::updateScreenMenu);
    }
    updateScreenMenu();
    connect(&controller, &Inkbridge::stateChanged, this, &InkbridgeTray::updateMenuStates);
    connect(&controller, &Inkbridge::stateChanged, this, &InkbridgeTray::updateToolTip);
    connect(&controller, &Inkbridge::connectedChanged, this,
            [this](bool connected) { m_icon->setIcon(QrIcons::tray(connected)); });
    connect(&controller, &Inkbridge::messageShown, this, &InkbridgeTray::showMessage);
    connect(&controller, &Inkbridge::execCommSetting, this,
            &InkbridgeTray::trayMenuCommunicationSettingsProc, Qt::QueuedConnection);
    updateMenuStates();

    m_noTrayCheck.setSingleShot(true);
    connect(&m_noTrayCheck, &QTimer::timeout, this, &InkbridgeTray::noTrayCheckProc);
    m_noTrayCheck.start(DefaultNoTrayGraceMs);
}

InkbridgeTray::~InkbridgeTray()
{
    delete m_icon; // before the menu it shows
}

void InkbridgeTray::setNoTrayGracePeriod(int ms)
{
    m_noTrayCheck.start(ms);
}

void InkbridgeTray::updateMenuStates()
{
    const bool mouse = m_controller.penMode() != PenMode::Touch;
    m_touch->setIcon(QrIcons::penModeMark(!mouse));
    m_mouse->setIcon(QrIcons::penModeMark(mouse));

    const bool idle = !m_controller.isBusy();
    m_touch->setEnabled(idle && m_controller.touchInjectionAvailable());
    m_mouse->setEnabled(idle);
    for (QAction* action : std::as_const(m_commands))
        action->setEnabled(idle);
    m_exit->setEnabled(m_controller.state() != Inkbridge::State::DialogOpen);
}

void InkbridgeTray::updateScreenMenu()
{
    const QList<ScreenInfo> screens = m_screens ? m_screens() : QList<ScreenInfo>();
    m_screenMenu->clear();
    m_screenMenu->menuAction()->setVisible(screens.size() > 1);
    const QString chosen = m_controller.screen();
    const bool chosenPresent = std::any_of(screens.begin(), screens.end(),
                                           [&](const ScreenInfo& s) { return s.name == chosen; });
    auto* group = new QActionGroup(m_screenMenu);
    auto add = [&](const QString& label, const QString& name, bool marked) {
        QAction* action = m_screenMenu->addAction(label);
        action->setCheckable(true);
        action->setChecked(marked);
        action->setActionGroup(group);
        connect(action, &QAction::triggered, this, [this, name] { m_controller.setScreen(name); });
    };
    // A chosen screen that is gone leaves the pens on the primary screen: that is marked.
    add(text(QT_TRANSLATE_NOOP("Inkbridge", "Primary screen")), QString(),
        chosen.isEmpty() || !chosenPresent);
    for (const ScreenInfo& screen : screens)
        add(text(QT_TRANSLATE_NOOP("Inkbridge", "%1 (%2 × %3)"))
                .arg(screen.name)
                .arg(screen.pixels.width())
                .arg(screen.pixels.height()),
            screen.name, !chosen.isEmpty() && screen.name == chosen);
}

void InkbridgeTray::updateToolTip()
{
    // Only the waiting has something to say that the icon does not show.
    m_icon->setToolTip(m_controller.isWaitingForProjector()
                           ? QCoreApplication::translate("Inkbridge", "Waiting for the projector at %1.")
                                 .arg(m_controller.settings().host())
                           : QString());
}

void InkbridgeTray::trayIconActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason != QSystemTrayIcon::Context && reason != QSystemTrayIcon::Trigger)
        return;
    updateMenuStates();
    if (reason != QSystemTrayIcon::Trigger)
        return; // the tray shows its context menu itself
    if (m_menu->isVisible())
        m_menu->hide();
    else
        m_menu->exec(QCursor::pos());
}

void InkbridgeTray::showMessage(int number)
{
    m_icon->showMessage(text(QT_TRANSLATE_NOOP("Inkbridge", "Inkbridge")), messageText(number),
                        messageIcon(number), BalloonMs);
}

bool InkbridgeTray::runDialog(QDialog& dialog)
{
    dialog.setWindowFlags(DialogWindowFlags);
    dialog.setWindowModality(Qt::ApplicationModal);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    m_controller.endDialog();
    return accepted;
}

void InkbridgeTray::trayMenuCommunicationSettingsProc()
{
    if (!m_controller.beginDialog())
        return;
    CommunicationSettings dialog;
    dialog.SetValues(m_controller.settings());
    dialog.setConnectedProjector(m_controller.connectedProjector());
    dialog.autoSearchOnShow = !m_controller.checkConnectionTarget();
    // Kept in the controller only; the store is written at Exit.
    if (runDialog(dialog))
        m_controller.changeTarget(dialog.values());
}

void InkbridgeTray::trayMenuAboutInkbridgeProc()
{
    if (!m_controller.beginDialog())
        return;
    AboutDialog dialog;
    runDialog(dialog);
}

void InkbridgeTray::noTrayCheckProc()
{
    if (QSystemTrayIcon::isSystemTrayAvailable())
        return;
    qCDebug(lcApp, "no system tray: running without a tray icon");
    auto* notice = new QMessageBox(
        QMessageBox::Information, text(QT_TRANSLATE_NOOP("Inkbridge", "Inkbridge")),
        text(QT_TRANSLATE_NOOP(
            "Inkbridge",
            "This desktop has no system tray, so Quill Relay runs without its tray icon. "
            "The pen keeps working with the settings already stored.\n\n"
            "To end Quill Relay, log out, or run: pkill -x QuillRelay")),
        QMessageBox::Ok);
    notice->setAttribute(Qt::WA_DeleteOnClose);
    notice->setModal(false);
    notice->show();
}
