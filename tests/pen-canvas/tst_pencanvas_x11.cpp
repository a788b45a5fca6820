#include "core/eventwait.h"

#include <QColor>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

// Drives the real pen-canvas on a private X server through XTest, the way the program's
// mouse injector reaches the desktop, and reads back what the canvas recorded.
namespace {

// One step of synthetic input: move to (x, y), then press or release a button (0 = none).
struct Step {
    int x, y;
    int button = 0;
    bool press = false;
};
using Steps = QList<Step>;

Step move(int x, int y)
{
    return {x, y};
}
Step down(int x, int y, int button = 1)
{
    return {x, y, button, true};
}
Step up(int x, int y, int button = 1)
{
    return {x, y, button, false};
}

// Every run ends with a click here, so that the last stroke line the canvas prints tells the
// test that all earlier input has been handled (X delivers the events in order).
const QPoint Sentinel(7, 700);

using Polyline = QList<QPoint>;

} // namespace

Q_DECLARE_METATYPE(Steps)
Q_DECLARE_METATYPE(Polyline)

class TestPenCanvasX11 : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void strokes_data();
    void strokes();
    void pngShowsTheInkWhereThePointerWent();

private:
    struct Run {
        QJsonObject record;
        QImage png;
        QImage screen;
    };
    Run drive(const Steps& steps);

    Display* m_display = nullptr;
    QTemporaryDir m_dir;
};

void TestPenCanvasX11::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("No X server: run this test through with-xvfb.sh");
    m_display = XOpenDisplay(nullptr);
    QVERIFY2(m_display, "cannot open the X display");
    int ev, err, major, minor;
    QVERIFY2(XTestQueryExtension(m_display, &ev, &err, &major, &minor), "no XTest extension");
    QVERIFY(m_dir.isValid());
}

void TestPenCanvasX11::cleanupTestCase()
{
    if (m_display)
        XCloseDisplay(m_display);
}

TestPenCanvasX11::Run TestPenCanvasX11::drive(const Steps& steps)
{
    static int runNo = 0;
    const QString png = m_dir.filePath(QString("canvas-%1.png").arg(++runNo));
    const QString json = m_dir.filePath(QString("canvas-%1.json").arg(runNo));
    const QString screen = m_dir.filePath(QString("screen-%1.png").arg(runNo));

    // Park the pointer away from everything first, with no button held.
    XTestFakeMotionEvent(m_display, -1, 1000, 10, CurrentTime);
    XSync(m_display, False);

    QProcess canvas;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("XDG_RUNTIME_DIR", m_dir.path()); // private and 0700, as Qt wants it
    canvas.setProcessEnvironment(env);
    canvas.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QByteArray out;
    QObject::connect(&canvas, &QProcess::readyReadStandardOutput, &canvas,
                     [&] { out += canvas.readAllStandardOutput(); });
    canvas.start(PEN_CANVAS_PATH, {"--output", png, "--record", json, "--screen-output", screen});

    EventWait ready(20000, 200);
    ready.wakeOn(&canvas, &QProcess::readyReadStandardOutput);
    ready.wakeOn(&canvas, &QProcess::finished);
    const bool isReady = ready.waitUntil(
        [&] { return out.contains("ready") || canvas.state() == QProcess::NotRunning; });
    if (!isReady || !out.contains("ready")) {
        qWarning("canvas output: %s", out.constData());
        return {};
    }

    for (const Step& s : steps) {
        XTestFakeMotionEvent(m_display, -1, s.x, s.y, CurrentTime);
        if (s.button)
            XTestFakeButtonEvent(m_display, unsigned(s.button), s.press, CurrentTime);
        XSync(m_display, False);
    }
    XTestFakeMotionEvent(m_display, -1, Sentinel.x(), Sentinel.y(), CurrentTime);
    XTestFakeButtonEvent(m_display, 1, True, CurrentTime);
    XTestFakeButtonEvent(m_display, 1, False, CurrentTime);
    XSync(m_display, False);

    const QByteArray sentinelLine =
        QString("to %1,%2\n").arg(Sentinel.x()).arg(Sentinel.y()).toLatin1();
    EventWait handled(20000, 200);
    handled.wakeOn(&canvas, &QProcess::readyReadStandardOutput);
    if (!handled.waitUntil([&] { return out.contains(sentinelLine); })) {
        qWarning("canvas output: %s", out.constData());
        return {};
    }

    canvas.terminate(); // SIGTERM: the canvas writes its files and ends
    EventWait ended(20000, 200);
    ended.wakeOn(&canvas, &QProcess::finished);
    if (!ended.waitUntil([&] { return canvas.state() == QProcess::NotRunning; }))
        canvas.kill();

    Run run;
    QFile f(json);
    if (f.open(QIODevice::ReadOnly))
        run.record = QJsonDocument::fromJson(f.readAll()).object();
    run.png = QImage(png);
    run.screen = QImage(screen);

    // Drop the sentinel's stroke: the rows describe only their own input.
    QJsonArray strokes = run.record["strokes"].toArray();
    if (!strokes.isEmpty())
        strokes.removeLast();
    run.record["strokes"] = strokes;
    return run;
}

void TestPenCanvasX11::strokes_data()
{
    QTest::addColumn<Steps>("steps");
    // Each expected stroke: the positions the pointer was sent to while the button was held.
    // The canvas may see fewer moves (the X client merges queued motion), never other ones.
    QTest::addColumn<QList<Polyline>>("expected");

    QTest::newRow("drag") << Steps{down(120, 140), move(300, 160), move(420, 380), up(420, 380)}
                          << QList<Polyline>{{{120, 140}, {300, 160}, {420, 380}}};
    QTest::newRow("press and release in place")
        << Steps{down(500, 250), up(500, 250)} << QList<Polyline>{{{500, 250}}};
    QTest::newRow("hovering draws nothing") << Steps{move(50, 60),   move(600, 500), down(610, 510),
                                                     move(640, 520), up(640, 520),   move(900, 100)}
                                            << QList<Polyline>{{{610, 510}, {640, 520}}};
    QTest::newRow("release somewhere else ends the stroke there")
        << Steps{down(200, 200), move(260, 260), up(330, 300)}
        << QList<Polyline>{{{200, 200}, {260, 260}, {330, 300}}};
    QTest::newRow("two strokes stay apart")
        << Steps{down(100, 500), move(180, 520), up(180, 520),
                 down(700, 200), move(760, 240), up(760, 240)}
        << QList<Polyline>{{{100, 500}, {180, 520}}, {{700, 200}, {760, 240}}};
    QTest::newRow("screen corners map one to one")
        << Steps{down(0, 0), move(1023, 767), up(1023, 767)}
        << QList<Polyline>{{{0, 0}, {1023, 767}}};
    QTest::newRow("double click is two strokes")
        << Steps{down(400, 420), up(400, 420), down(400, 420), up(400, 420)}
        << QList<Polyline>{{{400, 420}}, {{400, 420}}};
    QTest::newRow("right button is not ink")
        << Steps{down(300, 300, 3), move(350, 350), up(350, 350, 3)} << QList<Polyline>{};
}

void TestPenCanvasX11::strokes()
{
    QFETCH(Steps, steps);
    QFETCH(QList<Polyline>, expected);

    const Run run = drive(steps);
    QVERIFY2(!run.record.isEmpty(), "the canvas wrote no record");
    const QJsonArray strokes = run.record["strokes"].toArray();
    QCOMPARE(strokes.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        const QJsonObject s = strokes[i].toObject();
        QCOMPARE(s["source"].toString(), QString("mouse"));
        QVERIFY(s["finished"].toBool());
        Polyline got;
        for (const QJsonValue& p : s["points"].toArray())
            got << QPoint(p[0].toInt(), p[1].toInt());
        const Polyline& want = expected[i];
        QVERIFY(!got.isEmpty());
        QCOMPARE(got.first(), want.first());
        QCOMPARE(got.last(), want.last());
        // The recorded points are the sent ones in order, possibly with some left out.
        qsizetype w = 0;
        for (QPoint p : got) {
            while (w < want.size() && want[w] != p)
                ++w;
            QVERIFY2(
                w < want.size(),
                qPrintable(
                    QString("unexpected point %1,%2 in stroke %3").arg(p.x()).arg(p.y()).arg(i)));
        }
    }
    const QJsonObject counts = run.record["counts"].toObject();
    // The sentinel click counts too.
    QCOMPARE(counts["mousePresses"].toInt(), expected.size() + 1);
    QCOMPARE(counts["mouseReleases"].toInt(), expected.size() + 1);
    QCOMPARE(counts["touchPresses"].toInt(), 0);
}

void TestPenCanvasX11::pngShowsTheInkWhereThePointerWent()
{
    const Run run = drive({down(200, 400), move(600, 400), up(600, 400)});
    QVERIFY2(!run.png.isNull(), "the canvas wrote no PNG");
    QCOMPARE(run.png.size(), QSize(1024, 768));
    const QColor paper = run.png.pixelColor(800, 600);
    const QColor onLine = run.png.pixelColor(400, 400);
    const QColor offLine = run.png.pixelColor(400, 430);
    QCOMPARE(offLine, paper);
    QVERIFY2(onLine != paper, "no ink on the stroke's path");
    QVERIFY(onLine.blue() > onLine.red()); // the mouse ink, not some other mark

    // The picture of the whole screen shows the same: the canvas covers it one to one.
    QCOMPARE(run.screen.size(), QSize(1024, 768));
    QCOMPARE(run.screen.pixelColor(400, 400), onLine);
    QCOMPARE(run.screen.pixelColor(400, 430), paper);
}

QTEST_GUILESS_MAIN(TestPenCanvasX11)
#include "tst_pencanvas_x11.moc"
