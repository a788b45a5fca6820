#include "engine/link/resumewatch.h"

#include "core/hiddenwindow_win.h"
#include "core/logging.h"

#include <windows.h>

namespace {

const wchar_t* const WindowClass = L"QuillRelayResumeWatch";

// Windows tells every top-level window that the system has resumed (WM_POWERBROADCAST);
// message-only windows hear no broadcasts, so the watch keeps a hidden window of its own.
// The window belongs to the thread that made the watch, whose event loop calls its window
// procedure.
class WindowResumeWatch final : public ResumeWatch {
public:
    WindowResumeWatch() : m_window(WindowClass, &WindowResumeWatch::windowProc, this)
    {
        if (!m_window.handle())
            qCDebug(lcLink, "resume watch: no window (error %lu)", GetLastError());
    }
    Q_DISABLE_COPY_MOVE(WindowResumeWatch)

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = HiddenWindow::owner<WindowResumeWatch>(window);
        // Every wake gives PBT_APMRESUMEAUTOMATIC; one the person caused gives
        // PBT_APMRESUMESUSPEND after it as well, which would make a second signal.
        if (self && message == WM_POWERBROADCAST && wParam == PBT_APMRESUMEAUTOMATIC) {
            emit self->resumed();
            return TRUE;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    HiddenWindow m_window;
};

} // namespace

std::unique_ptr<ResumeWatch> createResumeWatch()
{
    return std::make_unique<WindowResumeWatch>();
}
