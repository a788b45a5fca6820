#pragma once

// A hostile host for the hardening tests: sends UDP datagrams as fast as it may from a
// thread of its own, optionally from inside another network namespace of the test's pair,
// so that the program under test sees them arrive from other hosts over the veth link.
//
// It refuses every destination outside loopback and 10.77.0.0/16: whatever a test asks,
// nothing it sends can leave the namespaces the test made.

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <functional>
#include <future>
#include <thread>

class UdpBlaster final {
public:
    struct Options {
        QString netnsName;      // "" : the test's own namespace
        QList<QString> sources; // local addresses to send from, taken in turn
        QString destination;    // dotted IPv4
        quint16 port = 0;
        int ratePerSecond = 0; // 0: as fast as the sockets take them
        int durationMs = 1000; // sends for this long, or until stop()
        quint64 count = 0;     // stops after this many datagrams (0: no limit)
        // The payload of datagram number n.
        std::function<QByteArray(quint64 n)> payload;
    };

    UdpBlaster() = default;
    ~UdpBlaster();
    UdpBlaster(const UdpBlaster&) = delete;
    UdpBlaster& operator=(const UdpBlaster&) = delete;

    // Starts sending; false (and `error()` says why) when the destination is not allowed or
    // the sockets cannot be made.
    bool start(const Options& options);
    // Stops early and waits for the thread.
    void stop();
    // Waits for the thread to end (its duration to pass).
    void wait();

    // True once the thread has sent for its whole duration (or was stopped).
    bool finished() const { return m_finished.load(); }
    quint64 sent() const { return m_sent.load(); }
    quint64 failed() const { return m_failed.load(); }
    qint64 elapsedMs() const { return m_elapsedMs.load(); }
    QString error() const { return m_error; }

    static bool allowedDestination(const QString& address);

private:
    void run(Options options, std::promise<bool>& setUp);

    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_started{false};
    std::atomic<bool> m_finished{false};
    std::atomic<quint64> m_sent{0};
    std::atomic<quint64> m_failed{0};
    std::atomic<qint64> m_elapsedMs{0};
    QString m_error;
};

// Payloads.
namespace hostile {
// A well-formed 13-byte pen-status record.
QByteArray penRecord(int id, int button, int x, int y);
// Bytes of a length from 0 to 300 that are not pen-status records (a pseudo-random mix of
// short pieces, wrong checksums and long runs), different for every n.
QByteArray garbage(quint64 n);
// Resident and peak memory of this process in KiB (VmRSS, VmHWM).
qint64 residentKiB();
qint64 peakResidentKiB();
// Datagrams the system of this network namespace dropped because a socket's receive buffer
// was full (RcvbufErrors of /proc/net/snmp).
qint64 udpReceiveBufferErrors();
} // namespace hostile
