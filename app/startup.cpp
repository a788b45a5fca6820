#include "app/startup.h"

#include "app/commonlib.h"
#include "app/inkbridge.h"
#include "app/logging.h"
#include "app/startservice.h"

#include <QApplication>
#include <QDir>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include <memory>

CatalogueLocation catalogueForLocale(const QString& localeName, const QString& applicationDir)
{
    const QString language = localeName.left(2) == QLatin1String("ja") ? QStringLiteral("ja-JP")
                                                                        : QStringLiteral("en-US");
    return {QStringLiteral("QuillRelay.") + language,
            applicationDir + QDir::separator() + language};
}

int runQuillRelay(int argc, char** argv)
{
    int exitCode = 0;
    // Declared in creation order, so that an exception destroys what exists in reverse.
    std::unique_ptr<QApplication> app;
    std::unique_ptr<Inkbridge> controller;
    CStartService* guard = nullptr;
    std::unique_ptr<QTranslator> translator;
    std::unique_ptr<QFont> font;
    try {
        app = std::make_unique<QApplication>(argc, argv);
        // Lets Wayland desktops find the menu entry's icon for the dialogs.
        QGuiApplication::setDesktopFileName(QStringLiteral("com.lumoravista.QuillRelay"));
        controller = std::make_unique<Inkbridge>(nullptr);
        QApplication::setQuitOnLastWindowClosed(false);

        guard = new CStartService(controller.get());
        if (!guard->CheckStart()) {
            qCDebug(lcApp, "!!! QuillRelay is already exists !!!");
            delete guard;
            return 0;
        }

        translator = std::make_unique<QTranslator>();
        const CatalogueLocation catalogue =
            catalogueForLocale(QLocale::system().name(), QCoreApplication::applicationDirPath());
        (void)translator->load(catalogue.baseName, catalogue.directory);
        QCoreApplication::installTranslator(translator.get());

        font = std::make_unique<QFont>(CommonLib::translatedFont("QObject"));
        QApplication::setFont(*font);

        QTimer::singleShot(0, controller.get(), &Inkbridge::run);
        exitCode = QApplication::exec();

        delete guard;
        guard = nullptr;
    } catch (...) {
        // Nothing is written; what exists is destroyed below and the code held is returned.
    }
    delete guard;
    font.reset();
    translator.reset();
    controller.reset();
    app.reset();
    return exitCode;
}
