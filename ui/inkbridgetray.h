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
    explicit InkbridgeTray(Inkbridge& controller, QObject* parent = nullptr);
    ~InkbridgeTray() override;
    Q_DISABLE_COPY_MOVE(InkbridgeTray)

    QSystemTrayIcon& icon() { return *m_icon; }
    QMenu& menu() { return *m_menu; }

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
    QList<QAction*> m_commands; // Connect, Disconnect and the two dialogs
    QAction* m_exit = nullptr;
    QTimer m_noTrayCheck;
};
