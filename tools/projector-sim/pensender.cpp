#include "pensender.h"

#include "simlog.h"

#include <QLineF>
#include <QPoint>
#include <QPointF>
#include <QtMath>

#include <cmath>

namespace {
enum Button : quint8 { Up = 0, Down = 1, Moved = 2 };

QByteArray record(int id, int button, int x, int y)
{
    QByteArray r(13, '\0');
    r[0] = 0x03;
    r[1] = char(0xCE);
    r[5] = 0x02;
    r[6] = char(id);
    r[7] = char(button);
    r[8] = char((x >> 8) & 0xFF);
    r[9] = char(x & 0xFF);
    r[10] = char((y >> 8) & 0xFF);
    r[11] = char(y & 0xFF);
    unsigned sum = 0;
    for (int i = 0; i < 12; ++i)
        sum += quint8(r[i]);
    r[12] = char(sum & 0xFF);
    return r;
}

// Down at the first point, moved through the others, up at the last one.
QList<QByteArray> stroke(int id, const QList<QPoint>& points, bool withUp = true)
{
    QList<QByteArray> out;
    for (int i = 0; i < points.size(); ++i)
        out << record(id, i == 0 ? Down : Moved, points[i].x(), points[i].y());
    if (withUp && !points.isEmpty())
        out << record(id, Up, points.back().x(), points.back().y());
    return out;
}

QList<QPoint> line(QPoint from, QPoint to, int steps)
{
    QList<QPoint> points;
    for (int i = 0; i <= steps; ++i)
        points << from + (to - from) * i / steps;
    return points;
}

// A single-stroke capital font on a 4 x 6 grid (y down): each glyph is a few polylines.
using Glyph = QList<QList<QPointF>>;
Glyph glyph(QChar letter)
{
    switch (letter.toLatin1()) {
    case 'Q':
        return {{{1, 0}, {3, 0}, {4, 1}, {4, 5}, {3, 6}, {1, 6}, {0, 5}, {0, 1}, {1, 0}},
                {{2.5, 4.5}, {4.2, 6.3}}};
    case 'U':
        return {{{0, 0}, {0, 5}, {1, 6}, {3, 6}, {4, 5}, {4, 0}}};
    case 'I':
        return {{{1, 0}, {3, 0}}, {{2, 0}, {2, 6}}, {{1, 6}, {3, 6}}};
    case 'L':
        return {{{0, 0}, {0, 6}, {4, 6}}};
    case 'R':
        return {{{0, 6}, {0, 0}, {3, 0}, {4, 1}, {4, 2}, {3, 3}, {0, 3}}, {{2, 3}, {4, 6}}};
    case 'E':
        return {{{4, 0}, {0, 0}, {0, 6}, {4, 6}}, {{0, 3}, {3, 3}}};
    case 'A':
        return {{{0, 6}, {2, 0}, {4, 6}}, {{0.8, 3.6}, {3.2, 3.6}}};
    case 'Y':
        return {{{0, 0}, {2, 3}, {4, 0}}, {{2, 3}, {2, 6}}};
    }
    return {};
}

// The points of a polyline, about `spacing` pen units apart.
QList<QPoint> polyline(const QList<QPointF>& corners, double spacing)
{
    QList<QPoint> points;
    for (int i = 0; i + 1 < corners.size(); ++i) {
        const QPointF a = corners[i];
        const QPointF b = corners[i + 1];
        const int steps = std::max(1, int(std::ceil(QLineF(a, b).length() / spacing)));
        for (int k = (i == 0 ? 0 : 1); k <= steps; ++k) {
            const QPointF p = a + (b - a) * k / steps;
            points << p.toPoint();
        }
    }
    return points;
}

// "QUILL" over "RELAY" in pen strokes, then a circle drawn by two pens, each taking one
// half.
QList<QByteArray> quillRelayFigure()
{
    QList<QByteArray> out;
    const double unit = 30; // pen units per grid step: letters 120 x 180
    const QStringList rows{QStringLiteral("QUILL"), QStringLiteral("RELAY")};
    for (int row = 0; row < rows.size(); ++row) {
        for (int column = 0; column < rows[row].size(); ++column) {
            const QPointF origin(240 + column * 170, 50 + row * 230);
            for (QList<QPointF> corners : glyph(rows[row][column])) {
                for (QPointF& corner : corners)
                    corner = origin + corner * unit;
                out += stroke(1, polyline(corners, 12));
            }
        }
    }
    const int steps = 40;
    QList<QPoint> upper;
    QList<QPoint> lower;
    for (int i = 0; i <= steps; ++i) {
        const double a = M_PI * i / steps;
        upper << QPoint(640 + qRound(120 * std::cos(a)), 640 - qRound(120 * std::sin(a)));
        lower << QPoint(640 - qRound(120 * std::cos(a)), 640 + qRound(120 * std::sin(a)));
    }
    // One pen after the other: in mouse mode both pens drive the one pointer, which would
    // zigzag between them if they moved at the same time.
    out += stroke(1, upper);
    out += stroke(2, lower);
    return out;
}

// `pens` pens at once, each going round its own circle in `steps` moves, all of them in
// every datagram: down together, moving together, up together. Long strokes, so that a
// benchmark sees mostly moves rather than the start of a touch session.
QList<QByteArray> circlingPens(int pens, int steps)
{
    QList<QList<QByteArray>> strokes;
    for (int pen = 0; pen < pens; ++pen) {
        const QPoint centre =
            pens == 1 ? QPoint(640, 400) : QPoint(200 + (pen % 5) * 220, 250 + (pen / 5) * 300);
        const int radius = pens == 1 ? 300 : 90;
        QList<QPoint> points;
        for (int i = 0; i <= steps; ++i) {
            const double a = 2 * M_PI * i / steps;
            points << centre + QPoint(qRound(radius * std::cos(a)), qRound(radius * std::sin(a)));
        }
        strokes << stroke(pen + 1, points);
    }
    QList<QByteArray> out;
    for (int i = 0; i < strokes.front().size(); ++i) {
        QByteArray datagram;
        for (const QList<QByteArray>& s : strokes)
            datagram += s[i];
        out << datagram;
    }
    return out;
}
} // namespace

PenSender::PenSender(QObject* parent) : QObject(parent)
{
    connect(&m_timer, &QTimer::timeout, this, &PenSender::tick);
}

QStringList PenSender::scripts()
{
    return {"line",    "circle",      "two-pens", "lost-up",     "out-of-range",
            "garbage", "quill-relay", "none",     "long-circle", "ten-pens"};
}

QList<QByteArray> PenSender::datagrams(const QString& script)
{
    QList<QByteArray> out;
    if (script == QLatin1String("line")) {
        out = stroke(1, line({160, 400}, {1120, 400}, 16));
    } else if (script == QLatin1String("circle")) {
        QList<QPoint> points;
        for (int i = 0; i <= 48; ++i) {
            const double a = 2 * M_PI * i / 48;
            points << QPoint(640 + qRound(300 * std::cos(a)), 400 + qRound(250 * std::sin(a)));
        }
        out = stroke(1, points);
    } else if (script == QLatin1String("two-pens")) {
        // Both pens in every datagram, two records back to back.
        const QList<QByteArray> a = stroke(1, line({160, 200}, {1120, 200}, 12));
        const QList<QByteArray> b = stroke(2, line({1120, 600}, {160, 600}, 12));
        for (int i = 0; i < a.size(); ++i)
            out << a[i] + b[i];
    } else if (script == QLatin1String("lost-up")) {
        out = stroke(1, line({200, 200}, {600, 500}, 8), false);
    } else if (script == QLatin1String("out-of-range")) {
        out << record(1, Down, 640, 400) << record(1, Moved, 0xFFFF, 0xFFFF)
            << record(1, Moved, 1280, 800) << record(1, Moved, 2000, 1000)
            << record(1, Moved, -300, 50) << record(1, Moved, 640, 400) << record(1, Up, 640, 400);
    } else if (script == QLatin1String("long-circle")) {
        out = circlingPens(1, 1000);
    } else if (script == QLatin1String("ten-pens")) {
        out = circlingPens(10, 1000);
    } else if (script == QLatin1String("quill-relay")) {
        out = quillRelayFigure();
    } else if (script == QLatin1String("garbage")) {
        QByteArray badSum = record(1, Moved, 650, 400);
        badSum[12] = char(badSum[12] + 1);
        QByteArray badKind = record(1, Moved, 660, 400);
        badKind[5] = 0x03;
        badKind[12] = char(badKind[12] + 1); // checksum still right, the kind byte wrong
        out << record(1, Down, 640, 400) << badSum << badKind
            << record(1, Moved, 670, 400).left(12)                     // too short
            << record(1, Moved, 680, 400) + QByteArray(12, char(0x55)) // trailing piece
            << badSum + record(1, Moved, 690, 400)                     // bad, then good
            << record(1, Up, 690, 400);
    }
    return out;
}

void PenSender::start(const QHostAddress& address, quint16 port)
{
    stop();
    if (!SimLog::isAllowed(address)) {
        SimLog::line(QStringLiteral("refused pen-tx %1: only loopback and 10.77.0.0/16")
                         .arg(SimLog::endpoint(address, port)));
        return;
    }
    m_datagrams = datagrams(m_options.script);
    m_next = 0;
    m_sent = 0;
    m_address = address;
    m_port = port;
    SimLog::line(QStringLiteral("pen-start %1 script=%2")
                     .arg(SimLog::endpoint(address, port), m_options.script));
    if (m_datagrams.isEmpty())
        return;
    // The first tick after the start delay, then one per period.
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.start(std::max(m_options.startDelayMs, 0));
}

void PenSender::stop()
{
    if (m_port == 0)
        return;
    m_timer.stop();
    SimLog::line(QStringLiteral("pen-stop %1").arg(SimLog::endpoint(m_address, m_port)));
    m_port = 0;
}

void PenSender::tick()
{
    // Set once, after the start delay: setting it restarts the timer, and doing that on
    // every tick would add each tick's own lateness to the period.
    const int period = 1000 / std::clamp(m_options.rateHz, 1, 1000);
    if (m_timer.interval() != period)
        m_timer.setInterval(period);
    if (m_options.limit > 0 && m_sent >= m_options.limit) {
        m_timer.stop();
        SimLog::line(QStringLiteral("pen-done %1").arg(SimLog::endpoint(m_address, m_port)));
        return;
    }
    if (m_next >= m_datagrams.size()) {
        if (!m_options.loop) {
            m_timer.stop();
            SimLog::line(QStringLiteral("pen-done %1").arg(SimLog::endpoint(m_address, m_port)));
            return;
        }
        m_next = 0;
    }
    QByteArray datagram = m_datagrams[m_next++];
    if (m_options.sequence) {
        // Bytes 2 to 4 of each whole record carry the number; the checksum counts them.
        for (qsizetype at = 0; at + 13 <= datagram.size(); at += 13) {
            if (datagram[at] != 0x03 || quint8(datagram[at + 1]) != 0xCE)
                continue;
            const quint32 n = ++m_sequence & 0xFFFFFF;
            const int before =
                quint8(datagram[at + 2]) + quint8(datagram[at + 3]) + quint8(datagram[at + 4]);
            datagram[at + 2] = char(n >> 16);
            datagram[at + 3] = char(n >> 8);
            datagram[at + 4] = char(n);
            const int after = int((n >> 16) & 0xFF) + int((n >> 8) & 0xFF) + int(n & 0xFF);
            datagram[at + 12] = char(quint8(datagram[at + 12]) + after - before);
        }
    }
    m_socket.writeDatagram(datagram, m_address, m_port);
    ++m_sent;
    SimLog::line(QStringLiteral("pen-tx %1 %2")
                     .arg(SimLog::endpoint(m_address, m_port), SimLog::hex(datagram)));
    if (m_next >= m_datagrams.size() && !m_options.loop) {
        m_timer.stop();
        SimLog::line(QStringLiteral("pen-done %1").arg(SimLog::endpoint(m_address, m_port)));
    }
}
