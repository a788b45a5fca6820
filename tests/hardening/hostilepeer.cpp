#include "hostilepeer.h"

#include <QFile>
#include <QHostAddress>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <vector>

UdpBlaster::~UdpBlaster()
{
    stop();
}

bool UdpBlaster::allowedDestination(const QString& address)
{
    const QHostAddress a(address);
    return a.isInSubnet(QHostAddress(QStringLiteral("127.0.0.0")), 8) ||
           a.isInSubnet(QHostAddress(QStringLiteral("10.77.0.0")), 16);
}

bool UdpBlaster::start(const Options& options)
{
    stop();
    if (!allowedDestination(options.destination)) {
        m_error = QStringLiteral("refused destination %1").arg(options.destination);
        return false;
    }
    m_stop = false;
    m_finished = false;
    m_sent = 0;
    m_failed = 0;
    std::promise<bool> setUp;
    std::future<bool> ready = setUp.get_future();
    m_thread = std::thread(
        [this, options, promise = std::move(setUp)]() mutable { run(options, promise); });
    m_started = true;
    // The set-up (namespace, sockets) is quick; its outcome comes through the promise.
    if (!ready.get()) {
        wait();
        return false;
    }
    return true;
}

void UdpBlaster::stop()
{
    m_stop = true;
    wait();
}

void UdpBlaster::wait()
{
    if (m_started.exchange(false) && m_thread.joinable())
        m_thread.join();
}

void UdpBlaster::run(Options options, std::promise<bool>& setUp)
{
    std::vector<int> sockets;
    const auto fail = [&](const QString& why) {
        m_error = why;
        for (int fd : sockets)
            ::close(fd);
        m_finished = true;
        setUp.set_value(false);
    };
    if (!options.netnsName.isEmpty()) {
        // Only this thread moves into the other namespace; the test stays where it is.
        const QByteArray path = "/var/run/netns/" + options.netnsName.toLocal8Bit();
        const int ns = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        if (ns < 0 || ::setns(ns, CLONE_NEWNET) != 0) {
            if (ns >= 0)
                ::close(ns);
            return fail(QStringLiteral("cannot enter namespace %1").arg(options.netnsName));
        }
        ::close(ns);
    }
    for (const QString& source : options.sources) {
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        if (fd < 0 || ::inet_pton(AF_INET, source.toLatin1().constData(), &local.sin_addr) != 1 ||
            ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
            if (fd >= 0)
                ::close(fd);
            return fail(QStringLiteral("cannot send from %1").arg(source));
        }
        sockets.push_back(fd);
    }
    if (sockets.empty())
        return fail(QStringLiteral("no source address"));
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(options.port);
    ::inet_pton(AF_INET, options.destination.toLatin1().constData(), &to.sin_addr);
    setUp.set_value(true);

    using Clock = std::chrono::steady_clock;
    const auto begin = Clock::now();
    const auto end = begin + std::chrono::milliseconds(options.durationMs);
    // Paced in batches of a millisecond's worth; between batches the thread sleeps.
    const int batch = options.ratePerSecond > 0 ? qMax(1, options.ratePerSecond / 1000) : 256;
    quint64 n = 0;
    const quint64 limit = options.count > 0 ? options.count : ~quint64(0);
    while (!m_stop.load() && Clock::now() < end && n < limit) {
        for (int i = 0; i < batch && n < limit; ++i, ++n) {
            const QByteArray data = options.payload(n);
            const int fd = sockets[n % sockets.size()];
            if (::sendto(fd, data.constData(), size_t(data.size()), MSG_DONTWAIT,
                         reinterpret_cast<const sockaddr*>(&to), sizeof to) == data.size())
                ++m_sent;
            else
                ++m_failed;
        }
        if (options.ratePerSecond > 0) {
            const auto due =
                begin + std::chrono::microseconds(n * 1000000 / quint64(options.ratePerSecond));
            std::this_thread::sleep_until(due);
        }
    }
    m_elapsedMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - begin).count();
    for (int fd : sockets)
        ::close(fd);
    m_finished = true;
}

namespace hostile {
QByteArray penRecord(int id, int button, int x, int y)
{
    QByteArray r(13, '\0');
    r[0] = 0x03;
    r[1] = char(0xCE);
    r[5] = 0x02;
    r[6] = char(id);
    r[7] = char(button);
    r[8] = char((x >> 8) & 0xFF);
    r[9] = char(x & 0xFF);
    r[10] = char((y >> 8) & 0xFF);
    r[11] = char(y & 0xFF);
    int sum = 0;
    for (int i = 0; i < 12; ++i)
        sum += quint8(r[i]);
    r[12] = char(sum);
    return r;
}

QByteArray garbage(quint64 n)
{
    // A small linear congruential sequence: cheap, reproducible, different for every n.
    quint64 state = n * 6364136223846793005ull + 1442695040888963407ull;
    const auto next = [&state] {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return quint32(state >> 33);
    };
    const int length = int(next() % 301);
    QByteArray out(length, '\0');
    for (int i = 0; i < length; ++i)
        out[i] = char(next());
    if (length >= 13 && n % 3 == 0) {
        // Looks like a record, with a wrong checksum.
        out[0] = 0x03;
        out[1] = char(0xCE);
        out[5] = 0x02;
        out[12] = char(out[12] ^ 0x5A);
    }
    return out;
}

namespace {
qint64 statusKiB(const char* key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(qstrlen(key)).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}
} // namespace

qint64 residentKiB()
{
    return statusKiB("VmRSS:");
}

qint64 peakResidentKiB()
{
    return statusKiB("VmHWM:");
}

qint64 udpReceiveBufferErrors()
{
    QFile snmp(QStringLiteral("/proc/net/snmp"));
    if (!snmp.open(QIODevice::ReadOnly))
        return -1;
    // Two "Udp:" lines: the names, then the values.
    QList<QByteArray> udp;
    for (const QByteArray& line : snmp.readAll().split('\n')) {
        if (line.startsWith("Udp: "))
            udp << line;
    }
    if (udp.size() < 2)
        return -1;
    const QList<QByteArray> names = udp[0].simplified().split(' ');
    const QList<QByteArray> values = udp[1].simplified().split(' ');
    const qsizetype at = names.indexOf("RcvbufErrors");
    return at >= 0 && at < values.size() ? values[at].toLongLong() : -1;
}
} // namespace hostile
