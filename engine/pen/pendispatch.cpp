#include "engine/pen/pendispatch.h"

#include "core/logging.h"

namespace {
constexpr int PEN_SPACE_WIDTH = 1280;
constexpr int PEN_SPACE_HEIGHT = 800;
} // namespace

PenDispatch::PenDispatch(std::shared_ptr<InjectionBackend> backend,
                         std::shared_ptr<MonotonicClock> clock, QObject* parent)
    : QObject(parent), m_backend(std::move(backend)),
      m_clock(std::make_shared<HeldClock>(std::move(clock))),
      // The injectors read the screen through this object, so a geometry set later for
      // tests reaches them too, and the records of a datagram share one reading.
      m_screen(&primaryScreenPixels),
      m_mouse(m_backend->createMouseDevice([this] { return screenPixels(); }), m_clock,
              [this] { return screenPixels(); })
{
    lostEventTimer.setTimerType(Qt::PreciseTimer);
    lostEventTimer.setInterval(int(LOST_UP_TIMEOUT_MS));
    lostEventTimer.setSingleShot(false);
    connect(&lostEventTimer, &QTimer::timeout, this, &PenDispatch::chkLostUpEventsProc,
            Qt::QueuedConnection);
}

PenDispatch::~PenDispatch()
{
    lostEventTimer.stop();
    destroyTouchInjector();
}

bool PenDispatch::createTouchInjector()
{
    if (!m_touch) {
        m_touch = new TouchInjection(m_backend->createTouchDevice([this] { return screenPixels(); }),
                                     m_clock);
        m_touch->Initialize();
    }
    return m_touch->isInitialized();
}

void PenDispatch::destroyTouchInjector()
{
    delete m_touch;
    m_touch = nullptr;
}

void PenDispatch::setScreenGeometry(ScreenGeometry screen)
{
    m_screen = screen ? std::move(screen) : ScreenGeometry(&primaryScreenPixels);
    m_datagramScreen.reset();
}

QRect PenDispatch::screenPixels()
{
    return m_datagramScreen ? *m_datagramScreen : m_screen();
}

void PenDispatch::beginDatagram()
{
    if (m_datagramScreen)
        return;
    m_clock->hold();
    m_datagramScreen = m_screen();
}

void PenDispatch::endDatagram()
{
    m_clock->release();
    m_datagramScreen.reset();
}

bool PenDispatch::mapPenToScreen(QPoint& point, const QRect& screenPixels)
{
    const unsigned width = unsigned(qMax(screenPixels.width(), 0));
    const unsigned height = unsigned(qMax(screenPixels.height(), 0));
    if (width == 0 || height == 0)
        return false;
    // The screen's image in pen space: the largest rectangle of the screen's aspect ratio
    // at a scale in hundredths, centred.
    const unsigned scale = qMin(80000u / height, 128000u / width);
    const int imageWidth = int(scale * width / 100);
    const int imageHeight = int(scale * height / 100);
    // A screen over 128000 or 80000 pixels has an empty image: nothing maps onto it.
    if (imageWidth == 0 || imageHeight == 0)
        return false;
    const int marginX = (PEN_SPACE_WIDTH - imageWidth) / 2;
    const int marginY = (PEN_SPACE_HEIGHT - imageHeight) / 2;
    const int posx = point.x();
    const int posy = point.y();
    if (posx < marginX || posx >= marginX + imageWidth || posy < marginY ||
        posy >= marginY + imageHeight)
        return false;
    // A non-zero scale bounds the screen to 128000 x 80000 pixels, so these products stay
    // far below 2^31.
    const int x = (posx - marginX) * int(width) / imageWidth;
    const int y = (posy - marginY) * int(height) / imageHeight;
    point = QPoint(screenPixels.left() + x, screenPixels.top() + y);
    return true;
}

bool PenDispatch::checkLostUpOfActiveInjector()
{
    if (m_penMode == PenMode::Touch && m_touch) {
        m_touch->CheckLostUp();
        return m_touch->activeContactCount() > 0;
    }
    m_mouse.CheckLostUp();
    return m_mouse.heldPenCount() > 0;
}

void PenDispatch::penStatus(int id, int button, int posx, int posy)
{
    beginDatagram();
    // The watchdog's 90 ms count from this event. Rather than restarting its timer for each
    // of up to ten records a datagram (a timer registration each time), the timer runs on
    // and, when it fires early, waits out the rest.
    m_lastEventMs = m_clock->nowMs();
    // The watchdog only fires after a pause of every pen. While one pen keeps writing, a
    // second pen whose up event was lost would stay pressed until the first one stops, so
    // each event also releases the pens that have been silent for the lost-up time.
    checkLostUpOfActiveInjector();

    QPoint point(posx, posy);
    if (!mapPenToScreen(point, screenPixels())) {
        qCDebug(lcPen, "penStatus[id=%d, button=%d, posx=%d, posy=%d(Out of Range!)]", id, button,
                posx, posy);
    } else if (m_penMode != PenMode::Touch) {
        switch (button) {
        case 1:
            m_mouse.PenDown(id, point.x(), point.y());
            break;
        case 2:
            m_mouse.PenMove(id, point.x(), point.y());
            break;
        case 0:
            m_mouse.PenUp(id);
            break;
        default:
            break;
        }
    } else if (m_touch) {
        switch (button) {
        case 1:
            m_touch->PenDown(quint32(id), point.x(), point.y());
            break;
        case 2:
            m_touch->PenMove(quint32(id), point.x(), point.y());
            break;
        case 0:
            m_touch->PenUp(quint32(id));
            break;
        default:
            break;
        }
    }
    if (!lostEventTimer.isActive())
        lostEventTimer.start(int(LOST_UP_TIMEOUT_MS));
}

void PenDispatch::flushDevices()
{
    // Only the mouse device holds input back; the touch device writes each frame at once.
    m_mouse.flush();
    endDatagram();
}

void PenDispatch::chkLostUpEventsProc()
{
    endDatagram(); // the watchdog runs between datagrams
    const qint64 quiet = m_clock->nowMs() - m_lastEventMs;
    if (quiet < LOST_UP_TIMEOUT_MS) {
        lostEventTimer.start(int(LOST_UP_TIMEOUT_MS - quiet));
        return;
    }
    lostEventTimer.stop();
    // A timer may fire a little before the clock says the lost-up time has passed (Windows
    // timers count in coarser ticks than the steady clock): a pen still held then is looked
    // at again, instead of staying pressed until the next datagram.
    if (checkLostUpOfActiveInjector())
        lostEventTimer.start(int(LOST_UP_TIMEOUT_MS));
    flushDevices();
}

void PenDispatch::stopLostEventTimer()
{
    lostEventTimer.stop();
}
