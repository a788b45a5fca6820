#include "core/hiddenwindow_win.h"

HiddenWindow::HiddenWindow(const wchar_t* className, WNDPROC procedure, void* owner)
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = className;
    RegisterClassW(&windowClass);
    m_window = CreateWindowExW(0, className, L"Quill Relay", WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                               nullptr, instance, nullptr);
    if (m_window)
        SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
}

HiddenWindow::~HiddenWindow()
{
    if (m_window)
        DestroyWindow(m_window);
}
