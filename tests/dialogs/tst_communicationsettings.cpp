#include "dialogtesthelpers.h"
#include "ui/addressinput.h"
#include "ui/lineeditexbase.h"
#include "ui/lineeditforipaddress.h"
#include "engine/search/niclist.h"
#include "ui/pjsearchdlg.h"
#include "ui/communicationsettings.h"

#include "support/logcapture.h"

#include <QRadioButton>

// The communication settings dialog without a projector: values in and out, the checks on
// Connect, the keys of the address field and the automatic search at first show. It runs
// in a namespace with loopback only, so the search it opens finds no interface to use.
class TestCommunicationSettings : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void setValuesSelectsTheAddressField_data();
    void setValuesSelectsTheAddressField();
    void connectChecksTheValues_data();
    void connectChecksTheValues();
    void howTheDialogEnds();
    void addressFieldKeys();
    void autoSearchOnlyAtFirstShow();
    void projectorListWithoutInterfaces();

private:
    struct Dialog {
        explicit Dialog(int type = 0, const QString& ipText = QStringLiteral("10.77.0.2"),
                        const QString& hostText = QString(), int portNumber = 7142,
                        const QString& adapter = QString())
        {
            dialog = std::make_unique<CommunicationSettings>();
            dialog->SetValues(type, ipText, hostText, portNumber, adapter);
            ipRadio = dialog->findChild<QRadioButton*>("radioButton_IPAdress");
            hostRadio = dialog->findChild<QRadioButton*>("radioButton_HostName");
            ip = dialog->findChild<CLineEditForIPAddress*>("lineEdit_IPAddress");
            host = dialog->findChild<CLineEditForIPAddress*>("lineEdit_HostName");
            port = dialog->findChild<QLineEditExBase*>("lineEdit_Port");
            connectButton = dialog->findChild<QPushButton*>("pushButton_Connect");
            closeButton = dialog->findChild<QPushButton*>("pushButton_Close");
        }
        bool show() { return showActive(dialog.get()); }
        std::unique_ptr<CommunicationSettings> dialog;
        QRadioButton* ipRadio = nullptr;
        QRadioButton* hostRadio = nullptr;
        CLineEditForIPAddress* ip = nullptr;
        CLineEditForIPAddress* host = nullptr;
        QLineEditExBase* port = nullptr;
        QPushButton* connectButton = nullptr;
        QPushButton* closeButton = nullptr;
    };
};

void TestCommunicationSettings::initTestCase()
{
    // The automatic search must never reach a real network.
    if (NicList().Count() != 0)
        QSKIP("SKIPPED: this test must run without network interfaces (tests/support/isolated.sh)");
}

void TestCommunicationSettings::setValuesSelectsTheAddressField_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("byHostName");
    QTest::newRow("address") << 0 << false;
    QTest::newRow("host name") << 1 << true;
    QTest::newRow("unknown type means address") << 5 << false;
}

void TestCommunicationSettings::setValuesSelectsTheAddressField()
{
    QFETCH(int, type);
    QFETCH(bool, byHostName);
    Dialog d(type, QStringLiteral("10.77.0.2"), QStringLiteral("pj-room-3"));
    QVERIFY(d.show());
    QCOMPARE(d.hostRadio->isChecked(), byHostName);
    QCOMPARE(d.host->isEnabled(), byHostName);
    QCOMPARE(d.ip->isEnabled(), !byHostName);
    QCOMPARE(plain(d.ip->text()), QStringLiteral("10.77.0.2"));
    QCOMPARE(d.host->text(), QStringLiteral("pj-room-3"));

    // The radio buttons switch the fields.
    (byHostName ? d.ipRadio : d.hostRadio)->click();
    QCOMPARE(d.host->isEnabled(), !byHostName);
    QCOMPARE(d.ip->isEnabled(), byHostName);
}

void TestCommunicationSettings::connectChecksTheValues_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("message"); // empty: accepted
    auto row = [](const char* name, int type, const char* ip, const char* host, const char* port,
                  const char* message) {
        QTest::newRow(name) << type << QString(ip) << QString(host) << QString(port)
                            << QString(message);
    };
    // The limits of each value are the settings' own; here: which field counts, the masked
    // address and the port text as typed, and which message wins.
    row("address", 0, "10.77.0.10", "", "7142", "");
    row("host name", 1, "", "pj-3", "4352", "");
    row("host name ignores a bad address", 1, "10.77.0.300", "pj-3", "7142", "");
    row("empty host name", 1, "10.77.0.10", "", "7142", "Host name is invalid.");
    row("incomplete address", 0, "10.77", "", "7142", "IP address is invalid.");
    row("port 70000 beats a bad address", 0, "10.77.0.300", "", "70000", "Port number is invalid.");
    row("empty port", 0, "10.77.0.10", "", "", "Port number is invalid.");
}

void TestCommunicationSettings::connectChecksTheValues()
{
    QFETCH(int, type);
    QFETCH(QString, ip);
    QFETCH(QString, host);
    QFETCH(QString, port);
    QFETCH(QString, message);

    Dialog d(0, QStringLiteral("10.77.0.99"), QStringLiteral("old"), 9999, QStringLiteral("veth7"));
    QVERIFY(d.show());
    (type == 1 ? d.hostRadio : d.ipRadio)->setChecked(true);
    d.ip->setText(ip);
    d.host->setText(host);
    d.port->setText(port);

    MessageBoxAnswer box;
    box.arm();
    QTest::mouseClick(d.connectButton, Qt::LeftButton);
    if (message.isEmpty()) {
        QCOMPARE(d.dialog->result(), 1);
        QVERIFY(!d.dialog->isVisible());
        QCOMPARE(box.count, 0);
        QCOMPARE(d.dialog->type(), type);
        // The address field's text without blanks, whichever field counts.
        QCOMPARE(d.dialog->ipAddress(), plain(d.ip->text()));
        QCOMPARE(d.dialog->port(), port.toInt());
    } else {
        QVERIFY(waitFor([&] { return box.count == 1; }));
        QCOMPARE(box.text, message);
        QVERIFY(d.dialog->isVisible());
        // Nothing is taken over from a rejected input.
        QCOMPARE(d.dialog->ipAddress(), QStringLiteral("10.77.0.99"));
        QCOMPARE(d.dialog->port(), 9999);
        d.dialog->close();
        QCOMPARE(d.dialog->result(), 0);
    }
    QCOMPARE(d.dialog->adapter(), QStringLiteral("veth7"));
}

void TestCommunicationSettings::howTheDialogEnds()
{
    Dialog d;
    QTimer::singleShot(0, d.connectButton, &QPushButton::click);
    QCOMPARE(d.dialog->exec(), 1); // the result set by Connect survives the close it does
    QTimer::singleShot(0, d.closeButton, &QPushButton::click);
    QCOMPARE(d.dialog->exec(), 0); // not the result of the earlier run
    // Return and Escape typed in the address field reach the dialog.
    for (const auto& [key, result] : {std::pair{Qt::Key_Return, 1}, {Qt::Key_Escape, 0}}) {
        QTimer::singleShot(0, d.ip, [&d, key = key] {
            d.ip->setFocus();
            QTest::keyClick(d.ip, key);
        });
        QCOMPARE(d.dialog->exec(), result);
    }
}

void TestCommunicationSettings::addressFieldKeys()
{
    Dialog d;
    QVERIFY(d.show());
    // At the start of the field these keys jump to its last octet, not out of it.
    for (Qt::Key key : {Qt::Key_Right, Qt::Key_Up, Qt::Key_Backtab}) {
        d.ip->setFocus();
        d.ip->setCursorPosition(0);
        QTest::keyClick(d.ip, key, key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
        QCOMPARE(QApplication::focusWidget(), d.ip);
        QCOMPARE(d.ip->cursorPosition(), 21);
    }
    // Digits still go into the field.
    QTest::keyClick(d.ip, Qt::Key_Delete);
    QTest::keyClicks(d.ip, QStringLiteral("7"));
    QCOMPARE(plain(d.ip->text()), QStringLiteral("10.77.0.7"));
}

void TestCommunicationSettings::autoSearchOnlyAtFirstShow()
{
    auto listIsUp = [] {
        return qobject_cast<PJSearchDlg*>(QApplication::activeModalWidget());
    };
    Dialog notAsked;
    QVERIFY(notAsked.show());
    QVERIFY(!waitFor(listIsUp, 300));
    notAsked.dialog->hide();

    Dialog first(0, QString());
    first.dialog->autoSearchOnShow = true;
    int listsOpened = 0;
    answerModal<PJSearchDlg>([&listsOpened](PJSearchDlg* list) {
        ++listsOpened;
        list->reject();
    });
    first.dialog->show(); // the list takes the activation from it at once
    QVERIFY(waitFor([&] { return listsOpened == 1; }));
    // The list was cancelled: nothing changed.
    QVERIFY(first.dialog->isVisible());
    QCOMPARE(plain(first.ip->text()), QStringLiteral("..."));
    QCOMPARE(first.port->text(), QStringLiteral("7142"));

    first.dialog->hide();
    first.dialog->show();
    QVERIFY(!waitFor(listIsUp, 300));
    QCOMPARE(listsOpened, 1);
}

void TestCommunicationSettings::projectorListWithoutInterfaces()
{
    LogCapture log;
    const QHostAddress range[2] = {QHostAddress("10.77.0.5"), QHostAddress()};
    PJSearchDlg list(0x01000000, QHostAddress(), 0, range);
    list.show();
    auto* table = list.findChild<QTableWidget*>("tableWidgetPJList");
    QCOMPARE(list.GetNicName(list.GetNicIndex()), QString());

    // No own address: the search cannot start, and the next poll ends it without rows.
    list.BeginSearch();
    QCOMPARE(log.count(QStringLiteral("Start Error!!")), 1);
    QVERIFY(waitFor([&] { return log.contains(QStringLiteral("@@@Search End!!")); }));
    QCOMPARE(table->rowCount(), 0);
    QVERIFY(list.findChild<QPushButton*>("pushButtonUpdate")->isEnabled());

    // An address input without an interface is dropped: no search.
    answerModal<AddressInput>([](AddressInput* input) {
        input->findChild<CLineEditForIPAddress*>("txtLANIPv4Start")->setText("10.77.0.9");
        input->findChild<QPushButton*>("pushButtonAdd")->click();
    });
    list.findChild<QPushButton*>("pushButtonInputAddress")->click();
    QVERIFY(log.contains(QStringLiteral("Input  Mode = 0")));
    QCOMPARE(log.count(QStringLiteral("Start Error!!")), 1);
    QVERIFY(list.inputIpList().isEmpty());
}

QTEST_MAIN(TestCommunicationSettings)
#include "tst_communicationsettings.moc"
