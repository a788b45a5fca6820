#pragma once

#include <QHash>
#include <QImage>
#include <QJsonObject>
#include <QList>
#include <QPoint>
#include <QWidget>

class QTouchEvent;

// A full-screen drawing surface that shows where injected pointer and touch input landed:
// every mouse drag (left button held) and every touch contact becomes a stroke, drawn on the
// canvas and kept, in screen coordinates, for a record that tests and the demo read back.
class PenCanvas final : public QWidget {
    Q_OBJECT
public:
    enum class Source { Mouse, Touch };

    struct Stroke {
        Source source = Source::Mouse;
        int id = 0;           // touch point id; 0 for the mouse
        QList<QPoint> points; // screen coordinates, first = press, last = release
        QPoint firstPixel;    // the first and the last point in the desktop's device pixels,
        QPoint lastPixel;     // which differ from screen coordinates on a scaled screen
        bool finished = false;
    };

    struct Counts {
        int mousePresses = 0;
        int mouseMoves = 0; // moves with a button held; hovering is not a stroke
        int mouseReleases = 0;
        int touchPresses = 0;
        int touchMoves = 0;
        int touchReleases = 0;
    };

    explicit PenCanvas(QWidget* parent = nullptr);
    Q_DISABLE_COPY_MOVE(PenCanvas)

    const QList<Stroke>& strokes() const { return m_strokes; }
    const Counts& counts() const { return m_counts; }

    // Everything recorded, as a JSON object: screen geometry, counts and strokes.
    QJsonObject record() const;
    // The canvas as it looks now, ink and counters, as a PNG file.
    bool savePng(const QString& path);

signals:
    void strokeFinished(int index);

protected:
    bool event(QEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    int beginStroke(Source source, int id, QPointF screenPos);
    void extendStroke(int index, QPointF screenPos);
    void endStroke(int index, QPointF screenPos);
    QPoint devicePixel(QPointF screenPos) const;
    void touchEvent(QTouchEvent* e);
    void drawSegment(const Stroke& s, QPoint from, QPoint to);
    QString statusLine() const;

    QImage m_ink;
    QList<Stroke> m_strokes;
    int m_mouseStroke = -1;         // index of the open mouse stroke
    QHash<int, int> m_touchStrokes; // touch point id -> index of its open stroke
    Counts m_counts;
};
