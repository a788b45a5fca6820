#include "engine/injection/screengeometry.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

QRect primaryScreenPixels()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return {};
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    const QRect logical = screen->geometry();
    const qreal ratio = screen->devicePixelRatio();
    if (ratio == 1.0)
        return logical;
    return QRect(logical.topLeft(), QSize(int(std::lround(logical.width() * ratio)),
                                          int(std::lround(logical.height() * ratio))));
}

PrimaryScreenTracker::PrimaryScreenTracker(QObject* parent) : QObject(parent)
{
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, &PrimaryScreenTracker::follow);
    follow(QGuiApplication::primaryScreen());
}

void PrimaryScreenTracker::follow(QScreen* screen)
{
    // A new primary screen: the old one's changes no longer concern the pens.
    disconnect(m_geometryChange);
    disconnect(m_scaleChange);
    if (screen) {
        m_geometryChange = connect(screen, &QScreen::geometryChanged, this,
                                   &PrimaryScreenTracker::update);
        m_scaleChange = connect(screen, &QScreen::logicalDotsPerInchChanged, this,
                                &PrimaryScreenTracker::update);
    }
    update();
}

void PrimaryScreenTracker::update()
{
    const QRect pixels = primaryScreenPixels();
    if (pixels == m_pixels)
        return;
    m_pixels = pixels;
    emit pixelsChanged(pixels);
}
