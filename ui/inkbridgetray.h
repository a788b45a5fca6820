#pragma once

#include "engine/inkbridge.h"

#include <QObject>
#include <QSystemTrayIcon>

class QAction;
class QDialog;
class QMenu;

// The program's face: the tray icon, its menu and balloons, a view of the controller's
// state. The menu's actions call the controller; the two dialog items (and the
// controller's request at start-up) open the dialogs here, around the controller's dialog
// bracket.
class InkbridgeTray final : public QObject {
    Q_OBJECT
public:
    // `screens` lists the desktop's screens for the "Screen" submenu.
    explicit InkbridgeTray(Inkbridge& controller, ScreenList screens = desktopScreens,
                           QObject* parent = nullptr);
    ~InkbridgeTray() override;
    Q_DISABLE_COPY_MOVE(InkbridgeTray)

    QSystemTrayIcon& icon() { return *m_icon; }
    QMenu& menu() { return *m_menu; }
    // The "Screen" submenu: the primary screen, then each screen by name and size. Shown
    // only while the desktop has more than one screen.
    QMenu& screenMenu() { return *m_screenMenu; }

    // The balloon of a message number (Inkbridge::Message): its text and its icon.
    static QString messageText(int number);
    static QSystemTrayIcon::MessageIcon messageIcon(int number);

    // How long to wait for a system tray to appear before telling the person that the
    // program runs without one (panels often start after the programs of a session).
    void setNoTrayGracePeriod(int ms);

public slots:
    void trayMenuCommunicationSettingsProc();
    void trayMenuAboutInkbridgeProc();

private slots:
    void trayIconActivated(QSystemTrayIcon::ActivationReason reason);
    void updateMenuStates();
    void updateScreenMenu();
    void updateToolTip();
    void showMessage(int number);
    void noTrayCheckProc();

private:
    // Runs a dialog opened within the controller's dialog bracket, and closes the bracket.
    bool runDialog(QDialog& dialog);

    Inkbridge& m_controller;
    std::unique_ptr<QMenu> m_menu; // a context menu has no parent
    QSystemTrayIcon* m_icon = nullptr;
    QAction* m_touch = nullptr;
    QAction* m_mouse = nullptr;
    QMenu* m_screenMenu = nullptr; // owned by the menu
    ScreenList m_screens;
    QList<QAction*> m_commands; // Connect, Disconnect and the two dialogs
    QAction* m_exit = nullptr;
    QTimer m_noTrayCheck;
};
