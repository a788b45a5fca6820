// Windows tells every top-level window that the session ends: WM_QUERYENDSESSION, then
// WM_ENDSESSION, after which the process may be ended at any moment. Qt passes the first on
// as commitDataRequest only through windows of its own, and a tray program has none (the
// tray icon's window answers by itself), so the watcher keeps a hidden window of its own.
// The exit runs to its end while Windows waits for the answer to WM_QUERYENDSESSION: at
// WM_ENDSESSION Qt quits the application as soon as any window of its own hears it, which
// would cut the pen-off exchange short.
#include "app/sessionend.h"

#include "core/eventwait.h"
#include "core/hiddenwindow_win.h"
#include "core/logging.h"

#include <windows.h>

namespace {

// Up to Exit's own five seconds for the pen-off exchange; Windows waits about that long
// for a program before it offers to end it.
constexpr int EndSessionWaitMs = 5000;
constexpr int EndSessionSliceMs = 100;
const wchar_t* const WindowClass = L"QuillRelaySessionEnd";

class SessionEndWindow final : public QObject {
    Q_OBJECT
public:
    // Top-level and never shown: message-only windows hear no session messages.
    SessionEndWindow(QObject* parent)
        : QObject(parent), m_window(WindowClass, &SessionEndWindow::windowProc, this)
    {
        if (!m_window.handle())
            qCDebug(lcApp, "no window for the end of the session (error %lu)", GetLastError());
    }
    Q_DISABLE_COPY_MOVE(SessionEndWindow)

signals:
    void sessionEnding();

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = HiddenWindow::owner<SessionEndWindow>(window);
        if (self && message == WM_QUERYENDSESSION) {
            emit self->sessionEnding();
            // Until the program quits (as soon as the projector has answered the pen-off)
            // or the time is up; the wait ends when the application is told to quit.
            EventWait wait(EndSessionWaitMs, EndSessionSliceMs);
            wait.waitUntil([] { return false; });
            return TRUE;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    HiddenWindow m_window;
};

} // namespace

void SessionEndWatcher::watchPlatformSignals()
{
    auto* window = new SessionEndWindow(this);
    // Direct: the settings are saved and the pen-off is under way before Windows hears
    // that the program agrees to end.
    connect(window, &SessionEndWindow::sessionEnding, this, &SessionEndWatcher::notify,
            Qt::DirectConnection);
    m_platform = window;
}

void SessionEndWatcher::releasePlatformSignals()
{
    delete m_platform;
    m_platform = nullptr;
}

#include "sessionend_win.moc"
