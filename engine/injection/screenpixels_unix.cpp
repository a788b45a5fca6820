#include "engine/injection/screengeometry.h"

#include <QScreen>

#include <cmath>

QString screenName(const QScreen* screen)
{
    return screen ? screen->name() : QString();
}

QRect screenPixels(const QScreen* screen)
{
    if (!screen)
        return {};
    const QRect logical = screen->geometry();
    const qreal ratio = screen->devicePixelRatio();
    if (ratio == 1.0)
        return logical;
    return QRect(logical.topLeft(), QSize(int(std::lround(logical.width() * ratio)),
                                          int(std::lround(logical.height() * ratio))));
}
