#include "engine/injection/screengeometry.h"

#include "core/logging.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

ScreenTarget chooseTarget(const QString& wanted, const QList<ScreenInfo>& screens, bool* missing)
{
    QRect desktop;
    const ScreenInfo* primary = nullptr;
    const ScreenInfo* named = nullptr;
    for (const ScreenInfo& screen : screens) {
        desktop |= screen.pixels;
        if (screen.primary && !primary)
            primary = &screen;
        if (!wanted.isEmpty() && screen.name == wanted && !named)
            named = &screen;
    }
    if (!primary && !screens.isEmpty())
        primary = &screens.front();
    *missing = !wanted.isEmpty() && !named;
    const ScreenInfo* chosen = named ? named : primary;
    if (!chosen)
        return {};
    return ScreenTarget(chosen->name, chosen->pixels, desktop);
}

QList<ScreenInfo> desktopScreens()
{
    QList<ScreenInfo> screens;
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return screens;
    const QScreen* primary = QGuiApplication::primaryScreen();
    for (const QScreen* screen : QGuiApplication::screens()) {
        const ScreenInfo info{screenName(screen), screenPixels(screen), screen == primary};
        if (info.primary)
            screens.prepend(info);
        else
            screens.append(info);
    }
    return screens;
}

TargetScreenTracker::TargetScreenTracker(QString wanted, ScreenList screens, QObject* parent)
    : QObject(parent), m_wanted(std::move(wanted)), m_screens(std::move(screens))
{
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen* screen) {
            watch(screen);
            updateSoon();
        });
        connect(qGuiApp, &QGuiApplication::screenRemoved, this, &TargetScreenTracker::updateSoon);
        connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this,
                &TargetScreenTracker::updateSoon);
        for (QScreen* screen : QGuiApplication::screens())
            watch(screen);
    }
    refresh();
}

void TargetScreenTracker::setWanted(const QString& name)
{
    if (name == m_wanted)
        return;
    m_wanted = name;
    m_missing = false;
    refresh();
}

void TargetScreenTracker::watch(QScreen* screen)
{
    // Any screen's change may move the target: the desktop around it changes too.
    connect(screen, &QScreen::geometryChanged, this, &TargetScreenTracker::updateSoon);
    connect(screen, &QScreen::logicalDotsPerInchChanged, this, &TargetScreenTracker::updateSoon);
    connect(screen, &QScreen::orientationChanged, this, &TargetScreenTracker::updateSoon);
}

void TargetScreenTracker::updateSoon()
{
    // A change of monitors comes as a burst of signals, some of them while the screen list
    // is still being changed: the target is worked out once, after the burst.
    if (m_updatePending)
        return;
    m_updatePending = true;
    QTimer::singleShot(0, this, [this] {
        m_updatePending = false;
        refresh();
    });
}

void TargetScreenTracker::refresh()
{
    bool missing = false;
    const ScreenTarget target = chooseTarget(m_wanted, m_screens(), &missing);
    if (missing && !m_missing) {
        qCDebug(lcScreen, "the screen %s is missing: the pens land on the primary screen",
                qUtf8Printable(m_wanted));
        emit wantedScreenMissing(m_wanted);
    }
    m_missing = missing;
    if (target == m_target)
        return;
    m_target = target;
    qCDebug(lcScreen, "target screen %s at %d,%d %dx%d", qUtf8Printable(target.name),
            target.pixels.x(), target.pixels.y(), target.pixels.width(), target.pixels.height());
    emit targetChanged(target);
}
