// The command link against a peer on its command port that answers in hostile ways: a
// reply one byte at a time, bytes that never end, megabytes before the reply, frames of
// another command without end. The wait must end by its time-out or sooner, and what the
// link keeps of the peer's bytes must stay bounded.
#include "hostilepeer.h"

#include "protocol/pencommand.h"
#include "engine/link/pjcommcontrol.h"

#include <QElapsedTimer>
#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {
const QByteArray OkReply = QByteArray::fromHex("23CE0000020000F3");

// A command port on loopback that answers the first frame it reads with a script of writes.
class HostileCommandPort final {
public:
    struct Write {
        QByteArray bytes;
        int pauseMs = 0; // before this write
        int repeat = 1;  // 0: until the link goes away or the test ends
    };

    explicit HostileCommandPort(QList<Write> script) : m_script(std::move(script))
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_listener, 1) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~HostileCommandPort()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        ::close(m_listener);
    }
    Q_DISABLE_COPY_MOVE(HostileCommandPort)

    quint16 port() const { return m_port; }
    qint64 bytesWritten() const { return m_written.load(); }

private:
    // Waits up to `ms` for `events` on `fd`, looking at the stop flag every 50 ms.
    bool waitFor(int fd, short events, int ms)
    {
        for (int waited = 0; !m_stop.load() && waited < ms; waited += 50) {
            pollfd p{fd, events, 0};
            if (::poll(&p, 1, qMin(50, ms - waited)) > 0)
                return true;
        }
        return false;
    }

    void serve()
    {
        if (!waitFor(m_listener, POLLIN, 10000))
            return;
        const int peer = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (peer < 0)
            return;
        char frame[64];
        if (waitFor(peer, POLLIN, 10000) && ::recv(peer, frame, sizeof frame, 0) > 0)
            play(peer);
        ::close(peer);
    }

    void play(int peer)
    {
        for (const Write& write : std::as_const(m_script)) {
            for (int i = 0; write.repeat == 0 || i < write.repeat; ++i) {
                if (write.pauseMs > 0 && waitFor(-1, 0, write.pauseMs))
                    return;
                qsizetype done = 0;
                while (done < write.bytes.size()) {
                    if (!waitFor(peer, POLLOUT, 10000))
                        return;
                    const ssize_t n =
                        ::send(peer, write.bytes.constData() + done,
                               size_t(write.bytes.size() - done), MSG_DONTWAIT | MSG_NOSIGNAL);
                    if (n < 0 && errno != EAGAIN)
                        return; // the link has gone
                    if (n > 0) {
                        done += n;
                        m_written += n;
                    }
                }
            }
        }
        waitFor(-1, 0, 10000); // then silence, until the test ends
    }

    QList<Write> m_script;
    int m_listener = -1;
    quint16 m_port = 0;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<qint64> m_written{0};
};
} // namespace

Q_DECLARE_METATYPE(QList<HostileCommandPort::Write>)

class TestHostileLink : public QObject {
    Q_OBJECT
private slots:
    void replyWaitEndsAndStaysBounded_data();
    void replyWaitEndsAndStaysBounded();
};

void TestHostileLink::replyWaitEndsAndStaysBounded_data()
{
    using W = HostileCommandPort::Write;
    QTest::addColumn<QList<W>>("script");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("atMostMs");

    QList<W> dribble;
    for (const char byte : OkReply)
        dribble << W{QByteArray(1, byte), 40, 1};
    QTest::newRow("reply dribbled a byte at a time") << dribble << 1 << 2000;
    QTest::newRow("bytes that never end")
        << QList<W>{W{QByteArray(65536, char(0x55)), 0, 0}} << int(RESULT_NO_REPLY) << 6500;
    QTest::newRow("megabytes, then the reply")
        << QList<W>{W{QByteArray(1 << 20, char(0x55)), 0, 8}, W{OkReply, 0, 1}}
        << int(RESULT_NO_REPLY) << 6500;
    QTest::newRow("another command's replies without end")
        << QList<W>{W{QByteArray::fromHex("22CE000000F0").repeated(4096), 0, 0}}
        << int(RESULT_NO_REPLY) << 6500;
    QTest::newRow("a header that promises 4095 bytes, then silence")
        << QList<W>{W{QByteArray::fromHex("23CE000FFF") + QByteArray(100, 'x'), 0, 1}}
        << int(RESULT_NO_REPLY) << 6500;
}

void TestHostileLink::replyWaitEndsAndStaysBounded()
{
    QFETCH(QList<HostileCommandPort::Write>, script);
    QFETCH(int, result);
    QFETCH(int, atMostMs);

    HostileCommandPort peer(script);
    QVERIFY(peer.port() != 0);
    PJCommControl link;
    QVERIFY(link.Open("127.0.0.1", QString::number(peer.port()), true));
    QCOMPARE(link.SendPenControl(PEN_OFF, QString(), QString()), 1);

    const qint64 residentBefore = hostile::residentKiB();
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(link.WaitReply(nullptr), result);
    const qint64 elapsed = clock.elapsed();
    const qint64 kept = link.ReplyBuffer().size();
    qInfo("%lld bytes sent by the peer, %lld kept, wait ended after %lld ms, resident memory "
          "%+lld KiB",
          peer.bytesWritten(), kept, elapsed, hostile::residentKiB() - residentBefore);
    QVERIFY2(elapsed < atMostMs, qPrintable(QString::number(elapsed)));
    QVERIFY2(kept <= PJCommControl::MAX_RECEIVE_BYTES,
             qPrintable(QStringLiteral("%1 bytes kept").arg(kept)));
    if (result == 1)
        QCOMPARE(link.Reply(), OkReply);
    link.Close();
}

QTEST_MAIN(TestHostileLink)
#include "tst_hostilelink.moc"
