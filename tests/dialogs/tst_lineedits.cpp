#include "discovery/lineeditexbase.h"
#include "discovery/lineeditforipaddress.h"

#include <QKeyEvent>
#include <QTest>

// The masked IPv4 field and the first-line-only field, driven through their key handler.
class TestLineEdits : public QObject {
    Q_OBJECT
private slots:
    void octetNavigation_data();
    void octetNavigation();
    void dotInEmptyOctetDoesNothing();
    void dotAfterDigitsMovesToNextOctet();
    void plainAddressIsLaidOutIntoOctets_data();
    void plainAddressIsLaidOutIntoOctets();
    void settingsReappliedAtEachShowKeepText();
    void otherInputTypes();
    void navigationOnlyForAddressType();
    void firstLineOnly_data();
    void firstLineOnly();
};

namespace {
// Returns whether the field consumed the key.
bool press(CLineEditForIPAddress& field, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
           const QString& text = QString())
{
    QKeyEvent event(QEvent::KeyPress, key, modifiers, text);
    event.setAccepted(false);
    field.keyPressEvent(&event);
    return event.isAccepted();
}

void makeAddressField(CLineEditForIPAddress& field)
{
    field.InputType = CLineEditForIPAddress::TypeIPv4;
    field.inputMaskChanging();
}
} // namespace

void TestLineEdits::octetNavigation_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to"); // -1: the key is passed on and the cursor stays

    // Tab aims just behind the next dot (4, 11, 18); the mask carries the cursor over the
    // literal blanks there to the first digit of the next octet.
    QTest::newRow("tab 0") << int(Qt::Key_Tab) << 0 << 7;
    QTest::newRow("tab 1") << int(Qt::Key_Tab) << 1 << 7;
    QTest::newRow("tab end of octet 1") << int(Qt::Key_Tab) << 2 << 7;
    QTest::newRow("tab 8") << int(Qt::Key_Tab) << 8 << 14;
    QTest::newRow("tab third octet") << int(Qt::Key_Tab) << 15 << 21;
    QTest::newRow("tab last octet passes on") << int(Qt::Key_Tab) << 22 << -1;
    QTest::newRow("tab at the end passes on") << int(Qt::Key_Tab) << 24 << -1;
    QTest::newRow("backtab 8") << int(Qt::Key_Backtab) << 8 << 0;
    QTest::newRow("backtab 15") << int(Qt::Key_Backtab) << 15 << 7;
    QTest::newRow("backtab start of octet 2") << int(Qt::Key_Backtab) << 7 << 0;
    QTest::newRow("backtab end of octet 2") << int(Qt::Key_Backtab) << 9 << 0;
    QTest::newRow("backtab 22") << int(Qt::Key_Backtab) << 22 << 14;
    QTest::newRow("backtab first octet passes on") << int(Qt::Key_Backtab) << 2 << -1;
    QTest::newRow("backtab 0 passes on") << int(Qt::Key_Backtab) << 0 << -1;
}

void TestLineEdits::octetNavigation()
{
    QFETCH(int, key);
    QFETCH(int, from);
    QFETCH(int, to);
    CLineEditForIPAddress field;
    makeAddressField(field);
    field.setText(QStringLiteral("10.77.100.200"));
    field.setCursorPosition(from);
    QCOMPARE(field.cursorPosition(), from);

    const bool consumed =
        press(field, key, key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
    QCOMPARE(consumed, to >= 0);
    QCOMPARE(field.cursorPosition(), to >= 0 ? to : from);
    QCOMPARE(field.text(), QStringLiteral("10.   77.   100.   200"));
}

void TestLineEdits::dotInEmptyOctetDoesNothing()
{
    CLineEditForIPAddress field;
    makeAddressField(field);
    field.setCursorPosition(0);
    QVERIFY(press(field, Qt::Key_Period, Qt::NoModifier, QStringLiteral(".")));
    QCOMPARE(field.cursorPosition(), 0);
    QCOMPARE(field.text(), QStringLiteral(".   .   .   "));

    // Also in a later empty octet.
    field.setText(QStringLiteral("10."));
    field.setCursorPosition(7);
    QVERIFY(press(field, Qt::Key_Period, Qt::NoModifier, QStringLiteral(".")));
    QCOMPARE(field.cursorPosition(), 7);
}

void TestLineEdits::dotAfterDigitsMovesToNextOctet()
{
    CLineEditForIPAddress field;
    makeAddressField(field);
    field.setCursorPosition(0);
    QTest::keyClicks(&field, QStringLiteral("10.77.1.9"));
    QCOMPARE(field.text(), QStringLiteral("10.   77.   1.   9"));
    field.clear();
    field.setCursorPosition(0);
    QTest::keyClicks(&field, QStringLiteral("192"));
    QTest::keyClick(&field, Qt::Key_Period, Qt::NoModifier);
    QVERIFY(field.cursorPosition() >= 4);
    QVERIFY(field.cursorPosition() <= 7);
    QTest::keyClicks(&field, QStringLiteral("168"));
    QCOMPARE(field.text(), QStringLiteral("192.   168.   .   "));
}

void TestLineEdits::plainAddressIsLaidOutIntoOctets_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("text");
    QTest::newRow("short octets") << "10.77.0.5"
                                  << "10.   77.   0.   5";
    QTest::newRow("full octets") << "255.255.255.255"
                                 << "255.   255.   255.   255";
    QTest::newRow("incomplete") << "10.77"
                                << "10.   77.   .   ";
    QTest::newRow("empty") << ""
                           << ".   .   .   ";
}

void TestLineEdits::plainAddressIsLaidOutIntoOctets()
{
    QFETCH(QString, input);
    QFETCH(QString, text);
    CLineEditForIPAddress field;
    makeAddressField(field);
    field.setText(input);
    QCOMPARE(field.text(), text);
    QCOMPARE(field.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
}

void TestLineEdits::settingsReappliedAtEachShowKeepText()
{
    // The owner sets type and text before the first show, when no mask is there yet.
    CLineEditForIPAddress field;
    field.InputType = CLineEditForIPAddress::TypeIPv4;
    field.setText(QStringLiteral("10.77.0.5"));
    QVERIFY(field.inputMask().isEmpty());
    field.show();
    QVERIFY(CLineEditForIPAddress::ipv4Mask().startsWith(field.inputMask()));
    QCOMPARE(field.text(), QStringLiteral("10.   77.   0.   5"));
    QCOMPARE(field.lastOctetPosition(), 21);
    field.hide();
    field.show();
    QCOMPARE(field.text(), QStringLiteral("10.   77.   0.   5"));
}

void TestLineEdits::otherInputTypes()
{
    CLineEditForIPAddress text32;
    text32.InputType = CLineEditForIPAddress::TypeText32;
    text32.inputMaskChanging();
    QCOMPARE(text32.maxLength(), 32);
    QVERIFY(text32.inputMask().isEmpty());
    QCOMPARE(text32.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    text32.setText(QString(40, QLatin1Char('h')));
    QCOMPARE(text32.text().size(), 32);

    CLineEditForIPAddress text;
    text.InputType = CLineEditForIPAddress::TypeText;
    text.setAlignment(Qt::AlignRight);
    text.inputMaskChanging();
    QCOMPARE(text.maxLength(), 32767);
    QCOMPARE(text.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    QCOMPARE(int(text.inputMethodHints()), int(Qt::ImhHiddenText));

    CLineEditForIPAddress unknown;
    unknown.InputType = 7;
    unknown.setAlignment(Qt::AlignRight);
    unknown.inputMaskChanging();
    QCOMPARE(unknown.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    QVERIFY(unknown.inputMask().isEmpty());
}

void TestLineEdits::navigationOnlyForAddressType()
{
    // A host-name field keeps the plain behaviour: "." is a character like any other.
    CLineEditForIPAddress host;
    host.InputType = CLineEditForIPAddress::TypeText32;
    host.inputMaskChanging();
    QTest::keyClicks(&host, QStringLiteral("pj..a"));
    QCOMPARE(host.text(), QStringLiteral("pj..a"));
    host.setCursorPosition(1);
    QVERIFY(!press(host, Qt::Key_Tab));
    QCOMPARE(host.cursorPosition(), 1);
}

void TestLineEdits::firstLineOnly_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("kept");
    QTest::newRow("two lines") << "abc\ndef"
                               << "abc";
    QTest::newRow("one line") << "abc"
                              << "abc";
    QTest::newRow("leading line feed") << "\nabc"
                                       << "";
    QTest::newRow("windows line end") << "7142\r\n"
                                      << "7142\r";
    QTest::newRow("three lines") << "1\n2\n3"
                                 << "1";
}

void TestLineEdits::firstLineOnly()
{
    QFETCH(QString, input);
    QFETCH(QString, kept);
    QLineEditExBase field;
    field.setText(input);
    QCOMPARE(field.text(), kept);
}

QTEST_MAIN(TestLineEdits)
#include "tst_lineedits.moc"
