#include "ui/lineeditexbase.h"
#include "ui/lineeditforipaddress.h"

#include <QKeyEvent>
#include <QTest>

// The masked IPv4 field and the first-line-only field, driven through their key handler.
class TestLineEdits : public QObject {
    Q_OBJECT
private slots:
    void octetNavigation_data();
    void octetNavigation();
    void typing_data();
    void typing();
    void textSetBeforeFirstShowIsLaidOut();
    void hostNameFieldIsPlainText();
    void firstLineOnly_data();
    void firstLineOnly();
};

namespace {
// Returns whether the field consumed the key.
bool press(CLineEditForIPAddress& field, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QKeyEvent event(QEvent::KeyPress, key, modifiers);
    event.setAccepted(false);
    field.keyPressEvent(&event);
    return event.isAccepted();
}

void makeField(CLineEditForIPAddress& field, int type = CLineEditForIPAddress::TypeIPv4)
{
    field.InputType = type;
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
    const int tab = Qt::Key_Tab;
    const int backtab = Qt::Key_Backtab;
    QTest::newRow("tab 0") << tab << 0 << 7;
    QTest::newRow("tab 1") << tab << 1 << 7;
    QTest::newRow("tab end of octet 1") << tab << 2 << 7;
    QTest::newRow("tab 8") << tab << 8 << 14;
    QTest::newRow("tab last octet passes on") << tab << 22 << -1;
    QTest::newRow("backtab 8") << backtab << 8 << 0;
    QTest::newRow("backtab 15") << backtab << 15 << 7;
    QTest::newRow("backtab end of octet 2") << backtab << 9 << 0;
    QTest::newRow("backtab first octet passes on") << backtab << 2 << -1;
}

void TestLineEdits::octetNavigation()
{
    QFETCH(int, key);
    QFETCH(int, from);
    QFETCH(int, to);
    CLineEditForIPAddress field;
    makeField(field);
    field.setText(QStringLiteral("10.77.100.200"));
    field.setCursorPosition(from);

    const bool consumed =
        press(field, key, key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
    QCOMPARE(consumed, to >= 0);
    QCOMPARE(field.cursorPosition(), to >= 0 ? to : from);
    QCOMPARE(field.text(), QStringLiteral("10.   77.   100.   200"));
}

void TestLineEdits::typing_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("text");
    auto row = [](const char* keys, const char* text) {
        QTest::newRow(keys) << QString(keys) << QString(text);
    };
    row("10.77.1.9", "10.   77.   1.   9");
    row("192.168", "192.   168.   .   "); // "." after a full octet moves on once
    row(".10", "10.   .   .   ");         // "." in an empty octet does nothing
    row("10..77", "10.   77.   .   ");
}

void TestLineEdits::typing()
{
    QFETCH(QString, keys);
    QFETCH(QString, text);
    CLineEditForIPAddress field;
    makeField(field);
    field.setCursorPosition(0);
    QTest::keyClicks(&field, keys);
    QCOMPARE(field.text(), text);
}

void TestLineEdits::textSetBeforeFirstShowIsLaidOut()
{
    // The owner sets type and text before the first show, when no mask is there yet; the
    // settings are applied again at every show and must keep the text.
    CLineEditForIPAddress field;
    field.InputType = CLineEditForIPAddress::TypeIPv4;
    field.setText(QStringLiteral("10.77.0.5"));
    field.show();
    QCOMPARE(field.text(), QStringLiteral("10.   77.   0.   5"));
    QCOMPARE(field.lastOctetPosition(), 21);
    field.hide();
    field.show();
    QCOMPARE(field.text(), QStringLiteral("10.   77.   0.   5"));
}

void TestLineEdits::hostNameFieldIsPlainText()
{
    // "." is a character like any other, Tab is passed on, and at most 32 characters stay.
    CLineEditForIPAddress host;
    makeField(host, CLineEditForIPAddress::TypeText32);
    QTest::keyClicks(&host, QStringLiteral("pj..a"));
    QCOMPARE(host.text(), QStringLiteral("pj..a"));
    host.setCursorPosition(1);
    QVERIFY(!press(host, Qt::Key_Tab));
    QCOMPARE(host.cursorPosition(), 1);
    host.setText(QString(40, QLatin1Char('h')));
    QCOMPARE(host.text().size(), 32);
}

void TestLineEdits::firstLineOnly_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("kept");
    QTest::newRow("three lines") << QStringLiteral("1\n2\n3") << QStringLiteral("1");
    QTest::newRow("leading line feed") << QStringLiteral("\nabc") << QString();
    QTest::newRow("windows line end") << QStringLiteral("7142\r\n") << QStringLiteral("7142\r");
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
