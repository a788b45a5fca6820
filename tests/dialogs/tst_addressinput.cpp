#include "dialogtesthelpers.h"
#include "ui/addressinput.h"
#include "ui/lineeditforipaddress.h"

#include <QRadioButton>

// The address input dialog: validation, the two modes, the end field following the start
// field, and the keys that move between octets and fields.
class TestAddressInput : public QObject {
    Q_OBJECT
private slots:
    void init();
    void validation_data();
    void validation();
    void switchingToRangeFillsOnlyUnusableEnd_data();
    void switchingToRangeFillsOnlyUnusableEnd();
    void endFollowsCompleteNewStart();
    void keys_data();
    void keys();

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
};

void TestAddressInput::init()
{
    AddressInput::PreviousStartIp = QHostAddress();
}

void TestAddressInput::validation_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<bool>("accepted");
    auto row = [](const char* name, int mode, const char* start, const char* end, bool ok) {
        QTest::newRow(name) << mode << QString(start) << QString(end) << ok;
    };
    row("single", 0, "10.77.1.10", "", true);
    row("single loopback", 0, "127.255.1.2", "", false);
    row("single first octet 0", 0, "0.1.2.3", "", false);
    row("single limited broadcast", 0, "255.255.255.255", "", false);
    row("single 255 first octet", 0, "255.1.2.3", "", true);
    row("single incomplete", 0, "10.77.1", "", false);
    row("single octet over 255", 0, "10.77.1.300", "", false);
    row("single ignores disabled end", 0, "10.77.1.10", "127.0.0.1", true);
    row("range of one", 1, "10.77.1.10", "10.77.1.10", true);
    row("range reversed", 1, "10.77.1.20", "10.77.1.10", false);
    row("range over two /24", 1, "10.77.1.10", "10.77.2.20", false);
    row("range bad end", 1, "10.77.1.10", "255.255.255.255", false);
    row("range bad start", 1, "127.0.0.1", "127.0.0.9", false);
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
        // In single mode the caller's end stays as it was.
        QHostAddress range[2] = {QHostAddress(), QHostAddress("10.77.9.99")};
        int gotMode = -1;
        QCOMPARE(d.dialog->GetAddress(gotMode, range), 0);
        QCOMPARE(gotMode, mode);
        QCOMPARE(range[0], QHostAddress(start));
        QCOMPARE(range[1], QHostAddress(mode == 0 ? QStringLiteral("10.77.9.99") : end));
    } else {
        QVERIFY(waitFor([&] { return box.count == 1; }));
        QCOMPARE(box.text, QStringLiteral("An invalid address is being used."));
        QVERIFY(d.dialog->isVisible());
        QCOMPARE(d.startField->text(), typed);
    }
}

void TestAddressInput::switchingToRangeFillsOnlyUnusableEnd_data()
{
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("expected");
    QTest::newRow("incomplete end") << QStringLiteral("10.77") << QStringLiteral("10.77.1.10");
    QTest::newRow("zero end") << QStringLiteral("0.0.0.0") << QStringLiteral("10.77.1.10");
    QTest::newRow("valid end kept") << QStringLiteral("10.77.1.30") << QStringLiteral("10.77.1.30");
}

void TestAddressInput::switchingToRangeFillsOnlyUnusableEnd()
{
    QFETCH(QString, end);
    QFETCH(QString, expected);
    Dialog d(0);
    QVERIFY(!d.endField->isEnabled());
    QVERIFY(showActive(d.dialog.get()));
    d.startField->setText(QStringLiteral("10.77.1.10"));
    d.endField->setText(end);
    QTest::mouseClick(d.range_, Qt::LeftButton);
    QVERIFY(d.endField->isEnabled());
    QCOMPARE(plain(d.endField->text()), expected);
    QTest::mouseClick(d.single, Qt::LeftButton);
    QVERIFY(!d.endField->isEnabled());
}

void TestAddressInput::endFollowsCompleteNewStart()
{
    Dialog d(1, QHostAddress("10.77.1.10"), QHostAddress("10.77.1.20"));
    QVERIFY(showActive(d.dialog.get()));
    // The constructor's own text changes must not let the start overwrite the given end.
    QCOMPARE(plain(d.endField->text()), QStringLiteral("10.77.1.20"));
    d.startField->setFocus();
    d.startField->selectAll();
    QTest::keyClick(d.startField, Qt::Key_Delete);
    // Incomplete: the end keeps its address.
    d.startField->setCursorPosition(0);
    QTest::keyClicks(d.startField, QStringLiteral("10.77.3"));
    QCOMPARE(plain(d.endField->text()), QStringLiteral("10.77.1.20"));
    // Complete and new: copied.
    QTest::keyClicks(d.startField, QStringLiteral(".5"));
    QCOMPARE(plain(d.endField->text()), QStringLiteral("10.77.3.5"));
    // Erasing a digit leaves an edited end alone; completing the start copies it again.
    d.endField->setText(QStringLiteral("10.77.3.50"));
    QTest::keyClick(d.startField, Qt::Key_Backspace);
    QCOMPARE(plain(d.endField->text()), QStringLiteral("10.77.3.50"));
    QTest::keyClicks(d.startField, QStringLiteral("5"));
    QCOMPARE(plain(d.endField->text()), QStringLiteral("10.77.3.5"));
}

void TestAddressInput::keys_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("from");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("to");
    QTest::addColumn<int>("toCursor"); // -1: not looked at

    const QString start = QStringLiteral("txtLANIPv4Start");
    const QString end = QStringLiteral("txtLANIPv4End");
    const QString add = QStringLiteral("pushButtonAdd");
    // From the start of the end field back to the last octet of the start field.
    QTest::newRow("end 0 backtab") << 1 << end << 0 << int(Qt::Key_Backtab) << start << 21;
    QTest::newRow("end 0 up") << 1 << end << 0 << int(Qt::Key_Up) << start << 21;
    QTest::newRow("end 0 right") << 1 << end << 0 << int(Qt::Key_Right) << start << 21;
    // Elsewhere in the end field Backtab goes to the previous octet.
    QTest::newRow("end 15 backtab") << 1 << end << 15 << int(Qt::Key_Backtab) << end << 7;
    // From Add: the end field in range mode, the start field in single mode.
    QTest::newRow("add up, range") << 1 << add << 0 << int(Qt::Key_Up) << end << 21;
    QTest::newRow("add backtab, single") << 0 << add << 0 << int(Qt::Key_Backtab) << start << 21;
    // Tab moves between octets inside the dialog too, and leaves the last one.
    QTest::newRow("start 0 tab") << 1 << start << 0 << int(Qt::Key_Tab) << start << 7;
    QTest::newRow("start 22 tab") << 1 << start << 22 << int(Qt::Key_Tab) << end << -1;
    // Escape typed in a field still reaches the dialog: no focus target, the dialog closes.
    QTest::newRow("start escape") << 1 << start << 0 << int(Qt::Key_Escape) << QString() << -1;
}

void TestAddressInput::keys()
{
    QFETCH(int, mode);
    QFETCH(QString, from);
    QFETCH(int, cursor);
    QFETCH(int, key);
    QFETCH(QString, to);
    QFETCH(int, toCursor);
    Dialog d(mode, QHostAddress("10.77.1.10"), QHostAddress("10.77.1.20"));
    QVERIFY(showActive(d.dialog.get()));
    auto* source = d.dialog->findChild<QWidget*>(from);
    source->setFocus();
    if (auto* field = qobject_cast<QLineEdit*>(source))
        field->setCursorPosition(cursor);
    QTest::keyClick(source, Qt::Key(key),
                    key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
    if (to.isEmpty()) {
        QVERIFY(!d.dialog->isVisible());
        QCOMPARE(d.dialog->result(), int(QDialog::Rejected));
        return;
    }
    QCOMPARE(QApplication::focusWidget()->objectName(), to);
    if (toCursor >= 0)
        QCOMPARE(qobject_cast<QLineEdit*>(QApplication::focusWidget())->cursorPosition(), toCursor);
}

QTEST_MAIN(TestAddressInput)
#include "tst_addressinput.moc"
