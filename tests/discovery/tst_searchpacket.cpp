// The search datagrams and the acceptance check, as plain functions: no socket involved.
#include "discovery/searchpacket.h"
#include "support/logcapture.h"

#include <QTest>
#include <QtEndian>

namespace {
struct ReplySpec {
    quint32 commandId = SRCH_CMD_BROADCAST;
    quint16 seqNo = 1;
    QByteArray packetId = "ZRVX";
    quint32 status = 0;
    QByteArray hostIp;
    QByteArray name;
    quint32 appFlag = 0;
    int size = 256;
};

// A reply as a projector would send it, built by hand from the field table.
QByteArray makeReply(const ReplySpec& spec)
{
    QByteArray data(qMax(spec.size, 256), '\0');
    data.replace(0, spec.packetId.size(), spec.packetId);
    qToLittleEndian<quint16>(spec.seqNo, data.data() + 8);
    qToLittleEndian<quint32>(spec.commandId, data.data() + 16);
    qToLittleEndian<quint32>(spec.status, data.data() + 20);
    data.replace(32, spec.hostIp.size(), spec.hostIp);
    data.replace(96, spec.name.size(), spec.name);
    if (spec.appFlag != 0) // else a long name may run through the field
        qToLittleEndian<quint32>(spec.appFlag, data.data() + 144);
    data.truncate(spec.size);
    return data;
}

const QString Start = QStringLiteral("@@SearchAckDataCheck : Start!!");
const QString End = QStringLiteral("@@SearchAckDataCheck : End!!");
const QString Notify =
    QStringLiteral("##### SearchAckDataCheck : ack->CommandID == SRCH_CMD_NOTIFY");
const QString L01 = QStringLiteral("SearchAckDataCheck : (01) ack->CommandID  [OK]");
const QString L02 = QStringLiteral("SearchAckDataCheck : (02) Header.PacketID [OK]");
const QString L03 = QStringLiteral("SearchAckDataCheck : (03) Header.SeqNo    [OK]");
const QString L04 = QStringLiteral("SearchAckDataCheck : (04) AppFlag         [OK]");
const QString L05B = QStringLiteral("SearchAckDataCheck : (05) Broadcast        [OK]");
const QString L05U = QStringLiteral("SearchAckDataCheck : (05) Unicast Check...");
const QString L06 = QStringLiteral("SearchAckDataCheck : (06) Unicast         [OK]");

using AddressList = QList<QHostAddress>;

// Shift-JIS bytes of "プロジェクタ１" (katakana and a full-width digit).
const QByteArray SjisName("\x83\x76\x83\x8D\x83\x57\x83\x46\x83\x4E\x83\x5E\x82\x50");
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
};

void TestSearchPacket::check_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QHostAddress>("sender");
    QTest::addColumn<int>("engineSeqNo");
    QTest::addColumn<quint32>("engineAppFlag");
    QTest::addColumn<AddressList>("targets");
    QTest::addColumn<int>("result");
    QTest::addColumn<QStringList>("lines");

    const QHostAddress own("10.77.0.1");
    const QHostAddress bcast("10.77.0.255");
    const AddressList broadcastTargets{own, bcast};
    const AddressList unicastTargets{own, QHostAddress("10.77.0.20"), QHostAddress("10.77.0.21"),
                                     QHostAddress("10.77.0.22")};
    const QHostAddress stranger("10.77.0.99");
    const QStringList accepted{Start, L01, L02, L03, L04, L05B, End};
    const QStringList unicastOk{Start, L01, L02, L03, L04, L05U, L06, End};

    ReplySpec notify;
    notify.commandId = SRCH_CMD_NOTIFY;
    notify.packetId = "XXXX";
    notify.seqNo = 4711;
    QTest::newRow("notify needs no header, seq or sender")
        << makeReply(notify) << stranger << 1 << SEARCH_APP_FLAG << AddressList{} << 3
        << QStringList{Start, Notify, End};

    ReplySpec ok;
    ok.seqNo = 5;
    QTest::newRow("broadcast reply from any sender")
        << makeReply(ok) << stranger << 5 << SEARCH_APP_FLAG << broadcastTargets << 2 << accepted;

    ReplySpec badId = ok;
    badId.packetId = "ZRVY";
    QTest::newRow("wrong packet id") << makeReply(badId) << stranger << 5 << SEARCH_APP_FLAG
                                     << broadcastTargets << 0 << QStringList{Start, L01};

    ReplySpec earlier = ok;
    earlier.seqNo = 4;
    QTest::newRow("seq of an earlier search")
        << makeReply(earlier) << stranger << 5 << SEARCH_APP_FLAG << broadcastTargets << 0
        << QStringList{Start, L01, L02};

    ReplySpec wrapped = ok;
    wrapped.seqNo = 0;
    QTest::newRow("seq wrapped to 0 matches")
        << makeReply(wrapped) << stranger << 0 << SEARCH_APP_FLAG << broadcastTargets << 2
        << accepted;
    QTest::newRow("seq 65535 does not match a wrapped search") << makeReply([&] {
        ReplySpec s = ok;
        s.seqNo = 65535;
        return s;
    }()) << stranger << 0 << SEARCH_APP_FLAG << broadcastTargets
                                                               << 0 << QStringList{Start, L01, L02};

    ReplySpec flag0 = ok;
    flag0.appFlag = 0;
    ReplySpec flag4001 = ok;
    flag4001.appFlag = 0x00004001;
    QTest::newRow("masked engine flag, reply flag 0")
        << makeReply(flag0) << stranger << 5 << quint32(0x00004000) << broadcastTargets << 0
        << QStringList{Start, L01, L02, L03};
    QTest::newRow("masked engine flag, reply shares a bit")
        << makeReply(flag4001) << stranger << 5 << quint32(0x00004000) << broadcastTargets << 2
        << accepted;
    QTest::newRow("unmasked engine flag, reply flag 0")
        << makeReply(flag0) << stranger << 5 << SEARCH_APP_FLAG << broadcastTargets << 2
        << accepted;
    ReplySpec otherBit = ok;
    otherBit.appFlag = 0x04000000;
    QTest::newRow("masked engine flags, reply has another masked bit")
        << makeReply(otherBit) << stranger << 5 << quint32(0x00000800 | 0x01000000)
        << broadcastTargets << 0 << QStringList{Start, L01, L02, L03};

    ReplySpec unicast = ok;
    unicast.commandId = SRCH_CMD_UNICAST;
    QTest::newRow("unicast reply from a target")
        << makeReply(unicast) << QHostAddress("10.77.0.21") << 5 << SEARCH_APP_FLAG
        << unicastTargets << 1 << unicastOk;
    QTest::newRow("unicast reply from an IPv4-mapped sender")
        << makeReply(unicast) << QHostAddress("::ffff:10.77.0.22") << 5 << SEARCH_APP_FLAG
        << unicastTargets << 1 << unicastOk;
    QTest::newRow("unicast reply from own address counts")
        << makeReply(unicast) << own << 5 << SEARCH_APP_FLAG << unicastTargets << 1 << unicastOk;
    QTest::newRow("unicast reply from outside the list")
        << makeReply(unicast) << QHostAddress("10.77.0.23") << 5 << SEARCH_APP_FLAG
        << unicastTargets << 0 << QStringList{Start, L01, L02, L03, L04, L05U};

    ReplySpec oddCommand = unicast;
    oddCommand.commandId = 0x77;
    QTest::newRow("any other command id is a unicast reply")
        << makeReply(oddCommand) << QHostAddress("10.77.0.20") << 5 << SEARCH_APP_FLAG
        << unicastTargets << 1 << unicastOk;

    QTest::newRow("three bytes") << QByteArray("ZRV") << stranger << 5 << SEARCH_APP_FLAG
                                 << broadcastTargets << 0 << QStringList{Start, L01};
    ReplySpec headerOnly = ok;
    headerOnly.size = 12; // CommandID and beyond missing: read as 0, a unicast reply
    QTest::newRow("header only, from a target")
        << makeReply(headerOnly) << own << 5 << SEARCH_APP_FLAG << broadcastTargets << 1
        << unicastOk;
}

void TestSearchPacket::check()
{
    QFETCH(QByteArray, data);
    QFETCH(QHostAddress, sender);
    QFETCH(int, engineSeqNo);
    QFETCH(quint32, engineAppFlag);
    QFETCH(AddressList, targets);
    QFETCH(int, result);
    QFETCH(QStringList, lines);

    LogCapture log;
    QCOMPARE(searchAckDataCheck(data, sender, quint16(engineSeqNo), engineAppFlag, targets),
             result);
    QCOMPARE(log.lines("quillrelay.search"), lines);
}

void TestSearchPacket::decode_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QHostAddress>("hostIp");
    QTest::addColumn<quint32>("status");

    ReplySpec full;
    full.status = 0xDEADBEEF;
    full.hostIp = "10.77.0.40";
    full.name = SjisName;
    QTest::newRow("Shift-JIS name") << makeReply(full) << QStringLiteral("プロジェクタ１")
                                    << QHostAddress("10.77.0.40") << 0xDEADBEEFu;

    // The name runs from byte 96 to the end of a 150-byte datagram without a NUL.
    ReplySpec open;
    open.size = 150;
    open.hostIp = "10.77.0.41";
    open.name = QByteArray(54, 'N');
    QTest::newRow("150-byte reply, name without NUL")
        << makeReply(open) << QString(54, QLatin1Char('N')) << QHostAddress("10.77.0.41") << 0u;

    // The full buffer: the name fills bytes 96 to 255 and the AppFlag bytes belong to it.
    ReplySpec longName;
    longName.name = QByteArray(160, 'L');
    QTest::newRow("name to the end of 256 bytes")
        << makeReply(longName) << QString(160, QLatin1Char('L')) << QHostAddress() << 0u;

    ReplySpec noIp;
    noIp.name = "PJ";
    QTest::newRow("empty HostIp is null")
        << makeReply(noIp) << QStringLiteral("PJ") << QHostAddress() << 0u;

    ReplySpec shortData;
    shortData.size = 24;
    shortData.status = 0x01020304;
    QTest::newRow("short reply: missing fields empty")
        << makeReply(shortData) << QString() << QHostAddress() << 0x01020304u;
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

QTEST_GUILESS_MAIN(TestSearchPacket)
#include "tst_searchpacket.moc"
