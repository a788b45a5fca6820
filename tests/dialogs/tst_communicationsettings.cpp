#include "dialogtesthelpers.h"
#include "discovery/addressinput.h"
#include "discovery/lineeditexbase.h"
#include "discovery/lineeditforipaddress.h"
#include "discovery/niclist.h"
#include "discovery/pjsearchdlg.h"
#include "settings/communicationsettings.h"

#include "support/logcapture.h"
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>

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
    void closingKeepsTheResult();
    void addressFieldKeys();
    void returnAndEscapeReachTheDialog();
    void autoSearchOnlyAtFirstShow();
    void noAutoSearchUnlessAsked();
    void projectorListWithoutInterfaces();

private:
    struct Dialog {
        Dialog()
        {
            dialog = std::make_unique<CommunicationSettings>();
            ipRadio = dialog->findChild<QRadioButton*>("radioButton_IPAdress");
            hostRadio = dialog->findChild<QRadioButton*>("radioButton_HostName");
            ip = dialog->findChild<CLineEditForIPAddress*>("lineEdit_IPAddress");
            host = dialog->findChild<CLineEditForIPAddress*>("lineEdit_HostName");
            port = dialog->findChild<QLineEditExBase*>("lineEdit_Port");
            connectButton = dialog->findChild<QPushButton*>("pushButton_Connect");
            closeButton = dialog->findChild<QPushButton*>("pushButton_Close");
        }
        bool show()
        {
            dialog->show();
            QApplication::setActiveWindow(dialog.get());
            return QTest::qWaitForWindowActive(dialog.get());
        }
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
    Dialog d;
    d.dialog->SetValues(type, QStringLiteral("10.77.0.2"), QStringLiteral("pj-room-3"), 7142,
                        QStringLiteral("eth1"));
    QVERIFY(d.show());
    QCOMPARE(d.hostRadio->isChecked(), byHostName);
    QCOMPARE(d.ipRadio->isChecked(), !byHostName);
    QCOMPARE(d.host->isEnabled(), byHostName);
    QCOMPARE(d.ip->isEnabled(), !byHostName);
    QCOMPARE(d.ip->text(), QStringLiteral("10.   77.   0.   2"));
    QCOMPARE(d.host->text(), QStringLiteral("pj-room-3"));
    QCOMPARE(d.host->maxLength(), 32);
    QCOMPARE(d.port->text(), QStringLiteral("7142"));
    QCOMPARE(d.dialog->windowTitle(), QStringLiteral("Select a connection"));
    QCOMPARE(d.dialog->size(), QSize(290, 250));
    QCOMPARE(int(d.dialog->windowFlags()), 0x0A003003);

    // The radio buttons switch the fields.
    QAbstractButton* other = byHostName ? d.ipRadio : d.hostRadio;
    QTest::mouseClick(other, Qt::LeftButton, {}, QPoint(6, other->height() / 2));
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

    QTest::newRow("address") << 0 << "10.77.0.10"
                             << ""
                             << "7142"
                             << "";
    QTest::newRow("host name") << 1 << ""
                               << "pj-3"
                               << "4352"
                               << "";
    QTest::newRow("host name ignores a bad address") << 1 << "10.77.0.300"
                                                     << "pj-3"
                                                     << "7142"
                                                     << "";
    QTest::newRow("port 0") << 0 << "10.77.0.10"
                            << ""
                            << "0"
                            << "";
    QTest::newRow("port 65535") << 0 << "10.77.0.10"
                                << ""
                                << "65535"
                                << "";
    QTest::newRow("empty host name") << 1 << "10.77.0.10"
                                     << ""
                                     << "7142"
                                     << "Host name is invalid.";
    QTest::newRow("octet 300") << 0 << "10.77.0.300"
                               << ""
                               << "7142"
                               << "IP address is invalid.";
    QTest::newRow("incomplete address") << 0 << "10.77"
                                        << ""
                                        << "7142"
                                        << "IP address is invalid.";
    QTest::newRow("empty address") << 0 << ""
                                   << ""
                                   << "7142"
                                   << "IP address is invalid.";
    QTest::newRow("port 70000 beats a bad address") << 0 << "10.77.0.300"
                                                    << ""
                                                    << "70000"
                                                    << "Port number is invalid.";
    QTest::newRow("port 65536") << 0 << "10.77.0.10"
                                << ""
                                << "65536"
                                << "Port number is invalid.";
    QTest::newRow("empty port") << 0 << "10.77.0.10"
                                << ""
                                << ""
                                << "Port number is invalid.";
    QTest::newRow("minus only") << 0 << "10.77.0.10"
                                << ""
                                << "-"
                                << "Port number is invalid.";
    QTest::newRow("negative port") << 0 << "10.77.0.10"
                                   << ""
                                   << "-1"
                                   << "Port number is invalid.";
}

void TestCommunicationSettings::connectChecksTheValues()
{
    QFETCH(int, type);
    QFETCH(QString, ip);
    QFETCH(QString, host);
    QFETCH(QString, port);
    QFETCH(QString, message);

    Dialog d;
    d.dialog->SetValues(0, QStringLiteral("10.77.0.99"), QStringLiteral("old"), 9999,
                        QStringLiteral("veth7"));
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
        QCOMPARE(d.dialog->ipAddress(), d.ip->text().remove(' '));
        QCOMPARE(d.dialog->hostName(), host);
        QCOMPARE(d.dialog->port(), port.toInt());
    } else {
        QVERIFY(waitFor([&] { return box.count == 1; }));
        QCOMPARE(box.text, message);
        QCOMPARE(box.title, QStringLiteral("Inkbridge"));
        QVERIFY(d.dialog->isVisible());
        // Nothing is taken over from a rejected input.
        QCOMPARE(d.dialog->type(), 0);
        QCOMPARE(d.dialog->ipAddress(), QStringLiteral("10.77.0.99"));
        QCOMPARE(d.dialog->port(), 9999);
    }
    QCOMPARE(d.dialog->adapter(), QStringLiteral("veth7"));
}

void TestCommunicationSettings::closingKeepsTheResult()
{
    // Closing the window after a failed Connect gives 0.
    Dialog failed;
    failed.dialog->SetValues(0, QString(), QString(), 7142, QString());
    QVERIFY(failed.show());
    MessageBoxAnswer box;
    box.arm();
    QTest::mouseClick(failed.connectButton, Qt::LeftButton);
    QVERIFY(waitFor([&] { return box.count == 1; }));
    failed.dialog->close();
    QCOMPARE(failed.dialog->result(), 0);

    // A result set by Connect survives the close that ends the dialog.
    Dialog ok;
    ok.dialog->SetValues(0, QStringLiteral("10.77.0.2"), QString(), 7142, QString());
    QSignalSpy finished(ok.dialog.get(), &QDialog::finished);
    QTimer::singleShot(0, ok.connectButton, &QPushButton::click);
    QCOMPARE(ok.dialog->exec(), 1);

    // Close gives 0 even after an earlier accepted run set the result.
    QTimer::singleShot(0, ok.closeButton, &QPushButton::click);
    QCOMPARE(ok.dialog->exec(), 0);
}

void TestCommunicationSettings::addressFieldKeys()
{
    Dialog d;
    d.dialog->SetValues(0, QStringLiteral("10.77.0.2"), QString(), 7142, QString());
    QVERIFY(d.show());
    for (Qt::Key key : {Qt::Key_Right, Qt::Key_Up, Qt::Key_Backtab}) {
        d.ip->setFocus();
        d.ip->setCursorPosition(0);
        QTest::keyClick(d.ip, key, key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
        QCOMPARE(QApplication::focusWidget(), d.ip);
        QCOMPARE(d.ip->cursorPosition(), 21);
    }
    // Tab in the first three numbers moves between them, in the fourth it leaves.
    d.ip->setCursorPosition(0);
    QTest::keyClick(d.ip, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), d.ip);
    QCOMPARE(d.ip->cursorPosition(), 7);
    QTest::keyClick(d.ip, Qt::Key_Tab);
    QTest::keyClick(d.ip, Qt::Key_Tab);
    QCOMPARE(d.ip->cursorPosition(), 21);
    QTest::keyClick(d.ip, Qt::Key_Tab);
    QVERIFY(QApplication::focusWidget() != d.ip);
    // Digits still go into the field.
    d.ip->setFocus();
    d.ip->setCursorPosition(21);
    QTest::keyClick(d.ip, Qt::Key_Delete);
    QTest::keyClicks(d.ip, QStringLiteral("7"));
    QCOMPARE(d.ip->text().remove(' '), QStringLiteral("10.77.0.7"));
}

void TestCommunicationSettings::returnAndEscapeReachTheDialog()
{
    Dialog enter;
    enter.dialog->SetValues(0, QStringLiteral("10.77.0.2"), QString(), 7142, QString());
    QTimer::singleShot(0, enter.ip, [&] {
        enter.ip->setFocus();
        QTest::keyClick(enter.ip, Qt::Key_Return);
    });
    QCOMPARE(enter.dialog->exec(), 1);
    QCOMPARE(enter.dialog->ipAddress(), QStringLiteral("10.77.0.2"));

    Dialog escape;
    escape.dialog->SetValues(0, QStringLiteral("10.77.0.2"), QString(), 7142, QString());
    QTimer::singleShot(0, escape.ip, [&] {
        escape.ip->setFocus();
        QTest::keyClick(escape.ip, Qt::Key_Escape);
    });
    QCOMPARE(escape.dialog->exec(), 0);
}

void TestCommunicationSettings::autoSearchOnlyAtFirstShow()
{
    Dialog d;
    d.dialog->SetValues(0, QString(), QString(), 7142, QString());
    d.dialog->autoSearchOnShow = true;
    int listsOpened = 0;
    auto closeList = [&listsOpened](PJSearchDlg* list) {
        ++listsOpened;
        list->reject();
    };
    answerModal<PJSearchDlg>(closeList);
    d.dialog->show(); // the list takes the activation from it at once
    QVERIFY(waitFor([&] { return listsOpened == 1; }));
    // The list was cancelled: nothing changed.
    QVERIFY(d.dialog->isVisible());
    QCOMPARE(d.ip->text().remove(' '), QStringLiteral("..."));
    QCOMPARE(d.port->text(), QStringLiteral("7142"));

    d.dialog->hide();
    d.dialog->show();
    QVERIFY(!waitFor([] { return qobject_cast<PJSearchDlg*>(QApplication::activeModalWidget()); },
                     300));
    QCOMPARE(listsOpened, 1);
}

void TestCommunicationSettings::noAutoSearchUnlessAsked()
{
    Dialog d;
    d.dialog->SetValues(0, QStringLiteral("10.77.0.2"), QString(), 7142, QString());
    QSignalSpy searches(d.dialog.get(), &CommunicationSettings::execSearch);
    QVERIFY(d.show());
    QVERIFY(!waitFor([] { return qobject_cast<PJSearchDlg*>(QApplication::activeModalWidget()); },
                     300));
    QCOMPARE(searches.count(), 0);
}

void TestCommunicationSettings::projectorListWithoutInterfaces()
{
    LogCapture log;
    const QHostAddress range[2] = {QHostAddress("10.77.0.5"), QHostAddress()};
    PJSearchDlg list(0x01000000, QHostAddress(), 0, range);
    list.show();
    auto* nic = list.findChild<QComboBox*>("comboBoxNic");
    auto* table = list.findChild<QTableWidget*>("tableWidgetPJList");
    QCOMPARE(nic->count(), 0);
    QCOMPARE(list.GetNicIndex(), -1);
    QCOMPARE(list.GetNicName(list.GetNicIndex()), QString());

    // No own address: the search cannot start, and the next poll ends it without rows.
    list.BeginSearch();
    QCOMPARE(log.count(QStringLiteral("Start Error!!")), 1);
    QVERIFY(waitFor([&] { return log.contains(QStringLiteral("@@@Search End!!")); }));
    QCOMPARE(table->rowCount(), 0);
    QVERIFY(list.findChild<QPushButton*>("pushButtonUpdate")->isEnabled());

    // An address input without an interface is dropped: no search, the old input stays.
    answerModal<AddressInput>([](AddressInput* input) {
        input->findChild<CLineEditForIPAddress*>("txtLANIPv4Start")->setText("10.77.0.9");
        input->findChild<QPushButton*>("pushButtonAdd")->click();
    });
    list.findChild<QPushButton*>("pushButtonInputAddress")->click();
    QVERIFY(log.contains(QStringLiteral("Input  Mode = 0")));
    int mode = -1;
    QHostAddress input[2];
    list.GetInputAddress(mode, input);
    QCOMPARE(input[0], QHostAddress("10.77.0.5"));
    QCOMPARE(log.count(QStringLiteral("Start Error!!")), 1);
    QVERIFY(list.inputIpList().isEmpty());
}

QTEST_MAIN(TestCommunicationSettings)
#include "tst_communicationsettings.moc"
