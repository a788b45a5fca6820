#pragma once

#include <QObject>

// Requests from outside the canvas' window to end it or to write its files now. How they
// arrive is the platform's: POSIX signals (stoprequests_unix.cpp: SIGTERM and SIGINT end it,
// SIGUSR1 writes the files) or console events (stoprequests_win.cpp: Ctrl+C and closing the
// console end it, Ctrl+Break writes the files). Closing the window, which is how Windows'
// taskkill asks, needs nothing from here.
class StopRequests final : public QObject {
    Q_OBJECT
public:
    explicit StopRequests(QObject* parent = nullptr);
    ~StopRequests() override;
    Q_DISABLE_COPY_MOVE(StopRequests)

    // Starts listening; false (with the reason in `error`) when the platform refuses.
    bool listen(QString* error);

signals:
    void stopRequested();
    void snapshotRequested();
};
