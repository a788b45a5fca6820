#pragma once

#include "engine/injection/screengeometry.h"
#include "engine/link/pencommandrunner.h"
#include "engine/pen/penthread.h"
#include "engine/settings/connectionsettings.h"
#include "protocol/pencommand.h"

#include <QHostAddress>
#include <QObject>
#include <QTimer>

#include <memory>
#include <optional>

// The program's controller: it switches the projector's pen function on and off, one
// command at a time, receives the pen states and dispatches them, keeps the connection
// settings, and ends the program. The tray (a view of this object) and the tests drive it
// through its public operations; what it has to tell the person goes out as messageShown().
class Inkbridge final : public QObject {
    Q_OBJECT
public:
    // What the controller is doing. Busy (anything but Idle) blocks Connect, Disconnect and
    // the dialogs; only DialogOpen blocks Exit.
    enum class State {
        Idle,
        Commanding,    // a pen-on or pen-off command runs
        DialogOpen,    // a dialog is open
        Exiting,       // Exit chosen: the settings are saved, the pen-off runs, quit follows
        EndingSession, // as Exiting, but quits as soon as the projector has answered
    };
    Q_ENUM(State)

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

    // What the controller uses of the system; tests hand in scripted ones.
    struct Services {
        std::shared_ptr<InjectionBackend> injection;
        std::unique_ptr<PenCommandRunner> commands;
        SettingsStore store;
        std::shared_ptr<MonotonicClock> clock;
        quint16 penPort = PEN_STATUS_PORT; // where the pen states are received
        int quitDelayMs = 5000;            // from Exit to the end of the program
        bool penThread = false;            // the pen path on a thread of its own (the program's)
    };
    static Services platformServices();

    explicit Inkbridge(Services services, QObject* parent = nullptr);
    ~Inkbridge() override;
    Q_DISABLE_COPY_MOVE(Inkbridge)

    // Loads the settings, then connects at once, or (when they are not usable) says so and
    // asks for the communication settings dialog (execCommSetting).
    void run();
    void connectProjector();
    void disconnectProjector();
    // Saves the settings, switches the pen function off (or gives up a running command) and
    // quits quitDelayMs later.
    void exitProgram();
    // Log-out, shutdown or a termination signal: Exit, but the program ends as soon as the
    // projector has answered.
    void endSession();

    // A dialog is opened only through these: false (and nothing opens) while busy.
    bool beginDialog();
    void endDialog();
    // The target chosen in the communication settings dialog: kept (stored at Exit) and
    // connected to once the dialog is closed.
    void changeTarget(const ConnectionSettings& target);

    State state() const { return m_state; }
    bool isBusy() const { return m_state != State::Idle; }
    bool isConnected() const { return m_connected; }
    // The projector that acknowledged the last pen-on, while connected; null otherwise.
    QHostAddress connectedProjector() const;
    PenMode penMode() const { return m_settings.penMode; }
    // Used from the next pen event on; stored at Exit.
    void setPenMode(PenMode mode);
    bool touchInjectionAvailable() const { return m_services.injection->touchInjectionAvailable(); }
    // The working copy of the settings, with the pen mode in use.
    const ConnectionSettings& settings() const { return m_settings; }
    // The settings name a target and an interface that has an IPv4 address.
    bool checkConnectionTarget() const;
    QHostAddress adapterLocalAddress() const;

    // The receiver and the dispatch, reached on their own thread.
    PenThread& penPath() { return m_pen; }

signals:
    void execConnect();
    void execCommSetting();
    void pencmd(const CPenControl& cmd);
    void pencmddone(PenCommand cmdid, CommandResult result);
    void stateChanged(Inkbridge::State state);
    void connectedChanged(bool connected);
    void messageShown(int number);
    // The program is to end, with exit code 0.
    void quitRequested();

private slots:
    void PenCtlProc(const CPenControl& cmd);
    void penControlDone(PenCommand cmdid, CommandResult result);
    void appquit();

private:
    void sendPenCommand(PenCommand cmdid);
    void setState(State state);
    void setConnected(bool connected);
    void exit(State how);
    void showMessage(Message number);

    Services m_services;
    PenThread m_pen; // socket, dispatch, the pen mode's injector and device, lost-event timer
    std::unique_ptr<PrimaryScreenTracker> m_screen; // where the pens land, with a screen
    ConnectionSettings m_settings; // working copy: written back at Exit only
    State m_state = State::Idle;
    bool m_connected = false;
    QHostAddress m_projector; // the peer of the last pen-on that succeeded
    std::optional<PenCommand> m_pendingCommand; // sent, its result not handled yet
    bool m_abortRequested = false;              // makes the running command give up
    QTimer m_quitTimer;
};
