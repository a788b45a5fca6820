// The projector list dialog and the settings dialog's Auto Search with a real
// search engine: the test runs in the computer namespace of a namespace pair (10.77.0.1/24
// on "pc0") and the projector simulator answers from the projector namespace.
#include "dialogtesthelpers.h"
#include "ui/addressinput.h"
#include "ui/lineeditforipaddress.h"
#include "ui/communicationsettings.h"
#include "support/logcapture.h"
#include "support/netnsprojector.h"

#include <QComboBox>
#include <QProcess>
#include <QScopeGuard>

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
    void typedAddressesAreAppended();
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
    bool startSim(const QStringList& options)
    {
        const bool ok = m_sim.start(options);
        if (!ok)
            qWarning("%s", qPrintable(m_sim.errorString()));
        return ok;
    }
    bool waitForSearchEnd(int ends = 1)
    {
        return waitFor([&] { return m_log->count(QStringLiteral("@@@Search End!!")) >= ends; },
                       8000);
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
    QVERIFY(startSim({"--projector", Hall + ",name=Hall", "--projector", Foyer + ",name=Foyer"}));
    ListDialog d{QHostAddress(Foyer)};
    d.dialog->BeginSearch();
    QVERIFY(waitFor([&] { return d.table->rowCount() >= 1; }));
    // Update while the search runs starts no second search; the rows come back from the
    // engine's list of the search that went on.
    QTest::mouseClick(d.update, Qt::LeftButton);
    QVERIFY(!d.update->isEnabled());
    QCOMPARE(d.table->rowCount(), 0);
    QVERIFY(waitForSearchEnd());
    QVERIFY(d.update->isEnabled());
    QCOMPARE(m_log->count(QStringLiteral("Start Error!!")), 0);

    QStringList addresses = column(d.table, 1);
    addresses.sort();
    QCOMPARE(addresses, (QStringList{Hall, Foyer}));
    for (int row = 0; row < d.table->rowCount(); ++row) {
        const bool current = d.table->item(row, 1)->text() == Foyer;
        QCOMPARE(d.table->item(row, 0)->text(), current ? "Foyer" : "Hall");
        QCOMPARE(d.table->item(row, 2)->text(), current ? "Connected" : "");
    }
    QVERIFY(!d.connectButton->isEnabled());
    clickRow(d.table, 0);
    QVERIFY(d.connectButton->isEnabled());
}

void TestSearchDialogsNet::typedAddressesAreAppended()
{
    // 10.77.0.12 is one of the extra projector addresses of the pair.
    const QString inRange = QStringLiteral("10.77.0.12");
    QVERIFY(startSim({"--projector", Hall + ",name=Hall", "--projector", inRange}));
    ListDialog d;
    // A typed address that answers is an ordinary row.
    answerAddressInput(Hall);
    QTest::mouseClick(d.inputAddress, Qt::LeftButton);
    QVERIFY(waitForSearchEnd());
    QCOMPARE(column(d.table, 0), QStringList{"Hall"});
    QCOMPARE(column(d.table, 2), QStringList{QString()});

    // Nobody has 10.77.0.200: a greyed row that cannot be chosen, below the earlier one.
    answerAddressInput(QStringLiteral("10.77.0.200"));
    QTest::mouseClick(d.inputAddress, Qt::LeftButton);
    QVERIFY(waitForSearchEnd(2));
    QCOMPARE(column(d.table, 1), (QStringList{Hall, QStringLiteral("10.77.0.200")}));
    QCOMPARE(d.table->item(1, 2)->text(), QStringLiteral("Search Failed"));
    const QColor grey = d.table->palette().brush(QPalette::Disabled, QPalette::WindowText).color();
    for (int c = 0; c < 3; ++c) {
        QVERIFY(!(d.table->item(1, c)->flags() & Qt::ItemIsEnabled));
        QCOMPARE(d.table->item(1, c)->foreground().color(), grey);
    }
    clickRow(d.table, 1);
    QVERIFY(d.table->selectionModel()->selectedRows().isEmpty());
    QVERIFY(!d.connectButton->isEnabled());

    // A range of 11 addresses: one request to each, besides the computer's own address.
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
    // Only the projector in the range is added, and no failed row in range mode.
    QCOMPARE(column(d.table, 1), (QStringList{Hall, QStringLiteral("10.77.0.200"), inRange}));
}

void TestSearchDialogsNet::watchdogCountsEachSearchFromZero()
{
    QVERIFY(startSim({"--projector", Hall}));
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
            QVERIFY(waitFor([&] { return broadcastRequests(m_sim) >= before + 4; }));
            QCOMPARE(broadcastRequests(m_sim), before + 4);
            QCOMPARE(d.table->rowCount(), 1);
        }
    }
}

void TestSearchDialogsNet::autoSearchTakesPortAndAdapter()
{
    QVERIFY(startSim({"--projector", Hall + ",name=Hall"}));
    CommunicationSettings settings;
    settings.SetValues(1, QString(), QStringLiteral("pj-old"), 9999, QStringLiteral("eth9"));
    settings.autoSearchOnShow = true;
    // The list's Connect hands the selected address and the interface's system name back
    // through the search facade; Auto Search takes them with port 7142 and connects.
    connectToFirstListedProjector();
    QCOMPARE(settings.exec(), 1);
    QCOMPARE(settings.type(), 0);
    QCOMPARE(settings.ipAddress(), Hall);
    QCOMPARE(settings.port(), 7142);
    QCOMPARE(settings.adapter(), QStringLiteral("pc0"));
    QCOMPARE(settings.hostName(), QStringLiteral("pj-old"));
}

void TestSearchDialogsNet::anotherInterfaceSearchesThere()
{
    // A second address on the computer's interface gives a second entry in the box. The
    // address belongs to this test's own namespace and goes with it.
    QCOMPARE(QProcess::execute(
                 "ip", {"addr", "add", "10.77.1.1/24", "broadcast", "10.77.1.255", "dev", "pc0"}),
             0);
    auto removeAddress = qScopeGuard([] {
        QProcess::execute("ip", {"addr", "del", "10.77.1.1/24", "dev", "pc0"});
    });
    QVERIFY(startSim({"--projector", Hall}));
    ListDialog d;
    QCOMPARE(d.nic->count(), 2);
    d.dialog->BeginSearch();
    QVERIFY(waitForSearchEnd());
    QCOMPARE(column(d.table, 1), QStringList{Hall});

    m_log->clear();
    d.nic->setCurrentIndex(1);
    QCOMPARE(d.table->rowCount(), 0);
    QVERIFY(m_log->contains(QStringLiteral("Send IP Address 1 : 10.77.1.255")));
    QVERIFY(waitForSearchEnd());
    QCOMPARE(d.table->rowCount(), 0); // nobody on that network
}

QTEST_MAIN(TestSearchDialogsNet)
#include "tst_searchdialogsnet.moc"
