#pragma once

#include "engine/injection/screengeometry.h"
#include "engine/link/addresswatch.h"
#include "engine/link/pencommandexchange.h"
#include "engine/link/resumewatch.h"
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
//
// Commands run through an asynchronous exchange; the controller is a state machine over
// its finished() and a few timers, so nothing here waits and nothing re-enters.
class Inkbridge final : public QObject {
    Q_OBJECT
public:
    // What the controller is doing. Busy (Commanding, DialogOpen, Exiting, EndingSession)
    // blocks Connect, Disconnect and the dialogs; only DialogOpen blocks Exit. The quiet
    // states are not busy: the person's own choice ends them at once.
    enum class State {
        Idle,
        Commanding,    // a pen-on or pen-off that the person sees runs
        DialogOpen,    // a dialog is open
        Exiting,       // Exit chosen: the settings are saved, the pen-off runs, quit follows
        EndingSession, // as Exiting, but quits as soon as the projector has answered
        Waiting,       // the projector did not answer: pen-on is tried again later, quietly
        Retrying,      // that quiet pen-on runs
        Reasserting,   // connected: pen-on runs again, quietly, after an address change or a resume
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
        MsgScreenMissing = 7, // the chosen screen is gone: the pens land on the primary one
    };

    // What the controller uses of the system; tests hand in scripted ones.
    struct Services {
        std::shared_ptr<InjectionBackend> injection;
        std::unique_ptr<PenCommandExchange> commands;
        std::unique_ptr<AddressWatch> addresses; // none: changes of address go unnoticed
        std::unique_ptr<ResumeWatch> resume;     // none: resumes go unnoticed
        ScreenList screens;                      // none: the pen path's target stays as it is
        SettingsStore store;
        std::shared_ptr<MonotonicClock> clock;
        quint16 penPort = PEN_STATUS_PORT; // where the pen states are received
        int quitDelayMs = 5000;            // from Exit to the end of the program
        // The pauses before each quiet pen-on while waiting for the projector; the last
        // one repeats.
        QList<int> retryDelaysMs{5000, 10000, 20000, 30000};
        // From a change of address (or a resume) to the look at the interface: changes
        // come in bursts, and the pen-on goes out within 2 s of the first.
        int addressSettleMs = 500;
        bool penThread = false; // the pen path on a thread of its own (the program's)
    };
    static Services platformServices();

    explicit Inkbridge(Services services, QObject* parent = nullptr);
    ~Inkbridge() override;
    Q_DISABLE_COPY_MOVE(Inkbridge)

    // Loads the settings, then connects at once, or (when they are not usable) says so and
    // asks for the communication settings dialog (execCommSetting). A projector that does
    // not answer this first pen-on is waited for: pen-on is tried again, quietly.
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
    // connected to.
    void changeTarget(const ConnectionSettings& target);

    State state() const { return m_state; }
    bool isBusy() const;
    bool isConnected() const { return m_connected; }
    // Waiting for the projector that did not answer (the tray says so).
    bool isWaitingForProjector() const { return m_state == State::Waiting || m_state == State::Retrying; }
    // The projector that acknowledged the pen-on, while connected; null otherwise.
    QHostAddress connectedProjector() const { return m_connected ? m_projector : QHostAddress(); }
    PenMode penMode() const { return m_settings.penMode; }
    // Used from the next pen event on; stored at Exit.
    void setPenMode(PenMode mode);
    bool touchInjectionAvailable() const { return m_services.injection->touchInjectionAvailable(); }
    // The screen the pens land on, by name; empty for the primary screen. Used at once;
    // stored at Exit.
    QString screen() const { return m_settings.screen; }
    void setScreen(const QString& name);
    // The working copy of the settings, with the pen mode and the screen in use.
    const ConnectionSettings& settings() const { return m_settings; }
    // The settings name a target and an interface that has an IPv4 address.
    bool checkConnectionTarget() const;
    QHostAddress adapterLocalAddress() const;

    // Follows the target screen (null without a list of screens).
    TargetScreenTracker* targetScreen() { return m_screen.get(); }
    // The receiver and the dispatch, reached on their own thread.
    PenThread& penPath() { return m_pen; }

signals:
    void execCommSetting();
    // A command's result, as the person sees it (quiet pen-ons included).
    void pencmddone(PenCommand cmdid, CommandResult result);
    void stateChanged(Inkbridge::State state);
    void connectedChanged(bool connected);
    void messageShown(int number);
    // The program is to end, with exit code 0.
    void quitRequested();

private:
    // Who asked for a command: the person (and the first connect) sees it, the others not.
    enum class Attempt { Person, Start, Retry, Reassert };
    struct Running {
        PenCommand cmdid;
        Attempt attempt;
        quint32 localAddress; // what a pen-on told the projector
    };

    void sendPenCommand(PenCommand cmdid, Attempt attempt);
    void penControlDone(const CommandOutcome& outcome);
    void commandDone(const Running& command, const CommandOutcome& outcome);
    void penOnSucceeded(const Running& command, const QHostAddress& projector);
    // Ends the waiting and gives up a quiet pen-on under way.
    void endQuietWork();
    void waitForProjector();
    void retry();
    void addressesChanged();
    void lookAtAddress();
    void lookAgainIfChanged();
    void appquit();
    void setState(State state);
    void setConnected(bool connected);
    void exit(State how);
    void showMessage(Message number);

    Services m_services;
    PenThread m_pen; // socket, dispatch, the pen mode's injector and device, lost-event timer
    std::unique_ptr<TargetScreenTracker> m_screen; // where the pens land, with a screen
    ConnectionSettings m_settings; // working copy: written back at Exit only
    State m_state = State::Idle;
    bool m_connected = false;
    QHostAddress m_projector;           // that acknowledged the last pen-on
    std::optional<Running> m_running;   // started, its outcome not handled yet
    quint32 m_penOnAddress = 0;         // this computer's address as the projector knows it
    bool m_addressLost = false;         // the interface went down or lost it since
    bool m_resumed = false;             // a resume not looked at yet
    bool m_changedMeanwhile = false;    // a change came while busy: looked at afterwards
    int m_retries = 0;                  // quiet pen-ons since the waiting began
    QTimer m_retryTimer;
    QTimer m_settleTimer;
    QTimer m_quitTimer;
};
