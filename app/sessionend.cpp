#include "app/sessionend.h"

#include <QGuiApplication>

SessionEndWatcher::SessionEndWatcher(QObject* parent) : QObject(parent)
{
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        connect(app, &QGuiApplication::commitDataRequest, this, &SessionEndWatcher::notify);
    watchPlatformSignals();
}

SessionEndWatcher::~SessionEndWatcher()
{
    releasePlatformSignals();
}

void SessionEndWatcher::notify()
{
    if (m_notified)
        return;
    m_notified = true;
    emit sessionEnding();
}
