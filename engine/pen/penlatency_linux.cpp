#include "engine/pen/penlatency.h"

#include "core/logging.h"

#include <QFile>

#include <cstdio>
#include <ctime>
#include <linux/sockios.h>
#include <sys/ioctl.h>

namespace {

constexpr char LOG_VARIABLE[] = "QUILLRELAY_PEN_LATENCY_LOG";

qint64 nanoseconds(const timespec& t)
{
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// The receive stamp is the one SO_TIMESTAMPNS would hand over in a control message. The
// toolkit reads the datagram and drops control messages, so the stamp is fetched with
// SIOCGSTAMPNS instead, which gives the stamp of the datagram read last; the first such
// request switches stamping on for the socket. (With SO_TIMESTAMPNS set as well, the
// kernel would no longer keep the stamp for SIOCGSTAMPNS.)
class LinuxPenLatencyLog final : public PenLatencyLog {
public:
    explicit LinuxPenLatencyLog(std::FILE* file)
        : m_file(file), m_buffer(std::make_unique<char[]>(BufferBytes))
    {
        // Lines stay in memory until the socket closes (a megabyte holds minutes of them):
        // no file write between datagrams. The buffer is ours: without one, the C library
        // ignores the size and takes the file's block size, a write every few seconds.
        std::setvbuf(m_file, m_buffer.get(), _IOFBF, BufferBytes);
    }
    ~LinuxPenLatencyLog() override { std::fclose(m_file); }
    Q_DISABLE_COPY_MOVE(LinuxPenLatencyLog)

    void watch(qintptr socket) override
    {
        timespec stamp{};
        ::ioctl(int(socket), SIOCGSTAMPNS, &stamp); // no datagram yet: fails, but switches on
    }

    void handled(qintptr socket, int records) override
    {
        // The end first: fetching the stamp is the benchmark's cost, not the program's.
        timespec done{};
        clock_gettime(CLOCK_REALTIME, &done);
        timespec received{};
        if (::ioctl(int(socket), SIOCGSTAMPNS, &received) != 0)
            return;
        std::fprintf(m_file, "%lld %lld %d\n", static_cast<long long>(nanoseconds(received)),
                     static_cast<long long>(nanoseconds(done)), records);
    }

    void flush() override { std::fflush(m_file); }

private:
    static constexpr size_t BufferBytes = 1 << 20;
    std::FILE* m_file;
    std::unique_ptr<char[]> m_buffer; // outlives the file: the destructor closes it first
};

} // namespace

std::unique_ptr<PenLatencyLog> PenLatencyLog::fromEnvironment()
{
    const QString path = qEnvironmentVariable(LOG_VARIABLE);
    if (path.isEmpty())
        return nullptr;
    std::FILE* file = std::fopen(QFile::encodeName(path).constData(), "we");
    if (!file) {
        qCWarning(lcPen).noquote() << LOG_VARIABLE << ": cannot write" << path;
        return nullptr;
    }
    return std::make_unique<LinuxPenLatencyLog>(file);
}
