#pragma once

#include "app/pendispatch.h"

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QSystemTrayIcon>

#include <functional>
#include <memory>

class CPenControl;
class InjectionBackend;
class PJCommControl;
class QAction;
class QMenu;
class QUdpSocket;
class SessionEndWatcher;

// The program's main controller: pen-status socket, pen dispatch, connection logic and tray.
class Inkbridge : public QObject {
    Q_OBJECT
public:
    // Balloon messages, by number.
    enum Message {
        MsgVerifying = 0,
        MsgConnected = 1,
        MsgDisconnected = 2,
        MsgConnectFailed = 3,
        MsgNoResponse = 4,
        MsgCommandFailed = 5,
        MsgPenPortTaken = 6,
    };

    explicit Inkbridge(QObject* parent = nullptr);
    // For tests: the injection devices to use instead of the platform's.
    Inkbridge(std::shared_ptr<InjectionBackend> injection, QObject* parent = nullptr);
    ~Inkbridge() override;
    Q_DISABLE_COPY_MOVE(Inkbridge)

    // Pen-status socket life cycle: bound to UDP 8330 after a successful pen-on, removed
    // after a successful pen-off. Returns whether the port could be bound.
    bool setUpPenStatusSocket();
    void tearDownPenStatusSocket(bool keepPenStatusConnection = false);
    bool isListeningForPens() const { return m_udpSocket != nullptr; }

    bool checkConnectionTarget() const;
    QHostAddress adapterLocalAddress() const;

    // State seen by the tray menu and by tests.
    bool isBusy() const { return busy; }
    bool isDialogOpen() const { return dialogOpen; }
    bool isConnected() const { return m_connected; }
    int penMode() const { return m_pens.penMode(); }
    PenDispatch& pens() { return m_pens; }
    QSystemTrayIcon* trayIcon() const { return m_trayIcon; }
    QMenu* trayMenu() const { return m_trayMenu; }
    // The sender whose pen-status datagrams are accepted: the projector that acknowledged
    // the last successful pen-on command.
    QHostAddress penSource() const { return m_penSource; }
    void acceptPensFrom(const QHostAddress& projector) { m_penSource = projector; }

    // How long to wait for a system tray to appear before telling the person that the
    // program runs without one (panels often start after the programs of a session).
    void setNoTrayGracePeriod(int ms) { m_noTrayGraceMs = ms; }

    // The working copy of the connection settings.
    int Type = 0;
    QString IpAddress;
    QString HostName;
    int Port = 0;
    QString Adapter;

signals:
    void execConnect();
    void execCommSetting();
    void penStatusRecive(int id, int button, int posx, int posy);
    void pencmd(CPenControl* cmd);
    void pencmddone(int cmdid, int result);
    // Shown to the person: a balloon of the tray icon (number as in Message).
    void trayMessageShown(int number);

private slots:
    void trayIconActivated(QSystemTrayIcon::ActivationReason reason);
    void trayMenuOperateTouchProc();
    void trayMenuOperateMouseProc();
    void trayMenuConnectProc();
    void trayMenuDisconnectProc();
    void trayMenuCommunicationSettingsProc();
    void trayMenuAboutInkbridgeProc();
    void trayMenuExitProc();
    void penControlDone(int cmdid, int result);
    void penStatus(int id, int button, int posx, int posy);
    void chkLostUpEventsProc();
    void PenCtlProc(CPenControl* cmd);
    void sessionEndProc();
    void noTrayCheckProc();

public slots:
    void run();
    void appquit();
    void UdpReadyRead();
    void UdpSocketError();
    void UdpSocketDisconnect();

private:
    void createTrayIcon();
    void setTrayIconState(bool connected);
    void updateMenuStates();
    void showTrayMessage(int number);
    QString messageText(int number) const;
    void sendPenCommand(int cmdid);
    int runPenCommand(const CPenControl& cmd);
    void saveSettings();
    void quitWhenIdle();

    // Tray (owned).
    QSystemTrayIcon* m_trayIcon = nullptr;
    QMenu* m_trayMenu = nullptr;
    QAction* m_actOperateTouch = nullptr;
    QAction* m_actOperateMouse = nullptr;
    QAction* m_actConnect = nullptr;
    QAction* m_actDisconnect = nullptr;
    QAction* m_actCommSettings = nullptr;
    QAction* m_actAbout = nullptr;
    QAction* m_actExit = nullptr;

    bool busy = false;
    bool dialogOpen = false;
    bool abortRequested = false;
    bool m_connected = false;
    bool m_exiting = false;
    bool m_quitWhenIdle = false;
    int m_noTrayGraceMs = 8000;

    PenDispatch m_pens; // mouse injector, touch injector, lost-event timer, pen mode
    QUdpSocket* m_udpSocket = nullptr;
    QHostAddress m_penSource;
    PJCommControl* m_link = nullptr;
    SessionEndWatcher* m_sessionEnd = nullptr;
};
