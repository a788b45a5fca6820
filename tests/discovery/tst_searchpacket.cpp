// The search datagrams and the acceptance check, as plain functions: no socket involved.
#include "discovery/searchpacket.h"
#include "discovery/shiftjis.h"
#include "support/logcapture.h"

#include <QTest>
#include <QtEndian>

namespace {
// A reply as a projector would send it, built by hand from the field table.
struct Reply {
    QByteArray data = QByteArray(256, '\0');
    Reply() { id("ZRVX").seq(1).cmd(SRCH_CMD_BROADCAST); }
    Reply& id(const QByteArray& v) { return text(0, v); }
    Reply& seq(quint16 v) { return number(8, v); }
    Reply& cmd(quint32 v) { return number(16, v); }
    Reply& status(quint32 v) { return number(20, v); }
    Reply& hostIp(const QByteArray& v) { return text(32, v); }
    Reply& name(const QByteArray& v) { return text(96, v); }
    Reply& appFlag(quint32 v) { return number(144, v); }
    Reply& size(int n) { return data.truncate(n), *this; }
    QByteArray bytes() const { return data; }

private:
    template <typename T> Reply& number(int offset, T v)
    {
        qToLittleEndian(v, data.data() + offset);
        return *this;
    }
    Reply& text(int offset, const QByteArray& v)
    {
        return data.replace(offset, v.size(), v), *this;
    }
};

// The check's lines for the steps it passed ("01 02 03 04 05B"; N: notification), with the
// end line when it accepted.
QStringList checkLines(const QString& steps, bool accepted)
{
    static const QMap<QString, QString> texts{
        {"N", "##### SearchAckDataCheck : ack->CommandID == SRCH_CMD_NOTIFY"},
        {"01", "SearchAckDataCheck : (01) ack->CommandID  [OK]"},
        {"02", "SearchAckDataCheck : (02) Header.PacketID [OK]"},
        {"03", "SearchAckDataCheck : (03) Header.SeqNo    [OK]"},
        {"04", "SearchAckDataCheck : (04) AppFlag         [OK]"},
        {"05B", "SearchAckDataCheck : (05) Broadcast        [OK]"},
        {"05U", "SearchAckDataCheck : (05) Unicast Check..."},
        {"06", "SearchAckDataCheck : (06) Unicast         [OK]"}};
    QStringList lines{"@@SearchAckDataCheck : Start!!"};
    for (const QString& step : steps.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        lines << texts.value(step, QStringLiteral("unknown step ") + step);
    if (accepted)
        lines << QStringLiteral("@@SearchAckDataCheck : End!!");
    return lines;
}

using AddressList = QList<QHostAddress>;
} // namespace

class TestSearchPacket : public QObject {
    Q_OBJECT
private slots:
    void check_data();
    void check();
    void decode_data();
    void decode();
    void hostIp_data();
    void hostIp();
    void shiftJis_data();
    void shiftJis();
};

void TestSearchPacket::check_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QHostAddress>("sender");
    QTest::addColumn<int>("engineSeqNo");
    QTest::addColumn<quint32>("engineAppFlag");
    QTest::addColumn<AddressList>("targets"); // own address first
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("steps");

    const QHostAddress own("10.77.0.1"), stranger("10.77.0.99");
    const AddressList bcast{own, QHostAddress("10.77.0.255")};
    const AddressList unicast{own, QHostAddress("10.77.0.20"), QHostAddress("10.77.0.21"),
                              QHostAddress("10.77.0.22")};
    const quint32 all = SEARCH_APP_FLAG;
    const QByteArray ok = Reply().seq(5).bytes(),
                     uni = Reply().seq(5).cmd(SRCH_CMD_UNICAST).bytes();
    const QString passed = QStringLiteral("01 02 03 04 05B"),
                  uniPassed = QStringLiteral("01 02 03 04 05U 06");

    QTest::newRow("notify needs no header, seq or sender")
        << Reply().cmd(SRCH_CMD_NOTIFY).id("XXXX").seq(4711).bytes() << stranger << 1 << all
        << AddressList{} << 3 << "N";
    QTest::newRow("broadcast reply from any sender")
        << ok << stranger << 5 << all << bcast << 2 << passed;
    QTest::newRow("wrong packet id")
        << Reply().seq(5).id("ZRVY").bytes() << stranger << 5 << all << bcast << 0 << "01";
    QTest::newRow("seq of an earlier search")
        << Reply().seq(4).bytes() << stranger << 5 << all << bcast << 0 << "01 02";
    QTest::newRow("seq wrapped to 0 matches")
        << Reply().seq(0).bytes() << stranger << 0 << all << bcast << 2 << passed;
    QTest::newRow("seq 65535 does not match a wrapped search")
        << Reply().seq(65535).bytes() << stranger << 0 << all << bcast << 0 << "01 02";

    // AppFlag: only the bits of the 0x04044800 mask are compared, and a reply without flags
    // passes when the search has none of them.
    QTest::newRow("masked engine flag, reply flag 0")
        << ok << stranger << 5 << 0x00004000u << bcast << 0 << "01 02 03";
    QTest::newRow("masked engine flag, reply shares a bit")
        << Reply().seq(5).appFlag(0x00004001).bytes() << stranger << 5 << 0x00004000u << bcast << 2
        << passed;
    QTest::newRow("unmasked engine flag, reply flag 0")
        << ok << stranger << 5 << all << bcast << 2 << passed;
    QTest::newRow("masked engine flags, reply has another masked bit")
        << Reply().seq(5).appFlag(0x04000000).bytes() << stranger << 5 << 0x01000800u << bcast << 0
        << "01 02 03";

    QTest::newRow("unicast reply from a target")
        << uni << QHostAddress("10.77.0.21") << 5 << all << unicast << 1 << uniPassed;
    QTest::newRow("unicast reply from an IPv4-mapped sender")
        << uni << QHostAddress("::ffff:10.77.0.22") << 5 << all << unicast << 1 << uniPassed;
    QTest::newRow("unicast reply from own address counts")
        << uni << own << 5 << all << unicast << 1 << uniPassed;
    QTest::newRow("unicast reply from outside the list")
        << uni << QHostAddress("10.77.0.23") << 5 << all << unicast << 0 << "01 02 03 04 05U";
    QTest::newRow("any other command id is a unicast reply")
        << Reply().seq(5).cmd(0x77).bytes() << QHostAddress("10.77.0.20") << 5 << all << unicast
        << 1 << uniPassed;
    QTest::newRow("three bytes") << QByteArray("ZRV") << stranger << 5 << all << bcast << 0 << "01";
    // CommandID and beyond missing: read as 0, a unicast reply.
    QTest::newRow("header only, from a target")
        << Reply().seq(5).size(12).bytes() << own << 5 << all << bcast << 1 << uniPassed;
}

void TestSearchPacket::check()
{
    QFETCH(QByteArray, data);
    QFETCH(QHostAddress, sender);
    QFETCH(int, engineSeqNo);
    QFETCH(quint32, engineAppFlag);
    QFETCH(AddressList, targets);
    QFETCH(int, result);
    QFETCH(QString, steps);

    LogCapture log;
    QCOMPARE(searchAckDataCheck(data, sender, quint16(engineSeqNo), engineAppFlag, targets),
             result);
    QCOMPARE(log.lines("quillrelay.search"), checkLines(steps, result != 0));
}

void TestSearchPacket::decode_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QHostAddress>("hostIp");
    QTest::addColumn<quint32>("status");

    // Shift-JIS bytes of "プロジェクタ１" (katakana and a full-width digit).
    const QByteArray sjis("\x83\x76\x83\x8D\x83\x57\x83\x46\x83\x4E\x83\x5E\x82\x50");
    QTest::newRow("Shift-JIS name")
        << Reply().status(0xDEADBEEF).hostIp("10.77.0.40").name(sjis).bytes()
        << QStringLiteral("プロジェクタ１") << QHostAddress("10.77.0.40") << 0xDEADBEEFu;
    // The name runs from byte 96 to the end of a 150-byte datagram without a NUL.
    QTest::newRow("150-byte reply, name without NUL")
        << Reply().hostIp("10.77.0.41").name(QByteArray(54, 'N')).size(150).bytes()
        << QString(54, QLatin1Char('N')) << QHostAddress("10.77.0.41") << 0u;
    // The full buffer: the name fills bytes 96 to 255 and the AppFlag bytes belong to it.
    QTest::newRow("name to the end of 256 bytes")
        << Reply().name(QByteArray(160, 'L')).bytes() << QString(160, QLatin1Char('L'))
        << QHostAddress() << 0u;
    QTest::newRow("empty HostIp is null")
        << Reply().name("PJ").bytes() << QStringLiteral("PJ") << QHostAddress() << 0u;
    QTest::newRow("short reply: missing fields empty")
        << Reply().status(0x01020304).size(24).bytes() << QString() << QHostAddress()
        << 0x01020304u;
}

void TestSearchPacket::decode()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, name);
    QFETCH(QHostAddress, hostIp);
    QFETCH(quint32, status);

    const SearchReply reply = decodeSearchReply(data);
    QCOMPARE(reply.name, name);
    QCOMPARE(reply.hostIp, hostIp);
    QCOMPARE(reply.status, status);
}

void TestSearchPacket::hostIp_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QHostAddress>("address");

    QTest::newRow("dotted") << QByteArray("10.77.0.5") << QHostAddress("10.77.0.5");
    QTest::newRow("empty") << QByteArray() << QHostAddress();
    QTest::newRow("unspecified") << QByteArray("0.0.0.0") << QHostAddress();
    QTest::newRow("shorthand") << QByteArray("10.5") << QHostAddress();
    QTest::newRow("octet too big") << QByteArray("10.77.0.256") << QHostAddress();
    QTest::newRow("trailing text") << QByteArray("10.77.0.5 x") << QHostAddress();
    QTest::newRow("IPv6 text") << QByteArray("::ffff:10.77.0.5") << QHostAddress();
}

void TestSearchPacket::hostIp()
{
    QFETCH(QByteArray, text);
    QFETCH(QHostAddress, address);
    QCOMPARE(parseHostIp(text), address);
}

// One table for both decoders (the toolkit's codec on Linux, code page 932 on Windows): the
// characters where Shift-JIS tables disagree must come out as the projector's own (932) does.
void TestSearchPacket::shiftJis_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("name");

    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("ASCII") << QByteArray("PJ-Room 101") << QStringLiteral("PJ-Room 101");
    QTest::newRow("kanji, katakana, full-width digit")
        << QByteArray("\x89\xEF\x8B\x63\x8E\xBA\x83\x76\x83\x8D\x83\x57\x83\x46\x83\x4E\x83\x5E\x82\x50")
        << QStringLiteral("会議室プロジェクタ１");
    QTest::newRow("half-width katakana")
        << QByteArray("\xCC\xDF\xDB\xBC\xDE\xAA\xB8\xC0") << QStringLiteral("ﾌﾟﾛｼﾞｪｸﾀ");
    // JIS X 0201 would make these a yen sign and an overline.
    QTest::newRow("backslash and tilde") << QByteArray("A\\B~") << QStringLiteral("A\\B~");
    QTest::newRow("NEC and IBM extensions")
        << QByteArray("\x87\x40\x87\x54\x87\x8A\xFA\x40\xFB\xFC")
        << QStringLiteral("①Ⅰ㈱ⅰ髙");
    QTest::newRow("wave dash, minus, cent as 932 maps them")
        << QByteArray("\x81\x60\x81\x7C\x81\x91") << QStringLiteral("\uFF5E\uFF0D\uFFE0");
    QTest::newRow("first byte cut off at the end") << QByteArray("AB\x83") << QStringLiteral("AB");
    // The second 0x83 completes the first: nothing is cut off.
    QTest::newRow("second byte that looks like a first")
        << QByteArray("\x83\x83") << QStringLiteral("ャ");
}

void TestSearchPacket::shiftJis()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, name);
    QCOMPARE(decodeShiftJis(bytes), name);
}

QTEST_GUILESS_MAIN(TestSearchPacket)
#include "tst_searchpacket.moc"
