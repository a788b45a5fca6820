// The command exchange over TCP, against a projector's command port played by the test on
// loopback: what it receives, and what each kind of answer (or none) gives.
#include "engine/link/pjcommcontrol.h"
#include "support/packets.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

namespace {
// Answers each connection with `answer` (after `delayMs`), then hangs up if told to.
class CommandPort final : public QObject {
public:
    CommandPort(QByteArray answer, int delayMs, bool hangUp)
        : m_answer(std::move(answer)), m_delayMs(delayMs), m_hangUp(hangUp)
    {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            QTcpSocket* peer = m_server.nextPendingConnection();
            connect(peer, &QTcpSocket::readyRead, this, [this, peer] {
                received += peer->readAll();
                QTimer::singleShot(m_delayMs, peer, [this, peer] {
                    peer->write(m_answer);
                    if (m_hangUp)
                        peer->disconnectFromHost();
                });
            });
        });
    }
    quint16 port() const { return m_server.serverPort(); }
    QByteArray received;

private:
    QTcpServer m_server;
    QByteArray m_answer;
    int m_delayMs;
    bool m_hangUp;
};

CPenControl penOn(quint16 port)
{
    return CPenControl{PenCommand::On, QStringLiteral("127.0.0.1"), port,
                       QHostAddress("10.77.0.1").toIPv4Address(), 8330};
}

// Runs `cmd` to its end; the outcome arrives once, and never from inside start().
CommandOutcome exchange(PJCommControl& link, const CPenControl& cmd)
{
    QSignalSpy finished(&link, &PenCommandExchange::finished);
    link.start(cmd);
    if (!finished.isEmpty() || !finished.wait(PJCommControl::CONNECT_TIMEOUT_MS))
        return {CommandResult(0), {}};
    QTest::qWait(20);
    if (finished.size() != 1 || link.isRunning())
        return {CommandResult(0), {}};
    return finished.at(0).at(0).value<CommandOutcome>();
}
} // namespace

class TestLink : public QObject {
    Q_OBJECT
private slots:
    void answers_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<bool>("hangUp");
        QTest::addColumn<CommandResult>("result");
        const QByteArray ok = hex("23CE0000020000F3");
        QTest::newRow("positive") << ok << 0 << false << CommandResult::Ok;
        QTest::newRow("positive after a second") << ok << 1000 << false << CommandResult::Ok;
        QTest::newRow("positive, then hang-up") << ok << 0 << true << CommandResult::Ok;
        QTest::newRow("result byte 2") << hex("23CE0000020002F5") << 0 << false << CommandResult::Rejected;
        QTest::newRow("too short for a result") << hex("23CE000000F1") << 0 << false << CommandResult::Rejected;
        QTest::newRow("error reply") << hex("A3CE000002000073") << 0 << false << CommandResult::ErrorReply;
        QTest::newRow("hang-up without a reply") << QByteArray() << 0 << true << CommandResult::Disconnected;
        // A peer that talks far more than any reply is not answering; it is not read to the end.
        QTest::newRow("endless stream") << QByteArray(200000, 'x') << 0 << false << CommandResult::NoReply;
    }
    void answers()
    {
        QFETCH(QByteArray, answer);
        QFETCH(int, delayMs);
        QFETCH(bool, hangUp);
        QFETCH(CommandResult, result);
        CommandPort projector(answer, delayMs, hangUp);
        PJCommControl link;
        const CommandOutcome outcome = exchange(link, penOn(projector.port()));
        QCOMPARE(outcome.result, result);
        QCOMPARE(projector.received.toHex(' '), hex("03CE0000070001004D0A8A20DA").toHex(' '));
        QCOMPARE(outcome.projector, result == CommandResult::Ok ? QHostAddress(QHostAddress::LocalHost)
                                                                 : QHostAddress());
    }

    void silentProjectorGivesNoReplyAfterFiveSeconds()
    {
        CommandPort projector(QByteArray(), 0, false);
        PJCommControl link;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(exchange(link, penOn(projector.port())).result, CommandResult::NoReply);
        QVERIFY(clock.elapsed() >= PJCommControl::REPLY_TIMEOUT_MS - 10);
    }

    void refusedConnectionFailsAtOnce()
    {
        QTcpServer closed;
        closed.listen(QHostAddress::LocalHost);
        const quint16 port = closed.serverPort();
        closed.close();
        PJCommControl link;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(exchange(link, penOn(port)).result, CommandResult::ConnectFailed);
        QVERIFY(clock.elapsed() < 3000);
        QCOMPARE(exchange(link, penOn(0)).result, CommandResult::ConnectFailed);
    }

    // Given up while waiting for the reply: the result reached so far comes from the event
    // loop; a command started instead is the only one whose outcome comes.
    void abortAndRestart()
    {
        CommandPort silent(QByteArray(), 0, false);
        PJCommControl link;
        QSignalSpy finished(&link, &PenCommandExchange::finished);
        link.start(penOn(silent.port()));
        QTRY_VERIFY(!silent.received.isEmpty());
        link.abort();
        QVERIFY(!link.isRunning());
        QCOMPARE(finished.size(), 0);
        QVERIFY(finished.wait(1000));
        QCOMPARE(finished.at(0).at(0).value<CommandOutcome>().result, CommandResult::NoReply);

        CommandPort answering(hex("23CE0000020000F3"), 0, false);
        link.start(penOn(silent.port()));
        link.abort();
        QCOMPARE(exchange(link, penOn(answering.port())).result, CommandResult::Ok);
        QCOMPARE(finished.size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestLink)
#include "tst_link.moc"
