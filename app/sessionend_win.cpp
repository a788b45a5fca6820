// On Windows the end of the session arrives as WM_QUERYENDSESSION, which Qt turns into
// QGuiApplication::commitDataRequest; nothing more to watch.
#include "app/sessionend.h"

void SessionEndWatcher::watchPlatformSignals()
{
}

void SessionEndWatcher::releasePlatformSignals()
{
}
