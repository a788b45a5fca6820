#include "stoprequests.h"

#include <QMetaObject>

#include <atomic>

#include <windows.h>

namespace {
// Windows calls the handler on a thread of its own: the requests are queued to the object's
// thread, whose event loop emits them.
std::atomic<StopRequests*> g_requests{nullptr};

BOOL WINAPI onConsoleEvent(DWORD event)
{
    StopRequests* requests = g_requests.load();
    if (!requests)
        return FALSE;
    const char* signal = event == CTRL_BREAK_EVENT ? "snapshotRequested" : "stopRequested";
    QMetaObject::invokeMethod(requests, signal, Qt::QueuedConnection);
    return TRUE;
}
} // namespace

StopRequests::StopRequests(QObject* parent) : QObject(parent) {}

StopRequests::~StopRequests()
{
    SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    g_requests = nullptr;
}

bool StopRequests::listen(QString* error)
{
    g_requests = this;
    if (SetConsoleCtrlHandler(onConsoleEvent, TRUE))
        return true;
    if (error)
        *error = QStringLiteral("SetConsoleCtrlHandler failed with error %1").arg(GetLastError());
    return false;
}
