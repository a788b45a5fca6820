// The projector list dialog, its facade and the settings dialog's Auto Search with a real
// search engine: the test runs in the computer namespace of a namespace pair (10.77.0.1/24
// on "pc0") and the projector simulator answers from the projector namespace.
#include "dialogtesthelpers.h"
#include "discovery/addressinput.h"
#include "discovery/lineeditexbase.h"
#include "discovery/lineeditforipaddress.h"
#include "discovery/pjsearch.h"
#include "discovery/pjsearchdlg.h"
#include "settings/communicationsettings.h"
#include "support/logcapture.h"
#include "support/netnsprojector.h"

#include <QComboBox>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QTableWidget>
#include <QTest>

namespace {
const QString Own = QStringLiteral("10.77.0.1");
const QString Hall = QStringLiteral("10.77.0.2");
const QString Foyer = QStringLiteral("10.77.0.3");

QStringList column(const QTableWidget* table, int column)
{
    QStringList out;
    for (int row = 0; row < table->rowCount(); ++row)
        out << (table->item(row, column) ? table->item(row, column)->text() : QString());
    return out;
}

void clickRow(QTableWidget* table, int row)
{
    const QRect cell = table->visualItemRect(table->item(row, 0));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
}

// Answers the address input dialog that the list dialog opens with these fields.
void answerAddressInput(const QString& start, const QString& end = QString())
{
    answerModal<AddressInput>([start, end](AddressInput* input) {
        if (!end.isEmpty())
            input->findChild<QAbstractButton*>("radioButtonInputIpRange")->click();
        input->findChild<CLineEditForIPAddress*>("txtLANIPv4Start")->setText(start);
        if (!end.isEmpty())
            input->findChild<CLineEditForIPAddress*>("txtLANIPv4End")->setText(end);
        input->findChild<QPushButton*>("pushButtonAdd")->click();
    });
}

// Broadcast search requests that reached the simulator so far.
int broadcastRequests(const NetnsProjector& sim)
{
    int count = 0;
    for (const QString& line : sim.lines(QStringLiteral("search-rx ")))
        count += line.contains(QStringLiteral(" cmd=2 ")) ? 1 : 0;
    return count;
}
} // namespace

class TestSearchDialogsNet : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void broadcastFillsTheList();
    void updateDuringSearchWaitsForItsEnd();
    void typedAddressThatDoesNotAnswerIsGreyed();
    void typedAddressThatAnswersIsNoFailure();
    void rangeTargetsEveryAddressAndAppends();
    void facadeReturnsSelectionAndInterface();
    void facadeClosedKeepsNothing();
    void watchdogCountsEachSearchFromZero();
    void autoSearchTakesPortAndAdapter();
    void anotherInterfaceSearchesThere();

private:
    struct ListDialog {
        explicit ListDialog(const QHostAddress& current = QHostAddress())
        {
            const QHostAddress range[2];
            dialog = std::make_unique<PJSearchDlg>(0x01000000, current, 0, range);
            table = dialog->findChild<QTableWidget*>("tableWidgetPJList");
            nic = dialog->findChild<QComboBox*>("comboBoxNic");
            connectButton = dialog->findChild<QPushButton*>("pushButtonConnect");
            update = dialog->findChild<QPushButton*>("pushButtonUpdate");
            inputAddress = dialog->findChild<QPushButton*>("pushButtonInputAddress");
            dialog->show();
        }
        std::unique_ptr<PJSearchDlg> dialog;
        QTableWidget* table = nullptr;
        QComboBox* nic = nullptr;
        QPushButton* connectButton = nullptr;
        QPushButton* update = nullptr;
        QPushButton* inputAddress = nullptr;
    };
    bool waitForSearchEnd(int ends = 1, int timeoutMs = 8000)
    {
        return waitFor([&] { return m_log->count(QStringLiteral("@@@Search End!!")) >= ends; },
                       timeoutMs);
    }

    NetnsProjector m_sim;
    // Made per test: the test runner installs its own message handler once it starts.
    std::unique_ptr<LogCapture> m_log;
};

void TestSearchDialogsNet::init()
{
    QR_REQUIRE_NETNS();
    m_log = std::make_unique<LogCapture>();
}

void TestSearchDialogsNet::cleanup()
{
    m_sim.stop();
    m_log.reset();
}

void TestSearchDialogsNet::broadcastFillsTheList()
{
    QVERIFY2(
        m_sim.start({"--projector", Hall + ",name=Hall", "--projector", Foyer + ",name=Foyer"}),
        qPrintable(m_sim.errorString()));
    ListDialog d{QHostAddress(Foyer)};
    QCOMPARE(d.nic->count(), 1);
    QCOMPARE(d.nic->currentText(), QStringLiteral("pc0"));
    QCOMPARE(d.dialog->GetNicName(d.dialog->GetNicIndex()), QStringLiteral("pc0"));
    QCOMPARE(d.dialog->GetNicName(1), QString());
    QCOMPARE(d.dialog->GetNicName(-1), QString());
    QVERIFY(!d.connectButton->isEnabled());

    d.dialog->BeginSearch();
    QVERIFY(waitForSearchEnd());
    QStringList addresses = column(d.table, 1);
    addresses.sort();
    QCOMPARE(addresses, (QStringList{Hall, Foyer}));
    for (int row = 0; row < d.table->rowCount(); ++row) {
        const bool current = d.table->item(row, 1)->text() == Foyer;
        QCOMPARE(d.table->item(row, 0)->text(), current ? "Foyer" : "Hall");
        QCOMPARE(d.table->item(row, 2)->text(), current ? "Connected" : "");
        QCOMPARE(d.table->rowHeight(row), QFontMetrics(QApplication::font()).height() + 6);
    }
    QVERIFY(!d.connectButton->isEnabled());
    clickRow(d.table, 0);
    QVERIFY(d.connectButton->isEnabled());

    // A new search clears the table and fills it again, without duplicates.
    QTest::mouseClick(d.update, Qt::LeftButton);
    QCOMPARE(d.table->rowCount(), 0);
    QVERIFY(!d.connectButton->isEnabled());
    QVERIFY(waitForSearchEnd(2));
    QCOMPARE(d.table->rowCount(), 2);
}

void TestSearchDialogsNet::updateDuringSearchWaitsForItsEnd()
{
    QVERIFY2(m_sim.start({"--projector", Hall}), qPrintable(m_sim.errorString()));
    ListDialog d;
    d.dialog->BeginSearch();
    QVERIFY(waitFor([&] { return d.table->rowCount() == 1; }));
    QTest::mouseClick(d.update, Qt::LeftButton);
    QVERIFY(!d.update->isEnabled()); // no second search while one runs
    QCOMPARE(d.table->rowCount(), 0);
    QVERIFY(waitForSearchEnd());
    QVERIFY(d.update->isEnabled());
    QCOMPARE(QApplication::focusWidget(), d.update);
    // The rows come back from the engine's list of the search that went on.
    QCOMPARE(column(d.table, 1), QStringList{Hall});
    QCOMPARE(m_log->count(QStringLiteral("Start Error!!")), 0);
}

void TestSearchDialogsNet::typedAddressThatDoesNotAnswerIsGreyed()
{
    QVERIFY2(m_sim.start({"--projector", Hall}), qPrintable(m_sim.errorString()));
    ListDialog d;
    d.dialog->BeginSearch();
    QVERIFY(waitForSearchEnd());
    QCOMPARE(d.table->rowCount(), 1);

    // Nobody has 10.77.0.200.
    answerAddressInput(QStringLiteral("10.77.0.200"));
    QTest::mouseClick(d.inputAddress, Qt::LeftButton);
    QVERIFY(waitForSearchEnd(2));
    QCOMPARE(column(d.table, 1), (QStringList{Hall, QStringLiteral("10.77.0.200")}));
    const int failed = 1;
    QCOMPARE(d.table->item(failed, 0)->text(), QString());
    QCOMPARE(d.table->item(failed, 2)->text(), QStringLiteral("Search Failed"));
    for (int c = 0; c < 3; ++c) {
        QVERIFY(!(d.table->item(failed, c)->flags() & Qt::ItemIsEnabled));
        QCOMPARE(d.table->item(failed, c)->foreground().color(),
                 d.table->palette().brush(QPalette::Disabled, QPalette::WindowText).color());
    }
    QVERIFY(d.table->item(0, 0)->flags() & Qt::ItemIsEnabled);
    // The greyed row cannot be chosen.
    clickRow(d.table, failed);
    QVERIFY(d.table->selectionModel()->selectedRows().isEmpty());
    QVERIFY(!d.connectButton->isEnabled());

    int mode = -1;
    QHostAddress range[2];
    d.dialog->GetInputAddress(mode, range);
    QCOMPARE(mode, 0);
    QCOMPARE(range[0], QHostAddress("10.77.0.200"));
    QVERIFY(m_log->contains(QStringLiteral("Input  Mode = 0")));
}

void TestSearchDialogsNet::typedAddressThatAnswersIsNoFailure()
{
    QVERIFY2(m_sim.start({"--projector", Hall + ",name=Hall"}), qPrintable(m_sim.errorString()));
    ListDialog d;
    answerAddressInput(Hall);
    QTest::mouseClick(d.inputAddress, Qt::LeftButton);
    QVERIFY(waitForSearchEnd());
    QCOMPARE(column(d.table, 1), QStringList{Hall});
    QCOMPARE(column(d.table, 2), QStringList{QString()});
    QCOMPARE(d.table->item(0, 0)->text(), QStringLiteral("Hall"));
}

void TestSearchDialogsNet::rangeTargetsEveryAddressAndAppends()
{
    // 10.77.0.12 is one of the extra projector addresses of the pair.
    const QString inRange = QStringLiteral("10.77.0.12");
    QVERIFY2(m_sim.start({"--projector", Hall, "--projector", inRange}),
             qPrintable(m_sim.errorString()));
    ListDialog d;
    QStringList before;
    answerAddressInput(Hall);
    QTest::mouseClick(d.inputAddress, Qt::LeftButton);
    QVERIFY(waitForSearchEnd());
    QCOMPARE(column(d.table, 1), QStringList{Hall});

    m_log->clear();
    answerAddressInput(QStringLiteral("10.77.0.10"), QStringLiteral("10.77.0.20"));
    QTest::mouseClick(d.inputAddress, Qt::LeftButton);
    QVERIFY(waitForSearchEnd());
    const QList<QHostAddress> targets = d.dialog->inputIpList();
    QCOMPARE(targets.size(), 12);
    QCOMPARE(targets.first(), QHostAddress(Own));
    QCOMPARE(targets.at(1), QHostAddress("10.77.0.10"));
    QCOMPARE(targets.last(), QHostAddress("10.77.0.20"));
    int sent = 0;
    for (const QString& line : m_log->lines())
        sent += line.startsWith(QStringLiteral("Send IP Address")) ? 1 : 0;
    QCOMPARE(sent, 11);
    // Appended below the earlier row; no failed row in range mode.
    QCOMPARE(column(d.table, 1), (QStringList{Hall, inRange}));
}

void TestSearchDialogsNet::facadeReturnsSelectionAndInterface()
{
    QVERIFY2(m_sim.start({"--projector", Hall + ",name=Hall"}), qPrintable(m_sim.errorString()));
    PJSearch search;
    answerModal<PJSearchDlg>([&](PJSearchDlg* list) {
        auto* table = list->findChild<QTableWidget*>("tableWidgetPJList");
        // The search started by itself; the row comes within the broadcast's 2 s.
        if (!waitFor([&] { return table->rowCount() == 1; }))
            return list->reject();
        clickRow(table, 0);
        list->findChild<QPushButton*>("pushButtonConnect")->click();
    });
    const QHostAddress range[2];
    QCOMPARE(search.SelectIpList(0x01000000, QHostAddress(), 0, range, nullptr), 1);
    QCOMPARE(search.GetSelectedIpList(), QList<QHostAddress>{QHostAddress(Hall)});
    QCOMPARE(search.GetAdapterName(), QStringLiteral("pc0"));
    QCOMPARE(m_log->count(QStringLiteral("SelectIpList = ") + Hall), 1);
    QVERIFY(!search.dialog());
}

void TestSearchDialogsNet::facadeClosedKeepsNothing()
{
    QVERIFY2(m_sim.start({"--projector", Hall}), qPrintable(m_sim.errorString()));
    PJSearch search;
    answerModal<PJSearchDlg>([&](PJSearchDlg* list) {
        // An address input first, then Close: the input survives, the choice does not.
        answerAddressInput(QStringLiteral("10.77.0.40"), QStringLiteral("10.77.0.41"));
        list->findChild<QPushButton*>("pushButtonInputAddress")->click();
        list->findChild<QPushButton*>("pushButtonClose")->click();
    });
    const QHostAddress range[2];
    QCOMPARE(search.SelectIpList(0x01000000, QHostAddress(), 0, range, nullptr), 0);
    QVERIFY(search.GetSelectedIpList().isEmpty());
    QVERIFY(search.GetAdapterName().isEmpty());
    int mode = -1;
    QHostAddress input[2];
    search.GetInputAddress(mode, input);
    QCOMPARE(mode, 1);
    QCOMPARE(input[0], QHostAddress("10.77.0.40"));
    QCOMPARE(input[1], QHostAddress("10.77.0.41"));
}

void TestSearchDialogsNet::watchdogCountsEachSearchFromZero()
{
    QVERIFY2(m_sim.start({"--projector", Hall}), qPrintable(m_sim.errorString()));
    // Several healthy broadcast searches in a row, in one dialog and in the next: each is
    // watched from a count of 0, so none is cut short and each sends all four requests.
    for (int dialogs = 0; dialogs < 2; ++dialogs) {
        ListDialog d;
        for (int search = 0; search < 2; ++search) {
            m_log->clear();
            const int before = broadcastRequests(m_sim);
            if (search == 0)
                d.dialog->BeginSearch();
            else
                QTest::mouseClick(d.update, Qt::LeftButton);
            QVERIFY(waitForSearchEnd());
            QVERIFY(m_log->contains(QStringLiteral("Search Timeout Count = 1")));
            QCOMPARE(m_log->count(QStringLiteral("#####################SearchTimeout!!")), 0);
            QVERIFY(d.dialog->searchTimeoutCount() <= 5);
            QVERIFY(waitFor([&] { return broadcastRequests(m_sim) >= before + 4; }));
            QCOMPARE(broadcastRequests(m_sim), before + 4);
            QCOMPARE(d.table->rowCount(), 1);
        }
    }
}

void TestSearchDialogsNet::autoSearchTakesPortAndAdapter()
{
    QVERIFY2(m_sim.start({"--projector", Hall + ",name=Hall"}), qPrintable(m_sim.errorString()));
    CommunicationSettings settings;
    settings.SetValues(1, QString(), QStringLiteral("pj-old"), 9999, QStringLiteral("eth9"));
    settings.autoSearchOnShow = true;
    answerModal<PJSearchDlg>([&](PJSearchDlg* list) {
        auto* table = list->findChild<QTableWidget*>("tableWidgetPJList");
        if (!waitFor([&] { return table->rowCount() == 1; }))
            return list->reject();
        clickRow(table, 0);
        list->findChild<QPushButton*>("pushButtonConnect")->click();
    });
    QCOMPARE(settings.exec(), 1);
    QCOMPARE(settings.type(), 0);
    QCOMPARE(settings.ipAddress(), Hall);
    QCOMPARE(settings.port(), 7142);
    QCOMPARE(settings.adapter(), QStringLiteral("pc0"));
    QCOMPARE(settings.hostName(), QStringLiteral("pj-old"));
    QCOMPARE(settings.findChild<QLineEditExBase*>("lineEdit_Port")->text(), QStringLiteral("7142"));
}

void TestSearchDialogsNet::anotherInterfaceSearchesThere()
{
    // A second address on the computer's interface gives a second entry in the box. The
    // address belongs to this test's own namespace and goes with it.
    const QStringList add = {"addr",        "add", "10.77.1.1/24", "broadcast",
                             "10.77.1.255", "dev", "pc0"};
    QCOMPARE(QProcess::execute("ip", add), 0);
    auto removeAddress = qScopeGuard([] {
        QProcess::execute("ip", {"addr", "del", "10.77.1.1/24", "dev", "pc0"});
    });
    QVERIFY2(m_sim.start({"--projector", Hall}), qPrintable(m_sim.errorString()));
    ListDialog d;
    QCOMPARE(d.nic->count(), 2);
    d.dialog->BeginSearch();
    QVERIFY(waitForSearchEnd());
    QCOMPARE(column(d.table, 1), QStringList{Hall});

    m_log->clear();
    d.nic->setCurrentIndex(1);
    QCOMPARE(d.dialog->GetNicIndex(), 1);
    QCOMPARE(d.dialog->GetNicName(1), QStringLiteral("pc0"));
    QCOMPARE(d.table->rowCount(), 0);
    QVERIFY(m_log->contains(QStringLiteral("Send IP Address 1 : 10.77.1.255")));
    QVERIFY(waitForSearchEnd());
    QCOMPARE(d.table->rowCount(), 0); // nobody on that network
}

QTEST_MAIN(TestSearchDialogsNet)
#include "tst_searchdialogsnet.moc"
