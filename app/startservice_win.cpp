// The rendezvous on Windows: the named pipe "Quill Relay", which needs no folder, so there
// is no fallback.
#include "app/startservice.h"

#include <windows.h>

QString CStartService::serverName()
{
    return QStringLiteral("Quill Relay");
}

QString CStartService::fallbackName()
{
    return serverName();
}

qintptr CStartService::openServerProcess(const QLocalSocket& socket)
{
    ULONG pid = 0;
    if (!GetNamedPipeServerProcessId(HANDLE(socket.socketDescriptor()), &pid))
        return 0;
    return qintptr(OpenProcess(SYNCHRONIZE, FALSE, pid));
}

bool CStartService::waitForServerProcess(qintptr process, int timeoutMs)
{
    if (!process)
        return true;
    const bool ended = WaitForSingleObject(HANDLE(process), DWORD(timeoutMs)) == WAIT_OBJECT_0;
    CloseHandle(HANDLE(process));
    return ended;
}
