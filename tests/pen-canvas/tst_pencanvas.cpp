#include "pencanvas.h"

#include <QJsonArray>
#include <QPointingDevice>
#include <QSignalSpy>
#include <QTest>
#include <QTouchEvent>

// The canvas' bookkeeping for input that Xvfb cannot produce (touch) and for mouse sequences
// that come from real desktops (double clicks, a release that never arrives).
class TestPenCanvas : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void twoContactsMakeTwoStrokes();
    void touchIsNotCountedAgainAsMouse();
    void contactPressedAgainWithoutReleaseClosesTheOldStroke();
    void cancelClosesOpenContactsWithoutReleases();
    void doubleClickIsTwoStrokes();
    void pressWithoutReleaseThenPressAgain();
    void recordHoldsScreenPositions();

private:
    QList<QPoint> points(int stroke) const { return m_canvas->strokes().at(stroke).points; }
    QPoint global(int x, int y) const { return m_canvas->mapToGlobal(QPoint(x, y)); }

    PenCanvas* m_canvas = nullptr;
    QPointingDevice* m_touch = nullptr;
};

void TestPenCanvas::init()
{
    if (!m_touch)
        m_touch = QTest::createTouchDevice();
    m_canvas = new PenCanvas;
    m_canvas->setGeometry(40, 30, 640, 480);
    m_canvas->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_canvas));
}

void TestPenCanvas::cleanup()
{
    delete m_canvas;
    m_canvas = nullptr;
}

void TestPenCanvas::twoContactsMakeTwoStrokes()
{
    QTest::touchEvent(m_canvas, m_touch).press(0, {10, 10}).press(1, {300, 200});
    QTest::touchEvent(m_canvas, m_touch).move(0, {20, 15}).move(1, {310, 220});
    QTest::touchEvent(m_canvas, m_touch).release(0, {20, 15}).move(1, {320, 240});
    QTest::touchEvent(m_canvas, m_touch).release(1, {320, 240});

    QCOMPARE(m_canvas->strokes().size(), 2);
    QCOMPARE(points(0), (QList<QPoint>{global(10, 10), global(20, 15)}));
    QCOMPARE(points(1), (QList<QPoint>{global(300, 200), global(310, 220), global(320, 240)}));
    QVERIFY(m_canvas->strokes().at(0).finished && m_canvas->strokes().at(1).finished);
    QVERIFY(m_canvas->strokes().at(0).id != m_canvas->strokes().at(1).id);
    QCOMPARE(m_canvas->counts().touchPresses, 2);
    QCOMPARE(m_canvas->counts().touchReleases, 2);
}

void TestPenCanvas::touchIsNotCountedAgainAsMouse()
{
    QTest::touchEvent(m_canvas, m_touch).press(0, {50, 50});
    QTest::touchEvent(m_canvas, m_touch).move(0, {60, 70});
    QTest::touchEvent(m_canvas, m_touch).release(0, {60, 70});
    QCOMPARE(m_canvas->strokes().size(), 1);
    QCOMPARE(m_canvas->strokes().at(0).source, PenCanvas::Source::Touch);
    QCOMPARE(m_canvas->counts().mousePresses, 0);
    QCOMPARE(m_canvas->counts().mouseReleases, 0);
}

void TestPenCanvas::contactPressedAgainWithoutReleaseClosesTheOldStroke()
{
    // Send the events directly: Qt's own touch bookkeeping would drop a second press of an
    // id it believes is down, but an injected stream can carry one.
    auto send = [&](QEventPoint::State state, QPoint pos) {
        QEventPoint p(7, state, QPointF(pos), QPointF(m_canvas->mapToGlobal(pos)));
        QTouchEvent e(state == QEventPoint::Pressed ? QEvent::TouchBegin : QEvent::TouchUpdate,
                      m_touch, Qt::NoModifier, {p});
        QCoreApplication::sendEvent(m_canvas, &e);
    };
    send(QEventPoint::Pressed, {100, 100});
    send(QEventPoint::Updated, {120, 100});
    send(QEventPoint::Pressed, {400, 300});
    QCOMPARE(m_canvas->strokes().size(), 2);
    QVERIFY(m_canvas->strokes().at(0).finished);
    QVERIFY(!m_canvas->strokes().at(1).finished);
    QCOMPARE(points(0).last(), global(120, 100));
    QCOMPARE(points(1), QList<QPoint>{global(400, 300)});
    QCOMPARE(m_canvas->counts().touchPresses, 2);
    QCOMPARE(m_canvas->counts().touchReleases, 0);
}

void TestPenCanvas::cancelClosesOpenContactsWithoutReleases()
{
    QTest::touchEvent(m_canvas, m_touch).press(0, {10, 10}).press(1, {200, 10});
    QTouchEvent cancel(QEvent::TouchCancel, m_touch);
    QCoreApplication::sendEvent(m_canvas, &cancel);
    QCOMPARE(m_canvas->strokes().size(), 2);
    QVERIFY(m_canvas->strokes().at(0).finished && m_canvas->strokes().at(1).finished);
    QCOMPARE(m_canvas->counts().touchReleases, 0);

    // A fresh contact after the cancel starts its own stroke.
    QTest::touchEvent(m_canvas, m_touch).press(0, {30, 30});
    QCOMPARE(m_canvas->strokes().size(), 3);
}

void TestPenCanvas::doubleClickIsTwoStrokes()
{
    QTest::mouseClick(m_canvas, Qt::LeftButton, {}, {100, 100});
    // Qt Test's double click is the second press and the double-click event; the release
    // that a real mouse sends follows separately.
    QTest::mouseDClick(m_canvas, Qt::LeftButton, {}, {100, 100});
    QTest::mouseRelease(m_canvas, Qt::LeftButton, {}, {100, 100});
    QCOMPARE(m_canvas->strokes().size(), 2);
    QCOMPARE(m_canvas->counts().mousePresses, 2);
    QCOMPARE(m_canvas->counts().mouseReleases, 2);
    QVERIFY(m_canvas->strokes().at(1).finished);
}

void TestPenCanvas::pressWithoutReleaseThenPressAgain()
{
    QSignalSpy finished(m_canvas, &PenCanvas::strokeFinished);
    QTest::mousePress(m_canvas, Qt::LeftButton, {}, {10, 10});
    QTest::mouseMove(m_canvas, {40, 40});
    // The release got lost on the way; the next press must not extend the old stroke.
    QTest::mousePress(m_canvas, Qt::LeftButton, {}, {500, 400});
    QTest::mouseRelease(m_canvas, Qt::LeftButton, {}, {500, 400});
    QCOMPARE(m_canvas->strokes().size(), 2);
    QCOMPARE(points(1), QList<QPoint>{global(500, 400)});
    QCOMPARE(finished.size(), 2);
    QCOMPARE(m_canvas->counts().mouseReleases, 1);
}

void TestPenCanvas::recordHoldsScreenPositions()
{
    QTest::mousePress(m_canvas, Qt::LeftButton, {}, {5, 6});
    QTest::mouseRelease(m_canvas, Qt::LeftButton, {}, {7, 8});
    const QJsonObject r = m_canvas->record();
    const QJsonArray pts = r["strokes"][0]["points"].toArray();
    QCOMPARE(pts.size(), 2);
    QCOMPARE(QPoint(pts[0][0].toInt(), pts[0][1].toInt()), global(5, 6));
    QCOMPARE(QPoint(pts[1][0].toInt(), pts[1][1].toInt()), global(7, 8));
    QCOMPARE(r["counts"]["mousePresses"].toInt(), 1);
}

QTEST_MAIN(TestPenCanvas)
#include "tst_pencanvas.moc"
