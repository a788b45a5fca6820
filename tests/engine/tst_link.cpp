// The command exchange over TCP, against a projector's command port played by the test on
// loopback: what it receives, and what each kind of answer (or none) gives.
#include "engine/link/pencommandrunner.h"
#include "engine/link/pjcommcontrol.h"
#include "support/packets.h"

#include <QElapsedTimer>
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
    QString port() const { return QString::number(m_server.serverPort()); }
    QByteArray received;

private:
    QTcpServer m_server;
    QByteArray m_answer;
    int m_delayMs;
    bool m_hangUp;
};

CPenControl penOn(const QString& port)
{
    return CPenControl{PenCommand::On, QStringLiteral("127.0.0.1"), port,
                       QStringLiteral("10.77.0.1"), QStringLiteral("8330")};
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
        LinkCommandRunner runner;
        const CommandOutcome outcome = runner.run(penOn(projector.port()), false);
        QCOMPARE(outcome.result, result);
        QCOMPARE(projector.received.toHex(' '), hex("03CE0000070001004D0A8A20DA").toHex(' '));
        QCOMPARE(outcome.projector, result == CommandResult::Ok ? QHostAddress(QHostAddress::LocalHost)
                                                                 : QHostAddress());
    }

    void silentProjectorGivesNoReplyAfterFiveSeconds()
    {
        CommandPort projector(QByteArray(), 0, false);
        LinkCommandRunner runner;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(runner.run(penOn(projector.port()), false).result, CommandResult::NoReply);
        QVERIFY(clock.elapsed() >= PJCommControl::REPLY_TIMEOUT_MS - 10);
    }

    void refusedConnectionFailsAtOnce()
    {
        QTcpServer closed;
        closed.listen(QHostAddress::LocalHost);
        const QString port = QString::number(closed.serverPort());
        closed.close();
        LinkCommandRunner runner;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(runner.run(penOn(port), false).result, CommandResult::ConnectFailed);
        QVERIFY(clock.elapsed() < 3000);
        QCOMPARE(runner.run(penOn(QStringLiteral("0")), false).result, CommandResult::ConnectFailed);
    }

    void abortEndsTheWait()
    {
        CommandPort projector(QByteArray(), 0, false);
        LinkCommandRunner runner;
        bool abort = false;
        QTimer::singleShot(200, [&] { abort = true; });
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(runner.run(penOn(projector.port()), abort).result, CommandResult::NoReply);
        QVERIFY(clock.elapsed() < PJCommControl::REPLY_TIMEOUT_MS);
    }
};

QTEST_GUILESS_MAIN(TestLink)
#include "tst_link.moc"
