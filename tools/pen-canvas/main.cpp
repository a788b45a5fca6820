// pen-canvas: a full-screen window on the primary screen (or the one named) that draws where
// injected pointer and touch input went, so the pen path can be watched (and checked) end to
// end.
//
//   pen-canvas [--output canvas.png] [--record strokes.json] [--screen-output screen.png]
//              [--quit-after ms] [--screen name]
//
// It prints "pen-canvas: ready WxH+X+Y" once it is on screen, one line per finished stroke
// (with its ends in the desktop's device pixels after "pixels"), and on exit writes the PNG and the JSON record. Esc and closing the window end it (writing
// both files), and so do SIGTERM and SIGINT on Linux, Ctrl+C on Windows; SIGUSR1 (Linux) or
// Ctrl+Break (Windows) writes them without ending.

#include "pencanvas.h"
#include "stoprequests.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <functional>

#include <cstdio>

namespace {

void say(const QString& line)
{
    std::printf("pen-canvas: %s\n", qPrintable(line));
    std::fflush(stdout);
}

// Ends the canvas on Esc; everything else reaches the canvas.
class EscFilter final : public QObject {
public:
    explicit EscFilter(std::function<void()> onEsc) : m_onEsc(std::move(onEsc)) {}

protected:
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape) {
            m_onEsc();
            return true;
        }
        return QObject::eventFilter(o, e);
    }

private:
    std::function<void()> m_onEsc;
};

// Runs a callback the first time the window it watches is exposed.
class ExposeWatch final : public QObject {
public:
    explicit ExposeWatch(std::function<void()> onExposed) : m_onExposed(std::move(onExposed)) {}

protected:
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::Expose && m_onExposed && static_cast<QWindow*>(o)->isExposed()) {
            auto run = std::move(m_onExposed);
            m_onExposed = nullptr;
            run();
        }
        return QObject::eventFilter(o, e);
    }

private:
    std::function<void()> m_onExposed;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCommandLineParser cli;
    cli.setApplicationDescription("Shows where injected pointer and touch input lands.");
    cli.addHelpOption();
    const QCommandLineOption output("output", "Write the canvas as PNG to <png> on exit.", "png");
    const QCommandLineOption record("record", "Write the strokes as JSON to <json> on exit.",
                                    "json");
    const QCommandLineOption screenOutput(
        "screen-output",
        "Write the whole screen (the canvas and what lies above it, such as a tray) as PNG to "
        "<png> on exit.",
        "png");
    const QCommandLineOption quitAfter("quit-after", "End after <ms> milliseconds.", "ms");
    const QCommandLineOption screenName("screen", "Cover the screen <name> (QScreen::name()).",
                                        "name");
    cli.addOptions({output, record, screenOutput, quitAfter, screenName});
    cli.process(app);

    PenCanvas canvas;
    auto writeFiles = [&] {
        if (cli.isSet(output)) {
            const QString path = cli.value(output);
            say(canvas.savePng(path) ? "wrote " + path : "cannot write " + path);
        }
        if (cli.isSet(screenOutput)) {
            const QString path = cli.value(screenOutput);
            const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
            say(shot.save(path, "PNG") ? "wrote " + path : "cannot write " + path);
        }
        if (cli.isSet(record)) {
            const QString path = cli.value(record);
            QFile f(path);
            const QByteArray json = QJsonDocument(canvas.record()).toJson();
            const bool ok = f.open(QIODevice::WriteOnly) && f.write(json) == json.size();
            say(ok ? "wrote " + path : "cannot write " + path);
        }
    };

    // Every planned end writes the files first, while the window is still on screen: quitting
    // closes the windows, and the screen picture would show none of them.
    bool written = false;
    auto finish = [&] {
        if (!written) {
            written = true;
            writeFiles();
        }
        QCoreApplication::quit();
    };
    EscFilter esc(finish);
    canvas.installEventFilter(&esc);

    StopRequests requests;
    QObject::connect(&requests, &StopRequests::stopRequested, &app, finish);
    QObject::connect(&requests, &StopRequests::snapshotRequested, &app, writeFiles);
    QString error;
    if (!requests.listen(&error)) {
        std::fprintf(stderr, "pen-canvas: %s\n", qPrintable(error));
        return 1;
    }

    if (cli.isSet(quitAfter)) {
        bool ok = false;
        const int ms = cli.value(quitAfter).toInt(&ok);
        if (!ok || ms < 0) {
            std::fprintf(stderr, "pen-canvas: --quit-after wants milliseconds\n");
            return 2;
        }
        QTimer::singleShot(ms, &app, finish);
    }

    QObject::connect(&canvas, &PenCanvas::strokeFinished, &app, [&](int index) {
        const PenCanvas::Stroke& s = canvas.strokes().at(index);
        say(QString("stroke %1 %2 id=%3 points=%4 from %5,%6 to %7,%8 pixels %9,%10 to %11,%12")
                .arg(index)
                .arg(s.source == PenCanvas::Source::Mouse ? "mouse" : "touch")
                .arg(s.id)
                .arg(s.points.size())
                .arg(s.points.first().x())
                .arg(s.points.first().y())
                .arg(s.points.last().x())
                .arg(s.points.last().y())
                .arg(s.firstPixel.x())
                .arg(s.firstPixel.y())
                .arg(s.lastPixel.x())
                .arg(s.lastPixel.y()));
    });

    // Cover the screen exactly, so a widget position is a screen position and the PNG shows
    // the strokes where the pointer really went. Without a window manager (Xvfb) the
    // geometry is what places the window; with one, full-screen state does.
    QScreen* target = QGuiApplication::primaryScreen();
    if (cli.isSet(screenName)) {
        const QList<QScreen*> screens = QGuiApplication::screens();
        const auto named = std::find_if(screens.begin(), screens.end(), [&](QScreen* s) {
            return s->name() == cli.value(screenName);
        });
        if (named == screens.end()) {
            std::fprintf(stderr, "pen-canvas: no screen named %s\n", qPrintable(cli.value(screenName)));
            return 2;
        }
        target = *named;
    }
    const QRect screen = target->geometry();
    canvas.setWindowFlag(Qt::FramelessWindowHint);
    canvas.setGeometry(screen);
    canvas.showFullScreen();
    canvas.activateWindow();

    // "ready" once the window is exposed, i.e. input to the screen reaches it.
    ExposeWatch ready([&] {
        const QRect g = canvas.geometry();
        say(QString("ready %1x%2+%3+%4").arg(g.width()).arg(g.height()).arg(g.x()).arg(g.y()));
    });
    canvas.windowHandle()->installEventFilter(&ready);

    const int rc = app.exec();
    if (!written) // the window was closed: the canvas picture and the record are still whole
        writeFiles();
    const PenCanvas::Counts& c = canvas.counts();
    say(QString("strokes=%1 mouse-presses=%2 mouse-moves=%3 mouse-releases=%4 "
                "touch-presses=%5 touch-moves=%6 touch-releases=%7")
            .arg(canvas.strokes().size())
            .arg(c.mousePresses)
            .arg(c.mouseMoves)
            .arg(c.mouseReleases)
            .arg(c.touchPresses)
            .arg(c.touchMoves)
            .arg(c.touchReleases));
    return rc;
}
