#pragma once

#include <QObject>

// Tells the controller that the desktop session or the process is ending, so that it can
// do what Exit does (save the settings, switch the pen function off) before it goes.
// Sources: the session manager's request (Qt's commitDataRequest: log-out and shutdown on
// X11 desktops and from Qt's own windows) and the platform's own: on Linux SIGTERM, SIGINT
// and SIGHUP, on Windows WM_QUERYENDSESSION to a hidden window of the watcher.
class SessionEndWatcher final : public QObject {
    Q_OBJECT
public:
    explicit SessionEndWatcher(QObject* parent = nullptr);
    ~SessionEndWatcher() override;
    Q_DISABLE_COPY_MOVE(SessionEndWatcher)

signals:
    // Emitted once.
    void sessionEnding();

private:
    void notify();
    void watchPlatformSignals(); // defined per platform
    void releasePlatformSignals();

    bool m_notified = false;
    QObject* m_platform = nullptr;
};
