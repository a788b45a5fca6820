// The bytes of the three protocols, in and out: pen-status records, the command frame with
// its replies and the pen-control command, and the search datagrams.
#include "protocol/commandframe.h"
#include "protocol/pencommand.h"
#include "protocol/penstatusrecord.h"
#include "protocol/searchpacket.h"
#include "protocol/shiftjis.h"
#include "support/packets.h"

#include <QHostAddress>
#include <QTest>

using AddressList = QList<QHostAddress>;
using Events = QList<PenEvent>;
Q_DECLARE_METATYPE(PenEvent)

class TestProtocol : public QObject {
    Q_OBJECT
private slots:
    void penDatagrams_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<Events>("events");
        const QByteArray good = hex("03CE000007020101028001 90EF");
        const QByteArray badSum = hex("03CE00000702010102800190F0");
        QTest::newRow("one record") << good << Events{{1, 1, 640, 400}};
        QTest::newRow("checksum wrong") << badSum << Events{};
        QTest::newRow("bytes 2-4 not examined")
            << hex("03CEAABBCC0201010280019019") << Events{{1, 1, 640, 400}};
        QTest::newRow("bytes 0, 1 and 5 checked") << hex("04CE00000702010102800190F0 03CF00000702010102800190F0"
                                                         "03CE00000703010102800190F0") << Events{};
        QTest::newRow("two records in order")
            << good + encodePenStatusRecord({2, 2, -1, 799}) << Events{{1, 1, 640, 400}, {2, 2, -1, 799}};
        QTest::newRow("trailing piece ignored") << good + good.left(12) << Events{{1, 1, 640, 400}};
        QTest::newRow("shorter than a record") << good.left(12) << Events{};
        QTest::newRow("bad record, then good") << badSum + good << Events{{1, 1, 640, 400}};
        QTest::newRow("positions are signed, high byte first")
            << encodePenStatusRecord({255, 0, -32768, 0x1234}) << Events{{255, 0, -32768, 0x1234}};
    }
    void penDatagrams()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(Events, events);
        std::vector<PenEvent> seen{{9, 9, 9, 9}}; // what an earlier datagram left
        const int valid = decodePenStatusDatagram(datagram, seen);
        QCOMPARE(Events(seen.begin(), seen.end()), events);
        QCOMPARE(valid, events.size());
    }

    // The diagnostics show each record as it came: a line with this exact form is what
    // people compare with a capture.
    void penRecordDebugLine()
    {
        QCOMPARE(penStatusDebugLine(hex("03CE00000702010102800190EF")),
                 QStringLiteral("UdpRead: 3 CE 0 0 7 2 1 1 2 80 1 90 EF"));
    }

    void penCommandFrames_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("port");
        QTest::addColumn<QByteArray>("frame"); // empty: nothing to send
        const int on = int(PenCommand::On);
        QTest::newRow("on") << on << "10.77.0.1" << 8330 << hex("03CE0000070001004D0A8A20DA");
        QTest::newRow("on, address reversed")
            << on << "192.0.2.1" << 8330 << hex("03CE00000700010200C08A2045");
        QTest::newRow("on, port low byte first")
            << on << "10.77.0.1" << 258 << hex("03CE0000070001004D0A020133");
        QTest::newRow("off") << int(PenCommand::Off) << "0.0.0.0" << 0 << hex("03CE00000101D3");
        // The pens would go nowhere: nothing is sent.
        QTest::newRow("on, no address") << on << "0.0.0.0" << 8330 << QByteArray();
        QTest::newRow("on, port 0") << on << "10.0.0.1" << 0 << QByteArray();
    }
    void penCommandFrames()
    {
        QFETCH(int, command);
        QFETCH(QString, address);
        QFETCH(int, port);
        QFETCH(QByteArray, frame);
        const quint32 local = QHostAddress(address).toIPv4Address();
        QCOMPARE(penCommandFrame(PenCommand(command), local, quint16(port)).value_or(QByteArray()).toHex(' '),
                 frame.toHex(' '));
    }

    void replies_data()
    {
        QTest::addColumn<QList<QByteArray>>("reads");
        QTest::addColumn<int>("rating");
        QTest::addColumn<QByteArray>("reply");
        const QByteArray ok = hex("23CE0000020000F3"), error = hex("A3CE000002000073");
        const QByteArray other = hex("22CE000000F0"), badSum = hex("23CE0000020000F4");
        QList<QByteArray> bytewise;
        for (const char b : ok)
            bytewise << QByteArray(1, b);
        QTest::newRow("whole") << QList<QByteArray>{ok} << 1 << ok;
        QTest::newRow("one byte per read") << bytewise << 1 << ok;
        QTest::newRow("error reply split in its header")
            << QList<QByteArray>{error.left(4), error.mid(4)} << -1 << error;
        QTest::newRow("other reply and ours in one read") << QList<QByteArray>{other + ok} << 1 << ok;
        QTest::newRow("bad checksum, then error reply") << QList<QByteArray>{badSum, error} << -1 << error;
        // The stray read's "length" (5) would swallow the first bytes of the reply.
        QTest::newRow("stray bytes announcing more, then reply")
            << QList<QByteArray>{hex("A000000005"), ok} << 1 << ok;
        QTest::newRow("other reply split, then ours split")
            << QList<QByteArray>{other.left(2), other.mid(2) + ok.left(1), ok.mid(1)} << 1 << ok;
    }
    void replies()
    {
        QFETCH(QList<QByteArray>, reads);
        QFETCH(int, rating);
        QFETCH(QByteArray, reply);
        ReplyScanner scanner(0x03, 0xCE);
        for (const QByteArray& read : reads)
            scanner.addChunk(read);
        QCOMPARE(scanner.result(), rating);
        QCOMPARE(scanner.reply().toHex(' '), reply.toHex(' '));
    }

    void searchRequestAndAcceptance()
    {
        QByteArray request = newSearchRequest();
        fillSearchRequest(request, 0x0102, 0xA1B2C3D4, SEARCH_APP_FLAG, SRCH_CMD_BROADCAST);
        QByteArray expected(128, '\0');
        expected.replace(0, 24, hex("5A525658 13000000 0201 7000 D4C3B2A1 02000000 00000000"));
        expected.replace(24, 4, hex("00000001"));
        QCOMPARE(request.toHex(' '), expected.toHex(' '));
        // The acceptance is the request byte for byte, with CommandID 5.
        expected[16] = 5;
        QCOMPARE(searchAcceptance(request).toHex(' '), expected.toHex(' '));
    }

    void searchChecks_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QHostAddress>("sender");
        QTest::addColumn<quint32>("appFlag");
        QTest::addColumn<AddressList>("targets"); // own address first
        QTest::addColumn<SearchCheck>("check");
        const QHostAddress own("10.77.0.1"), stranger("10.77.0.99");
        const AddressList broadcast{own, QHostAddress("10.77.0.255")};
        const AddressList given{own, QHostAddress("10.77.0.20"), QHostAddress("10.77.0.21")};
        const QByteArray unicast = SearchReplyBytes().seq(5).cmd(SRCH_CMD_UNICAST);
        QTest::newRow("notification, whatever else")
            << QByteArray(SearchReplyBytes().cmd(SRCH_CMD_NOTIFY).id("XXXX").seq(9)) << stranger
            << SEARCH_APP_FLAG << AddressList{} << SearchCheck::Notify;
        QTest::newRow("broadcast reply from anyone")
            << QByteArray(SearchReplyBytes().seq(5)) << stranger << SEARCH_APP_FLAG << broadcast
            << SearchCheck::BroadcastReply;
        QTest::newRow("packet id") << QByteArray(SearchReplyBytes().seq(5).id("ZRVY")) << stranger
                                   << SEARCH_APP_FLAG << broadcast << SearchCheck::NotSearchPacket;
        QTest::newRow("three bytes") << QByteArray("ZRV") << stranger << SEARCH_APP_FLAG
                                     << broadcast << SearchCheck::NotSearchPacket;
        QTest::newRow("earlier search") << QByteArray(SearchReplyBytes().seq(4)) << stranger
                                        << SEARCH_APP_FLAG << broadcast << SearchCheck::OtherSearch;
        // Only the bits of the 0x04044800 mask are compared.
        QTest::newRow("masked flag, reply has none")
            << QByteArray(SearchReplyBytes().seq(5)) << stranger << 0x00004000u << broadcast
            << SearchCheck::AppFlagMismatch;
        QTest::newRow("masked flag shared")
            << QByteArray(SearchReplyBytes().seq(5).appFlag(0x00004001)) << stranger << 0x00004000u
            << broadcast << SearchCheck::BroadcastReply;
        QTest::newRow("reply to given addresses") << unicast << QHostAddress("10.77.0.21")
                                                  << SEARCH_APP_FLAG << given << SearchCheck::UnicastReply;
        QTest::newRow("from an IPv4-mapped sender") << unicast << QHostAddress("::ffff:10.77.0.20")
                                                    << SEARCH_APP_FLAG << given << SearchCheck::UnicastReply;
        QTest::newRow("from an address not searched") << unicast << QHostAddress("10.77.0.22")
                                                      << SEARCH_APP_FLAG << given << SearchCheck::NotATarget;
    }
    void searchChecks()
    {
        QFETCH(QByteArray, data);
        QFETCH(QHostAddress, sender);
        QFETCH(quint32, appFlag);
        QFETCH(AddressList, targets);
        QFETCH(SearchCheck, check);
        QCOMPARE(searchAckDataCheck(data, sender, 5, appFlag, targets), check);
    }

    void searchReplies_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QHostAddress>("hostIp");
        QTest::addColumn<quint32>("status");
        QTest::newRow("fields") << QByteArray(SearchReplyBytes().status(0xDEADBEEF).hostIp("10.77.0.40").name("PJ"))
                                << "PJ" << QHostAddress("10.77.0.40") << 0xDEADBEEFu;
        QTest::newRow("name without NUL runs to the end")
            << QByteArray(SearchReplyBytes().name(QByteArray(54, 'N')).size(150)) << QString(54, 'N')
            << QHostAddress() << 0u;
        for (const char* bad : {"0.0.0.0", "10.5", "10.77.0.256", "10.77.0.5 x", "::ffff:10.77.0.5"})
            QTest::newRow(bad) << QByteArray(SearchReplyBytes().hostIp(bad)) << "" << QHostAddress() << 0u;
        QTest::newRow("short reply") << QByteArray(SearchReplyBytes().status(7).size(24)) << ""
                                     << QHostAddress() << 7u;
    }
    void searchReplies()
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

    // Projector names come in Shift-JIS with the Windows extensions (code page 932); every
    // platform decodes them the same way.
    void shiftJisNames_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("name");
        QTest::newRow("empty") << QByteArray() << QString();
        QTest::newRow("kanji, katakana, full-width digit")
            << hex("89EF8B638EBA8376838D83578346834E835E8250") << QStringLiteral("会議室プロジェクタ１");
        QTest::newRow("half-width katakana") << hex("CCDFDBBCDEAAB8C0") << QStringLiteral("ﾌﾟﾛｼﾞｪｸﾀ");
        // JIS X 0201 would make these a yen sign and an overline.
        QTest::newRow("backslash and tilde") << QByteArray("A\\B~") << QStringLiteral("A\\B~");
        QTest::newRow("NEC and IBM extensions") << hex("87408754878AFA40FBFC") << QStringLiteral("①Ⅰ㈱ⅰ髙");
        QTest::newRow("wave dash, minus, cent as 932 maps them")
            << hex("8160817C8191") << QStringLiteral("\uFF5E\uFF0D\uFFE0");
        QTest::newRow("first byte cut off at the end") << QByteArray("AB\x83") << QStringLiteral("AB");
        // The second 0x83 completes the first: nothing is cut off.
        QTest::newRow("second byte that looks like a first") << hex("8383") << QStringLiteral("ャ");
    }
    void shiftJisNames()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, name);
        QCOMPARE(decodeShiftJis(bytes), name);
    }
};

QTEST_GUILESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
