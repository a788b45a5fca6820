#pragma once

#include <QtGlobal>

#include <windows.h>

// A top-level window that is never shown, for the messages Windows sends to top-level
// windows only: broadcasts such as the session's end and power events, which message-only
// windows never hear. Its window procedure finds its owner with owner<T>().
class HiddenWindow final {
public:
    // Registers `className` (a second registration fails harmlessly) and makes the window;
    // handle() is null when that failed.
    HiddenWindow(const wchar_t* className, WNDPROC procedure, void* owner);
    ~HiddenWindow();
    Q_DISABLE_COPY_MOVE(HiddenWindow)

    HWND handle() const { return m_window; }
    // The owner given to the window's constructor; null for the messages of its creation.
    template <typename T> static T* owner(HWND window)
    {
        return reinterpret_cast<T*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    }

private:
    HWND m_window = nullptr;
};
