#include "pencanvas.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTouchEvent>

#include <cmath>

namespace {

const QColor Paper(0xfb, 0xfa, 0xf6);
const QColor MouseInk(0x1a, 0x3d, 0x8f);
// Touch contacts get their own colours so that two pens drawing at once stay apart.
const QColor TouchInks[] = {QColor(0xc0, 0x39, 0x2b), QColor(0x1e, 0x8a, 0x44),
                            QColor(0x8e, 0x44, 0xad), QColor(0xd3, 0x54, 0x00)};

QColor inkFor(const PenCanvas::Stroke& s)
{
    if (s.source == PenCanvas::Source::Mouse)
        return MouseInk;
    return TouchInks[unsigned(s.id) % (sizeof(TouchInks) / sizeof(TouchInks[0]))];
}

QJsonArray point(QPoint p)
{
    return QJsonArray{p.x(), p.y()};
}

} // namespace

PenCanvas::PenCanvas(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_AcceptTouchEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setWindowTitle("Pen canvas");
    setCursor(Qt::CrossCursor);
}

QJsonObject PenCanvas::record() const
{
    QJsonArray strokes;
    for (const Stroke& s : m_strokes) {
        QJsonArray pts;
        for (QPoint p : s.points)
            pts.append(point(p));
        strokes.append(QJsonObject{
            {"source", s.source == Source::Mouse ? "mouse" : "touch"},
            {"id", s.id},
            {"finished", s.finished},
            {"pixels", QJsonArray{point(s.firstPixel), point(s.lastPixel)}},
            {"points", pts},
        });
    }
    const QRect g = geometry();
    return QJsonObject{
        {"geometry", QJsonArray{g.x(), g.y(), g.width(), g.height()}},
        {"counts",
         QJsonObject{
             {"mousePresses", m_counts.mousePresses},
             {"mouseMoves", m_counts.mouseMoves},
             {"mouseReleases", m_counts.mouseReleases},
             {"touchPresses", m_counts.touchPresses},
             {"touchMoves", m_counts.touchMoves},
             {"touchReleases", m_counts.touchReleases},
         }},
        {"strokes", strokes},
    };
}

bool PenCanvas::savePng(const QString& path)
{
    return grab().save(path, "PNG");
}

bool PenCanvas::event(QEvent* e)
{
    switch (e->type()) {
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
        touchEvent(static_cast<QTouchEvent*>(e));
        // Accepting the touch keeps Qt from also synthesising mouse events from it, which
        // would count every contact twice.
        e->accept();
        return true;
    default:
        return QWidget::event(e);
    }
}

void PenCanvas::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return;
    ++m_counts.mousePresses;
    if (m_mouseStroke >= 0) // a release we never saw: close the old stroke where it stands
        endStroke(m_mouseStroke, QPointF(m_strokes[m_mouseStroke].points.last()));
    m_mouseStroke = beginStroke(Source::Mouse, 0, e->globalPosition());
}

void PenCanvas::mouseDoubleClickEvent(QMouseEvent* e)
{
    // Qt delivers the second press of a quick double press as this event instead of a
    // press; for the canvas it is a press of the pen like any other.
    mousePressEvent(e);
}

void PenCanvas::mouseMoveEvent(QMouseEvent* e)
{
    if (m_mouseStroke < 0 || !(e->buttons() & Qt::LeftButton))
        return;
    ++m_counts.mouseMoves;
    extendStroke(m_mouseStroke, e->globalPosition());
}

void PenCanvas::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton || m_mouseStroke < 0)
        return;
    ++m_counts.mouseReleases;
    const int index = m_mouseStroke;
    m_mouseStroke = -1;
    endStroke(index, e->globalPosition());
}

void PenCanvas::touchEvent(QTouchEvent* e)
{
    for (const QEventPoint& p : e->points()) {
        const QPointF pos = p.globalPosition();
        const auto open = m_touchStrokes.constFind(p.id());
        switch (p.state()) {
        case QEventPoint::Pressed:
            ++m_counts.touchPresses;
            if (open != m_touchStrokes.constEnd())
                endStroke(*open, QPointF(m_strokes[*open].points.last()));
            m_touchStrokes.insert(p.id(), beginStroke(Source::Touch, p.id(), pos));
            break;
        case QEventPoint::Updated:
            if (open == m_touchStrokes.constEnd())
                break;
            ++m_counts.touchMoves;
            extendStroke(*open, pos);
            break;
        case QEventPoint::Released:
            if (open == m_touchStrokes.constEnd())
                break;
            ++m_counts.touchReleases;
            endStroke(m_touchStrokes.take(p.id()), pos);
            break;
        default: // stationary: nothing moved
            break;
        }
    }
    if (e->type() == QEvent::TouchCancel) {
        // The system took the contacts away: close what is open without counting releases.
        const QList<int> open = m_touchStrokes.values();
        m_touchStrokes.clear();
        for (int index : open)
            endStroke(index, QPointF(m_strokes[index].points.last()));
    }
}

int PenCanvas::beginStroke(Source source, int id, QPointF screenPos)
{
    Stroke s;
    s.source = source;
    s.id = id;
    s.points.append(screenPos.toPoint());
    s.firstPixel = s.lastPixel = devicePixel(screenPos);
    m_strokes.append(s);
    drawSegment(m_strokes.last(), s.points.last(), s.points.last());
    return int(m_strokes.size()) - 1;
}

void PenCanvas::extendStroke(int index, QPointF screenPos)
{
    Stroke& s = m_strokes[index];
    s.lastPixel = devicePixel(screenPos);
    const QPoint from = s.points.last();
    const QPoint to = screenPos.toPoint();
    if (from == to)
        return;
    s.points.append(to);
    drawSegment(s, from, to);
}

// Qt keeps a screen's corner in device pixels and scales what lies beyond it by the
// screen's ratio; the unrounded position gives the device pixel back exactly.
QPoint PenCanvas::devicePixel(QPointF screenPos) const
{
    const QScreen* s = screen();
    const QPointF corner = s->geometry().topLeft();
    const QPointF pixel = corner + (screenPos - corner) * s->devicePixelRatio();
    return QPoint(int(std::lround(pixel.x())), int(std::lround(pixel.y())));
}

void PenCanvas::endStroke(int index, QPointF screenPos)
{
    extendStroke(index, screenPos);
    m_strokes[index].finished = true;
    update();
    emit strokeFinished(index);
}

void PenCanvas::drawSegment(const Stroke& s, QPoint from, QPoint to)
{
    if (m_ink.isNull())
        return;
    QPainter p(&m_ink);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(-mapToGlobal(QPoint(0, 0)));
    p.setPen(QPen(inkFor(s), s.source == Source::Mouse ? 3 : 4, Qt::SolidLine, Qt::RoundCap,
                  Qt::RoundJoin));
    if (from == to) {
        // A press: a small ring marks where the contact began.
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(from), 5, 5);
    } else {
        p.drawLine(from, to);
    }
    update();
}

QString PenCanvas::statusLine() const
{
    return QString("mouse: %1 press, %2 move, %3 release   touch: %4 press, %5 move, %6 release"
                   "   strokes: %7")
        .arg(m_counts.mousePresses)
        .arg(m_counts.mouseMoves)
        .arg(m_counts.mouseReleases)
        .arg(m_counts.touchPresses)
        .arg(m_counts.touchMoves)
        .arg(m_counts.touchReleases)
        .arg(m_strokes.size());
}

void PenCanvas::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawImage(0, 0, m_ink);
    QFont f = font();
    f.setPointSize(11);
    p.setFont(f);
    const QRect band(0, 0, width(), p.fontMetrics().height() + 8);
    p.fillRect(band, QColor(0, 0, 0, 28));
    p.setPen(QColor(0x30, 0x30, 0x30));
    p.drawText(band.adjusted(8, 0, -8, 0), Qt::AlignVCenter | Qt::AlignLeft, statusLine());
}

void PenCanvas::resizeEvent(QResizeEvent*)
{
    QImage ink(size(), QImage::Format_RGB32);
    ink.fill(Paper);
    if (!m_ink.isNull()) {
        QPainter p(&ink);
        p.drawImage(0, 0, m_ink);
    }
    m_ink = ink;
}
