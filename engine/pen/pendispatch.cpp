#include "engine/pen/pendispatch.h"

#include "core/logging.h"
#include "engine/injection/sendmouseevent.h"
#include "engine/injection/touchinjection.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace {
constexpr int PEN_SPACE_WIDTH = 1280;
constexpr int PEN_SPACE_HEIGHT = 800;

bool released(const PenContact& pen)
{
    return pen.phase == ContactPhase::Up || pen.phase == ContactPhase::Lost;
}
} // namespace

PenDispatch::PenDispatch(std::shared_ptr<InjectionBackend> backend,
                         std::shared_ptr<MonotonicClock> clock, QObject* parent)
    : QObject(parent), m_backend(std::move(backend)), m_clock(std::move(clock))
{
    m_pens.reserve(MAX_TOUCH_CONTACTS);
    lostEventTimer.setTimerType(Qt::PreciseTimer);
    lostEventTimer.setInterval(int(LOST_UP_TIMEOUT_MS));
    lostEventTimer.setSingleShot(false);
    connect(&lostEventTimer, &QTimer::timeout, this, &PenDispatch::chkLostUpEventsProc,
            Qt::QueuedConnection);
}

PenDispatch::~PenDispatch()
{
    stopInjecting();
}

void PenDispatch::setPenMode(PenMode mode)
{
    if (mode == m_penMode)
        return;
    const bool injecting = isInjecting();
    if (injecting) {
        // A pen pressed in the old mode would otherwise stay pressed on its device.
        liftAll("their input device goes");
        m_injector.reset();
    }
    m_penMode = mode;
    if (injecting)
        startInjecting();
}

bool PenDispatch::startInjecting()
{
    if (!m_injector) {
        if (m_penMode == PenMode::Touch)
            m_injector = std::make_unique<TouchInjection>(m_backend->createTouchDevice(), m_clock,
                                                          m_target);
        else
            m_injector = std::make_unique<SendMouseEvent>(m_backend->createMouseDevice(), m_target);
    }
    return m_injector->isReady();
}

void PenDispatch::stopInjecting()
{
    lostEventTimer.stop();
    liftAll("their input device goes");
    m_injector.reset();
}

void PenDispatch::setTarget(const ScreenTarget& target)
{
    if (target == m_target)
        return;
    // A pen held down would jump to another screen, or its device's axes change under it:
    // it is lifted where it was, and the next stroke starts on the new target.
    liftAll("the target screen changes");
    m_target = target;
    m_image = PenSpaceImage(target.pixels);
    if (m_injector)
        m_injector->setTarget(target);
}

PenSpaceImage::PenSpaceImage(const QRect& screenPixels) : m_screen(screenPixels)
{
    const unsigned width = unsigned(qMax(screenPixels.width(), 0));
    const unsigned height = unsigned(qMax(screenPixels.height(), 0));
    if (width == 0 || height == 0)
        return;
    // The largest rectangle of the screen's aspect ratio at a scale in hundredths, centred.
    // A screen over 128000 or 80000 pixels has an empty image: nothing maps onto it.
    const unsigned scale = qMin(80000u / height, 128000u / width);
    const int imageWidth = int(scale * width / 100);
    const int imageHeight = int(scale * height / 100);
    m_image = QRect((PEN_SPACE_WIDTH - imageWidth) / 2, (PEN_SPACE_HEIGHT - imageHeight) / 2,
                    imageWidth, imageHeight);
}

bool PenSpaceImage::map(QPoint& point) const
{
    const int posx = point.x();
    const int posy = point.y();
    if (m_image.isEmpty() || posx < m_image.left() || posx >= m_image.left() + m_image.width() ||
        posy < m_image.top() || posy >= m_image.top() + m_image.height())
        return false;
    // A non-empty image bounds the screen to 128000 x 80000 pixels, so these products stay
    // far below 2^31.
    const int x = (posx - m_image.left()) * m_screen.width() / m_image.width();
    const int y = (posy - m_image.top()) * m_screen.height() / m_image.height();
    point = QPoint(m_screen.left() + x, m_screen.top() + y);
    return true;
}

bool PenDispatch::mapPenToScreen(QPoint& point, const QRect& screenPixels)
{
    return PenSpaceImage(screenPixels).map(point);
}

std::vector<PenContact>::iterator PenDispatch::lowerBound(quint32 id)
{
    return std::lower_bound(m_pens.begin(), m_pens.end(), id,
                            [](const PenContact& pen, quint32 key) { return pen.id < key; });
}

std::vector<PenContact>::iterator PenDispatch::find(quint32 id)
{
    const auto it = lowerBound(id);
    return it != m_pens.end() && it->id == id ? it : m_pens.end();
}

InjectResult PenDispatch::injectFrame(bool firstContact)
{
    const InjectResult result = m_injector->inject({m_pens, firstContact});
    if (firstContact) {
        // A new touch session waits for the system before its first frame: the pen is as
        // young as the frame that pressed it.
        m_now = m_clock->nowMs();
        for (PenContact& pen : m_pens)
            if (pen.phase == ContactPhase::Down)
                pen.lastEventMs = m_now;
    }
    // Released pens leave, and so does a changed pen whose input the system refused; the
    // rest rest as held.
    auto kept = m_pens.begin();
    for (PenContact& pen : m_pens) {
        if (released(pen) || (result != InjectResult::Done && pen.phase != ContactPhase::Held))
            continue;
        pen.phase = ContactPhase::Held;
        if (&*kept != &pen)
            *kept = pen;
        ++kept;
    }
    m_pens.erase(kept, m_pens.end());
    return result;
}

bool PenDispatch::releaseSilentPens()
{
    bool anyLost = false;
    for (PenContact& pen : m_pens) {
        if (m_now >= pen.lastEventMs + LOST_UP_TIMEOUT_MS) {
            pen.phase = ContactPhase::Lost;
            anyLost = true;
        }
    }
    if (anyLost)
        injectFrame();
    return !m_pens.empty();
}

void PenDispatch::liftAll(const char* why)
{
    if (m_pens.empty() || !m_injector)
        return;
    qCDebug(lcPen, "%d pens lifted: %s", int(m_pens.size()), why);
    m_now = m_clock->nowMs();
    for (PenContact& pen : m_pens)
        pen.phase = ContactPhase::Up;
    injectFrame();
    m_injector->flush();
    m_pens.clear();
}

void PenDispatch::handleDatagram(std::span<const PenEvent> events)
{
    if (events.empty())
        return;
    // The records of a datagram arrived together: they share one reading of the clock.
    m_now = m_clock->nowMs();
    for (const PenEvent& event : events)
        penStatus(event);
    if (m_injector)
        m_injector->flush();
    // The watchdog's 90 ms count from the last event. Rather than restarting its timer for
    // each event (a timer registration each time), the timer runs on and, when it fires
    // early, waits out the rest.
    if (!lostEventTimer.isActive())
        lostEventTimer.start(int(LOST_UP_TIMEOUT_MS));
}

void PenDispatch::penStatus(const PenEvent& event)
{
    m_lastEventMs = m_now;
    // The watchdog only fires after a pause of every pen. While one pen keeps writing, a
    // second pen whose up event was lost would stay pressed until the first one stops, so
    // each event also releases the pens that have been silent for the lost-up time.
    if (m_injector)
        releaseSilentPens();

    QPoint point(event.posx, event.posy);
    if (!m_image.map(point)) {
        qCDebug(lcPen, "penStatus[id=%d, button=%d, posx=%d, posy=%d(Out of Range!)]", event.id,
                event.button, event.posx, event.posy);
        return;
    }
    if (!m_injector || !m_injector->isReady())
        return;
    const quint32 id = quint32(event.id);
    auto pen = find(id);
    switch (event.button) {
    case 2:
        if (pen != m_pens.end()) {
            pen->phase = ContactPhase::Moved;
            pen->position = point;
            pen->lastEventMs = m_now;
            injectFrame();
            return;
        }
        qCDebug(lcInject, " -->Lost Down event!!");
        [[fallthrough]];
    case 1: {
        const bool firstContact = m_pens.empty();
        const PenContact pressed{id, ContactPhase::Down, point, point, m_now};
        std::optional<PenContact> before;
        if (pen != m_pens.end())
            before = std::exchange(*pen, pressed);
        else
            m_pens.insert(lowerBound(id), pressed);
        if (injectFrame(firstContact) == InjectResult::Reverted && before)
            m_pens.insert(lowerBound(id), *before);
        return;
    }
    case 0:
        if (pen != m_pens.end()) {
            pen->phase = ContactPhase::Up;
            injectFrame();
        }
        return;
    default:
        return;
    }
}

void PenDispatch::chkLostUpEventsProc()
{
    m_now = m_clock->nowMs();
    const qint64 quiet = m_now - m_lastEventMs;
    if (quiet < LOST_UP_TIMEOUT_MS) {
        lostEventTimer.start(int(LOST_UP_TIMEOUT_MS - quiet));
        return;
    }
    lostEventTimer.stop();
    // A timer may fire a little before the clock says the lost-up time has passed (Windows
    // timers count in coarser ticks than the steady clock): a pen still held then is looked
    // at again, instead of staying pressed until the next datagram.
    if (m_injector && releaseSilentPens())
        lostEventTimer.start(int(LOST_UP_TIMEOUT_MS));
    if (m_injector)
        m_injector->flush();
}

void PenDispatch::stopLostEventTimer()
{
    lostEventTimer.stop();
}
