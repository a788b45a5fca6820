// The rendezvous of a Linux desktop: a socket file in the user's private runtime folder.
#include "app/startservice.h"

#include <QDir>
#include <QStandardPaths>

#include <unistd.h>

namespace {
const char* const ServerBaseName = "Quill Relay";
}

QString CStartService::serverName()
{
    // A bare name would become a socket file in the shared temp folder, where the first
    // user's instance would keep every other user of the machine from starting.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty())
        return QString::fromLatin1(ServerBaseName);
    return QDir(runtime).filePath(QString::fromLatin1(ServerBaseName));
}

QString CStartService::fallbackName()
{
    return QStringLiteral("%1 %2").arg(QLatin1String(ServerBaseName)).arg(::getuid());
}

qintptr CStartService::openServerProcess(const QLocalSocket&)
{
    return 0;
}

bool CStartService::waitForServerProcess(qintptr, int)
{
    return true;
}
