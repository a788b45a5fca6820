// dialog-shots: saves a picture of every dialog, in the language of the system locale (the
// catalogue is looked up beside the executable, as the program does), to the folder named
// on the command line:
//   dialog-shots OUTPUT_DIR
// The projector list searches only when every network interface lies in 10.77.0.0/16, that
// is inside a namespace pair (scripts/dialog-screenshots.sh); elsewhere it stays empty.
#include "ui/commonlib.h"
#include "core/eventwait.h"
#include "app/startup.h"
#include "ui/addressinput.h"
#include "ui/lineeditforipaddress.h"
#include "engine/search/niclist.h"
#include "ui/pjsearchdlg.h"
#include "ui/aboutdialog.h"
#include "ui/communicationsettings.h"

#include <QApplication>
#include <QDir>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QTranslator>

#include <cstdio>

namespace {

bool waitUntil(const std::function<bool()>& done, int ms)
{
    EventWait wait(ms, 50);
    return wait.waitUntil(done);
}

void settle(int ms)
{
    waitUntil([] { return false; }, ms);
}

bool save(QWidget* dialog, const QString& path)
{
    dialog->show();
    dialog->raise();
    settle(300);
    const bool ok = dialog->grab().save(path);
    std::printf("%s %s\n", ok ? "saved" : "FAILED", qPrintable(path));
    return ok;
}

// True only inside a namespace pair: every interface address is a test address.
bool searchIsSafe()
{
    const NicList nics;
    if (nics.Count() == 0)
        return false;
    const QPair<QHostAddress, int> testNet =
        QHostAddress::parseSubnet(QStringLiteral("10.77.0.0/16"));
    for (int i = 0; i < nics.Count(); ++i) {
        QHostAddress address;
        if (!nics.GetIpAddress(i, address) || !address.isInSubnet(testNet))
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: dialog-shots OUTPUT_DIR\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);

    const CatalogueLocation where =
        catalogueForLocale(QLocale::system().name(), QCoreApplication::applicationDirPath());
    QTranslator translator;
    if (!translator.load(where.baseName, where.directory))
        std::fprintf(stderr, "no catalogue %s in %s\n", qPrintable(where.baseName),
                     qPrintable(where.directory));
    app.installTranslator(&translator);
    app.setFont(CommonLib::translatedFont("QObject"));
    const QString lang = where.baseName.section(QLatin1Char('.'), 1);

    bool ok = true;
    {
        AboutDialog about;
        ok &= save(&about, out + "/about-" + lang + ".png");
    }
    {
        CommunicationSettings settings;
        settings.SetValues(0, QStringLiteral("10.77.0.2"), QStringLiteral("projector-hall"), 7142,
                           QStringLiteral("pc0"));
        ok &= save(&settings, out + "/communication-settings-" + lang + ".png");
    }
    {
        const QHostAddress range[2] = {QHostAddress("10.77.0.10"), QHostAddress("10.77.0.20")};
        AddressInput input(1, range);
        ok &= save(&input, out + "/address-input-" + lang + ".png");
    }
    {
        const QHostAddress range[2];
        PJSearchDlg list(0x01000000, QHostAddress("10.77.0.3"), 0, range);
        list.show();
        auto* table = list.findChild<QTableWidget*>("tableWidgetPJList");
        if (searchIsSafe()) {
            list.BeginSearch();
            waitUntil([&] { return table->rowCount() >= 3; }, 3000);
            settle(2200); // the broadcast search ends
            // A typed address that nobody answers, to show the failed row.
            QTimer::singleShot(200, &list, [] {
                if (auto* input = qobject_cast<AddressInput*>(QApplication::activeModalWidget())) {
                    input->findChild<CLineEditForIPAddress*>("txtLANIPv4Start")
                        ->setText(QStringLiteral("10.77.0.200"));
                    input->findChild<QPushButton*>("pushButtonAdd")->click();
                }
            });
            list.findChild<QPushButton*>("pushButtonInputAddress")->click();
            settle(1500);
            table->selectRow(0);
            list.findChild<QPushButton*>("pushButtonConnect")->setEnabled(true);
        } else {
            std::fprintf(stderr, "not in a namespace pair: the projector list stays empty\n");
        }
        ok &= save(&list, out + "/projector-list-" + lang + ".png");
    }
    return ok ? 0 : 1;
}
