#include "app/startup.h"

#include "app/sessionend.h"
#include "app/startservice.h"
#include "core/logging.h"
#include "engine/inkbridge.h"
#include "ui/commonlib.h"
#include "ui/inkbridgetray.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include <cstdio>
#include <exception>
#include <memory>
#include <optional>

namespace {
// How long --exit waits for the running instance to have done what Exit does and gone.
constexpr int EndWaitMs = 20000;

// --help, --version and --exit are answered before the single-instance probe and without a
// display, so that a script, a package check or an installer can ask the installed program
// what it is, or end the running instance, while it runs. Every other argument is left to
// the toolkit.
std::optional<int> answerCommandLine(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QStringLiteral("Turns the electronic pen of a network projector into touch or mouse "
                       "input of this computer. Without options it starts in the system tray, "
                       "connects to the projector of its settings and stays there until Exit."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption end(
        QStringLiteral("exit"),
        QStringLiteral("Ends the running instance as Exit does (settings saved, pen function "
                       "off) and waits until it has gone; exits with 1 if it has not within %1 s.")
            .arg(EndWaitMs / 1000));
    parser.addOption(end);
    (void)parser.parse(arguments); // the toolkit's own options are unknown here
    const bool wantsHelp = parser.isSet(help) || parser.isSet(QStringLiteral("help-all"));
    if (!wantsHelp && !parser.isSet(version) && !parser.isSet(end))
        return std::nullopt;
    const QCoreApplication app(argc, argv); // the help text names the program by it
    if (!wantsHelp && parser.isSet(end)) {
        switch (CStartService::endRunningInstance(EndWaitMs)) {
        case CStartService::EndResult::Ended:
            std::fputs("Quill Relay has ended.\n", stdout);
            return 0;
        case CStartService::EndResult::NotRunning:
            std::fputs("Quill Relay is not running.\n", stdout);
            return 0;
        case CStartService::EndResult::StillRunning:
            break;
        }
        std::fputs("Quill Relay is still running.\n", stderr);
        return 1;
    }
    const QString text = wantsHelp ? parser.helpText()
                             : QStringLiteral("Quill Relay %1\n").arg(QStringLiteral(QR_VERSION));
    std::fputs(qPrintable(text), stdout);
    std::fflush(stdout);
    return 0;
}

// Qt 6.4 stays on xcb under GNOME's Wayland session, where Xwayland names its screens
// XWAYLAND0…: the Wayland platform gives them the outputs' own names, which the chosen
// screen and the desktop's binding of the input devices go by. xcb remains the fallback
// where the Wayland plugin is missing. Only where nobody chose a platform.
void preferWaylandPlatform()
{
    const bool waylandSession = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
                                qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland");
    if (waylandSession && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "wayland;xcb");
}
} // namespace

CatalogueLocation catalogueForLocale(const QString& localeName, const QString& applicationDir)
{
    const QString language = localeName.left(2) == QLatin1String("ja") ? QStringLiteral("ja-JP")
                                                                        : QStringLiteral("en-US");
    return {QStringLiteral("QuillRelay.") + language,
            applicationDir + QDir::separator() + language};
}

int runQuillRelay(int argc, char** argv)
{
    if (const std::optional<int> answered = answerCommandLine(argc, argv))
        return *answered;
    QCoreApplication::setApplicationVersion(QStringLiteral(QR_VERSION));

    int exitCode = 0;
    // Declared in creation order, so that an exception destroys what exists in reverse.
    std::unique_ptr<QApplication> app;
    std::unique_ptr<Inkbridge> controller;
    std::unique_ptr<CStartService> guard;
    std::unique_ptr<QTranslator> translator;
    std::unique_ptr<InkbridgeTray> tray;
    std::unique_ptr<SessionEndWatcher> sessionEnd;
    preferWaylandPlatform();
    try {
        app = std::make_unique<QApplication>(argc, argv);
        // Lets Wayland desktops find the menu entry's icon for the dialogs.
        QGuiApplication::setDesktopFileName(QStringLiteral("com.lumoravista.QuillRelay"));
        controller = std::make_unique<Inkbridge>(Inkbridge::platformServices());
        QApplication::setQuitOnLastWindowClosed(false);

        guard = std::make_unique<CStartService>();
        if (!guard->CheckStart()) {
            qCDebug(lcApp, "!!! QuillRelay is already exists !!!");
            return 0;
        }

        translator = std::make_unique<QTranslator>();
        const CatalogueLocation catalogue =
            catalogueForLocale(QLocale::system().name(), QCoreApplication::applicationDirPath());
        (void)translator->load(catalogue.baseName, catalogue.directory);
        QCoreApplication::installTranslator(translator.get());
        QApplication::setFont(CommonLib::translatedFont("QObject"));

        tray = std::make_unique<InkbridgeTray>(*controller);
        sessionEnd = std::make_unique<SessionEndWatcher>();
        QObject::connect(sessionEnd.get(), &SessionEndWatcher::sessionEnding, controller.get(),
                         &Inkbridge::endSession);
        QObject::connect(guard.get(), &CStartService::endRequested, controller.get(),
                         &Inkbridge::endSession);
        QObject::connect(controller.get(), &Inkbridge::quitRequested, app.get(),
                         [] { QCoreApplication::exit(0); });
        QTimer::singleShot(0, controller.get(), &Inkbridge::run);
        exitCode = QApplication::exec();
    } catch (const std::exception& error) {
        // A warning, so that it shows without the debug output; what exists is destroyed
        // below.
        qCWarning(lcApp, "ended by an exception: %s", error.what());
        exitCode = 1;
    } catch (...) {
        qCWarning(lcApp, "ended by an exception: unknown exception");
        exitCode = 1;
    }
    // The guard goes first, so that a new start succeeds as soon as this one is done.
    guard.reset();
    return exitCode;
}
