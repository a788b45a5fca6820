#include "engine/link/resumewatch.h"

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
    WindowResumeWatch()
    {
        const HINSTANCE instance = GetModuleHandleW(nullptr);
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = &WindowResumeWatch::windowProc;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = WindowClass;
        RegisterClassW(&windowClass); // fails harmlessly when a second watch registers again
        m_window = CreateWindowExW(0, WindowClass, L"Quill Relay", WS_OVERLAPPED, 0, 0, 0, 0,
                                   nullptr, nullptr, instance, nullptr);
        if (m_window)
            SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        else
            qCDebug(lcLink, "resume watch: no window (error %lu)", GetLastError());
    }
    ~WindowResumeWatch() override
    {
        if (m_window)
            DestroyWindow(m_window);
    }
    Q_DISABLE_COPY_MOVE(WindowResumeWatch)

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<WindowResumeWatch*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        // Every wake gives PBT_APMRESUMEAUTOMATIC; one the person caused gives
        // PBT_APMRESUMESUSPEND after it as well, which would make a second signal.
        if (self && message == WM_POWERBROADCAST && wParam == PBT_APMRESUMEAUTOMATIC) {
            emit self->resumed();
            return TRUE;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    HWND m_window = nullptr;
};

} // namespace

std::unique_ptr<ResumeWatch> createResumeWatch()
{
    return std::make_unique<WindowResumeWatch>();
}
