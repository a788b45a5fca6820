#include "dialogtesthelpers.h"
#include "discovery/addressinput.h"
#include "discovery/lineeditforipaddress.h"

#include <QPushButton>
#include <QRadioButton>
#include <QTest>

// The address input dialog: validation, the two modes, the end field following the start
// field, and the keys that jump between the two fields.
class TestAddressInput : public QObject {
    Q_OBJECT
private slots:
    void init();
    void opensInTheModeGiven();
    void validation_data();
    void validation();
    void getAddressKeepsEndInSingleMode();
    void switchingToRangeFillsOnlyUnusableEnd_data();
    void switchingToRangeFillsOnlyUnusableEnd();
    void endFollowsCompleteNewStart();
    void jumpKeysBetweenFields();
    void tabMovesBetweenOctetsThenFields();

private:
    struct Dialog {
        explicit Dialog(int mode, QHostAddress start = {}, QHostAddress end = {})
        {
            const QHostAddress range[2] = {start, end};
            dialog = std::make_unique<AddressInput>(mode, range);
            startField = dialog->findChild<CLineEditForIPAddress*>("txtLANIPv4Start");
            endField = dialog->findChild<CLineEditForIPAddress*>("txtLANIPv4End");
            single = dialog->findChild<QRadioButton*>("radioButtonInputIpSpecify");
            range_ = dialog->findChild<QRadioButton*>("radioButtonInputIpRange");
            add = dialog->findChild<QPushButton*>("pushButtonAdd");
        }
        std::unique_ptr<AddressInput> dialog;
        CLineEditForIPAddress* startField = nullptr;
        CLineEditForIPAddress* endField = nullptr;
        QRadioButton* single = nullptr;
        QRadioButton* range_ = nullptr;
        QPushButton* add = nullptr;
    };
    static bool showActive(QWidget* w)
    {
        w->show();
        QApplication::setActiveWindow(w);
        return QTest::qWaitForWindowActive(w);
    }
};

void TestAddressInput::init()
{
    AddressInput::PreviousStartIp = QHostAddress();
}

void TestAddressInput::opensInTheModeGiven()
{
    Dialog single(0);
    QVERIFY(single.single->isChecked());
    QVERIFY(!single.endField->isEnabled());
    QVERIFY(single.startField->text().remove(' ').remove('.').isEmpty());
    QVERIFY(single.endField->text().remove(' ').remove('.').isEmpty());
    QCOMPARE(single.dialog->windowTitle(), QStringLiteral("Address Input"));
    QCOMPARE(int(single.dialog->windowFlags()), 0x0A003003);

    // The constructor's own text changes must not let the start overwrite the given end.
    Dialog range(1, QHostAddress("10.77.1.10"), QHostAddress("10.77.1.20"));
    QVERIFY(range.range_->isChecked());
    QVERIFY(range.endField->isEnabled());
    QCOMPARE(range.dialog->focusWidget(), range.range_);
    QVERIFY(showActive(range.dialog.get()));
    QCOMPARE(range.startField->text(), QStringLiteral("10.   77.   1.   10"));
    QCOMPARE(range.endField->text(), QStringLiteral("10.   77.   1.   20"));
}

void TestAddressInput::validation_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("single") << 0 << "10.77.1.10"
                            << "" << true;
    QTest::newRow("single loopback") << 0 << "127.0.0.1"
                                     << "" << false;
    QTest::newRow("single loopback net") << 0 << "127.255.1.2"
                                         << "" << false;
    QTest::newRow("single first octet 0") << 0 << "0.1.2.3"
                                          << "" << false;
    QTest::newRow("single all zero") << 0 << "0.0.0.0"
                                     << "" << false;
    QTest::newRow("single limited broadcast") << 0 << "255.255.255.255"
                                              << "" << false;
    QTest::newRow("single 255 first octet") << 0 << "255.1.2.3"
                                            << "" << true;
    QTest::newRow("single multicast") << 0 << "224.0.0.1"
                                      << "" << true;
    QTest::newRow("single incomplete") << 0 << "10.77.1"
                                       << "" << false;
    QTest::newRow("single empty") << 0 << ""
                                  << "" << false;
    QTest::newRow("single octet over 255") << 0 << "10.77.1.300"
                                           << "" << false;
    QTest::newRow("single ignores disabled end") << 0 << "10.77.1.10"
                                                 << "127.0.0.1" << true;
    QTest::newRow("range") << 1 << "10.77.1.10"
                           << "10.77.1.20" << true;
    QTest::newRow("range of one") << 1 << "10.77.1.10"
                                  << "10.77.1.10" << true;
    QTest::newRow("range reversed") << 1 << "10.77.1.20"
                                    << "10.77.1.10" << false;
    QTest::newRow("range over two /24") << 1 << "10.77.1.10"
                                        << "10.77.2.20" << false;
    QTest::newRow("range bad end") << 1 << "10.77.1.10"
                                   << "255.255.255.255" << false;
    QTest::newRow("range incomplete end") << 1 << "10.77.1.10"
                                          << "10.77.1" << false;
    QTest::newRow("range bad start") << 1 << "127.0.0.1"
                                     << "127.0.0.9" << false;
}

void TestAddressInput::validation()
{
    QFETCH(int, mode);
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(bool, accepted);

    Dialog d(mode);
    QVERIFY(showActive(d.dialog.get()));
    d.startField->setText(start);
    d.endField->setText(end);
    const QString typed = d.startField->text();
    MessageBoxAnswer box;
    box.arm();
    QTest::mouseClick(d.add, Qt::LeftButton);
    if (accepted) {
        QCOMPARE(d.dialog->result(), int(QDialog::Accepted));
        QCOMPARE(box.count, 0);
    } else {
        QVERIFY(waitFor([&] { return box.count == 1; }));
        QCOMPARE(box.text, QStringLiteral("An invalid address is being used."));
        QCOMPARE(box.title, QStringLiteral("Inkbridge"));
        QVERIFY(d.dialog->isVisible());
        QCOMPARE(d.startField->text(), typed);
    }
}

void TestAddressInput::getAddressKeepsEndInSingleMode()
{
    Dialog d(0, QHostAddress("10.77.1.10"), QHostAddress("10.77.1.20"));
    int mode = -1;
    QHostAddress range[2] = {QHostAddress("10.77.9.9"), QHostAddress("10.77.9.99")};
    QCOMPARE(d.dialog->GetAddress(mode, range), 0);
    QCOMPARE(mode, 0);
    QCOMPARE(range[0], QHostAddress("10.77.1.10"));
    QCOMPARE(range[1], QHostAddress("10.77.9.99"));

    d.range_->setChecked(true);
    d.endField->setText(QStringLiteral("10.77.1"));
    QCOMPARE(d.dialog->GetAddress(mode, range), 0);
    QCOMPARE(mode, 1);
    QCOMPARE(range[0], QHostAddress("10.77.1.10"));
    QVERIFY(range[1].isNull()); // an incomplete field is no address
}

void TestAddressInput::switchingToRangeFillsOnlyUnusableEnd_data()
{
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty end") << ""
                               << "10.77.1.10";
    QTest::newRow("incomplete end") << "10.77"
                                    << "10.77.1.10";
    QTest::newRow("zero end") << "0.0.0.0"
                              << "10.77.1.10";
    QTest::newRow("valid end kept") << "10.77.1.30"
                                    << "10.77.1.30";
}

void TestAddressInput::switchingToRangeFillsOnlyUnusableEnd()
{
    QFETCH(QString, end);
    QFETCH(QString, expected);
    Dialog d(0);
    QVERIFY(showActive(d.dialog.get()));
    d.startField->setText(QStringLiteral("10.77.1.10"));
    d.endField->setText(end);
    QTest::mouseClick(d.range_, Qt::LeftButton);
    QVERIFY(d.range_->isChecked());
    QVERIFY(d.endField->isEnabled());
    QCOMPARE(d.endField->text().remove(' '), expected);
    QTest::mouseClick(d.single, Qt::LeftButton);
    QVERIFY(!d.endField->isEnabled());
}

void TestAddressInput::endFollowsCompleteNewStart()
{
    Dialog d(1, QHostAddress("10.77.1.10"), QHostAddress("10.77.1.20"));
    QVERIFY(showActive(d.dialog.get()));
    d.startField->setFocus();
    d.startField->selectAll();
    QTest::keyClick(d.startField, Qt::Key_Delete);
    // Incomplete: the end keeps its address.
    d.startField->setCursorPosition(0);
    QTest::keyClicks(d.startField, QStringLiteral("10.77.3"));
    QCOMPARE(d.endField->text().remove(' '), QStringLiteral("10.77.1.20"));
    // Complete and new: copied; then the user changes only the last octet of the end.
    QTest::keyClicks(d.startField, QStringLiteral(".5"));
    QCOMPARE(d.endField->text().remove(' '), QStringLiteral("10.77.3.5"));
    // Erasing a digit leaves an edited end alone; completing the start copies it again.
    d.endField->setText(QStringLiteral("10.77.3.50"));
    QTest::keyClick(d.startField, Qt::Key_Backspace);
    QCOMPARE(d.endField->text().remove(' '), QStringLiteral("10.77.3.50"));
    QTest::keyClicks(d.startField, QStringLiteral("5"));
    QCOMPARE(d.startField->text().remove(' '), QStringLiteral("10.77.3.5"));
    QCOMPARE(d.endField->text().remove(' '), QStringLiteral("10.77.3.5"));
}

void TestAddressInput::jumpKeysBetweenFields()
{
    Dialog d(1, QHostAddress("10.77.1.10"), QHostAddress("10.77.1.20"));
    QVERIFY(showActive(d.dialog.get()));

    // From the start of the end field back to the last octet of the start field.
    for (Qt::Key key : {Qt::Key_Backtab, Qt::Key_Up, Qt::Key_Right}) {
        d.endField->setFocus();
        d.endField->setCursorPosition(0);
        QTest::keyClick(d.endField, key,
                        key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
        QCOMPARE(QApplication::focusWidget(), d.startField);
        QCOMPARE(d.startField->cursorPosition(), 21);
    }
    // Elsewhere in the end field Backtab goes to the previous octet.
    d.endField->setFocus();
    d.endField->setCursorPosition(15);
    QTest::keyClick(d.endField, Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), d.endField);
    QCOMPARE(d.endField->cursorPosition(), 7);

    // From Add: the end field in range mode, the start field in single mode.
    d.add->setFocus();
    QTest::keyClick(d.add, Qt::Key_Up);
    QCOMPARE(QApplication::focusWidget(), d.endField);
    QCOMPARE(d.endField->cursorPosition(), 21);
    d.single->setChecked(true);
    d.add->setFocus();
    QTest::keyClick(d.add, Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), d.startField);
    QCOMPARE(d.startField->cursorPosition(), 21);
}

void TestAddressInput::tabMovesBetweenOctetsThenFields()
{
    Dialog d(1, QHostAddress("10.77.1.10"), QHostAddress("10.77.1.20"));
    QVERIFY(showActive(d.dialog.get()));
    d.startField->setFocus();
    d.startField->setCursorPosition(0);
    QTest::keyClick(d.startField, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), d.startField);
    QCOMPARE(d.startField->cursorPosition(), 7);
    d.startField->setCursorPosition(22);
    QTest::keyClick(d.startField, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), d.endField);

    // Escape typed in a field still reaches the dialog.
    d.startField->setFocus();
    QTest::keyClick(d.startField, Qt::Key_Escape);
    QCOMPARE(d.dialog->result(), int(QDialog::Rejected));
    QVERIFY(!d.dialog->isVisible());
}

QTEST_MAIN(TestAddressInput)
#include "tst_addressinput.moc"
