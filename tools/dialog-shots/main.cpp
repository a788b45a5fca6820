// dialog-shots: saves a picture of every dialog, in the language of the system locale (the
// catalogue is looked up beside the executable, as the program does), to the folder named
// on the command line:
//   dialog-shots OUTPUT_DIR
// The projector list searches only when every network interface lies in 10.77.0.0/16, that
// is inside a namespace pair (scripts/dialog-screenshots.sh); elsewhere it stays empty.
#include "core/eventwait.h"
#include "engine/search/niclist.h"
#include "ui/aboutdialog.h"
#include "ui/addressinput.h"
#include "ui/commonlib.h"
#include "ui/communicationsettings.h"
#include "ui/lineeditforipaddress.h"
#include "ui/pjsearchdlg.h"

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

    // The program's catalogue for the system locale, from beside the program.
    const QString lang = QLocale::system().name().startsWith(QLatin1String("ja"))
                             ? QStringLiteral("ja-JP")
                             : QStringLiteral("en-US");
    QTranslator translator;
    const QString dir = QCoreApplication::applicationDirPath() + QLatin1Char('/') + lang;
    if (!translator.load(QStringLiteral("QuillRelay.") + lang, dir))
        std::fprintf(stderr, "no catalogue for %s in %s\n", qPrintable(lang), qPrintable(dir));
    app.installTranslator(&translator);
    app.setFont(CommonLib::translatedFont("QObject"));

    bool ok = true;
    {
        AboutDialog about;
        ok &= save(&about, out + "/about-" + lang + ".png");
    }
    {
        CommunicationSettings settings;
        ConnectionSettings values;
        values.ipAddress = QStringLiteral("10.77.0.2");
        values.hostName = QStringLiteral("projector-hall");
        values.adapter = QStringLiteral("pc0");
        settings.SetValues(values);
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
