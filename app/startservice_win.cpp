// The rendezvous on Windows: the named pipe "Quill Relay", which needs no folder, so there
// is no fallback.
#include "app/startservice.h"

QString CStartService::serverName()
{
    return QStringLiteral("Quill Relay");
}

QString CStartService::fallbackName()
{
    return serverName();
}
