// The floor of the pen path: a receiver that does only what no pen-to-input program can
// leave out. It receives the pen datagrams, checks each record, maps it to a pixel and
// injects it, then logs each datagram's latency in the program's format (see
// engine/pen/penlatency.h): kernel receive time against the time the device call for the
// datagram's last record returned. No event loop, no sender filter, no diagnostics, no
// lost-up watchdog; the pen benchmark compares the program against it.
//
//   pen-latency-minimal --device xtest|uinput --projector ADDR --local ADDR --log FILE
//
// It binds UDP port 8330, asks the projector at ADDR (command port 7142) to send its pen
// states to --local, and runs until SIGTERM or SIGINT.
//   xtest:  the X pointer of $DISPLAY, like the program's mouse mode without uinput: a move
//           per record, button 1 on down and up, one flush per datagram.
//   uinput: a multi-touch touchscreen of 1280 x 800 pixels, like the program's touch mode:
//           one frame per record, written with one write().
#include "protocol/pencommand.h"
#include "protocol/penstatusrecord.h"

#include <QHostAddress>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <libevdev/libevdev-uinput.h>
#include <libevdev/libevdev.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void onSignal(int)
{
    g_stop = 1;
}

[[noreturn]] void fail(const std::string& what)
{
    std::fprintf(stderr, "pen-latency-minimal: %s\n", what.c_str());
    std::exit(1);
}

qint64 nanoseconds(const timespec& t)
{
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// The pen space is 1280 x 800; the screen's image in it keeps the screen's aspect ratio.
bool mapToScreen(int& x, int& y, int width, int height)
{
    const unsigned scale = std::min(80000u / unsigned(height), 128000u / unsigned(width));
    const int imageWidth = int(scale * unsigned(width) / 100);
    const int imageHeight = int(scale * unsigned(height) / 100);
    const int marginX = (1280 - imageWidth) / 2;
    const int marginY = (800 - imageHeight) / 2;
    if (imageWidth == 0 || imageHeight == 0 || x < marginX || x >= marginX + imageWidth ||
        y < marginY || y >= marginY + imageHeight)
        return false;
    x = (x - marginX) * width / imageWidth;
    y = (y - marginY) * height / imageHeight;
    return true;
}

class Injector {
public:
    virtual ~Injector() = default;
    virtual int width() const = 0;
    virtual int height() const = 0;
    virtual void pen(int id, int button, int x, int y) = 0;
    virtual void datagramDone() = 0;
};

class XTestInjector final : public Injector {
public:
    XTestInjector()
    {
        m_display = XOpenDisplay(nullptr);
        if (!m_display)
            fail("no X display");
        int a = 0, b = 0, c = 0, d = 0;
        if (!XTestQueryExtension(m_display, &a, &b, &c, &d))
            fail("no XTest");
        m_width = DisplayWidth(m_display, DefaultScreen(m_display));
        m_height = DisplayHeight(m_display, DefaultScreen(m_display));
    }
    ~XTestInjector() override { XCloseDisplay(m_display); }
    int width() const override { return m_width; }
    int height() const override { return m_height; }
    void pen(int, int button, int x, int y) override
    {
        if (button == 1 || button == 2)
            XTestFakeMotionEvent(m_display, DefaultScreen(m_display), x, y, CurrentTime);
        if (button == 1)
            XTestFakeButtonEvent(m_display, 1, True, CurrentTime);
        else if (button == 0)
            XTestFakeButtonEvent(m_display, 1, False, CurrentTime);
    }
    void datagramDone() override { XFlush(m_display); }

private:
    Display* m_display = nullptr;
    int m_width = 0;
    int m_height = 0;
};

class UinputTouchInjector final : public Injector {
public:
    UinputTouchInjector()
    {
        libevdev* dev = libevdev_new();
        libevdev_set_name(dev, "pen latency floor");
        libevdev_enable_property(dev, INPUT_PROP_DIRECT);
        libevdev_enable_event_type(dev, EV_KEY);
        libevdev_enable_event_code(dev, EV_KEY, BTN_TOUCH, nullptr);
        const auto abs = [dev](unsigned code, int max) {
            input_absinfo info{};
            info.maximum = max;
            libevdev_enable_event_code(dev, EV_ABS, code, &info);
        };
        abs(ABS_X, Width - 1);
        abs(ABS_Y, Height - 1);
        abs(ABS_MT_SLOT, Slots - 1);
        abs(ABS_MT_TRACKING_ID, 0xFFFF);
        abs(ABS_MT_POSITION_X, Width - 1);
        abs(ABS_MT_POSITION_Y, Height - 1);
        const int rc =
            libevdev_uinput_create_from_device(dev, LIBEVDEV_UINPUT_OPEN_MANAGED, &m_uinput);
        libevdev_free(dev);
        if (rc != 0)
            fail(std::string("uinput: ") + std::strerror(-rc));
        m_fd = libevdev_uinput_get_fd(m_uinput);
    }
    ~UinputTouchInjector() override { libevdev_uinput_destroy(m_uinput); }
    int width() const override { return Width; }
    int height() const override { return Height; }
    void pen(int id, int button, int x, int y) override
    {
        const int slot = id % Slots;
        m_frame.clear();
        add(EV_ABS, ABS_MT_SLOT, slot);
        if (button == 0) {
            if (m_down[size_t(slot)]) {
                m_down[size_t(slot)] = false;
                add(EV_ABS, ABS_MT_TRACKING_ID, -1);
                if (--m_touching == 0)
                    add(EV_KEY, BTN_TOUCH, 0);
            }
        } else {
            if (!m_down[size_t(slot)]) {
                m_down[size_t(slot)] = true;
                add(EV_ABS, ABS_MT_TRACKING_ID, m_nextTracking++ & 0xFFFF);
                if (m_touching++ == 0)
                    add(EV_KEY, BTN_TOUCH, 1);
            }
            add(EV_ABS, ABS_MT_POSITION_X, x);
            add(EV_ABS, ABS_MT_POSITION_Y, y);
        }
        add(EV_SYN, SYN_REPORT, 0);
        const ssize_t bytes = sizeof(input_event) * m_frame.size();
        if (::write(m_fd, m_frame.data(), size_t(bytes)) != bytes)
            fail(std::string("uinput write: ") + std::strerror(errno));
    }
    void datagramDone() override {}

private:
    static constexpr int Width = 1280;
    static constexpr int Height = 800;
    static constexpr int Slots = 16;
    void add(unsigned type, unsigned code, int value)
    {
        input_event e{};
        e.type = quint16(type);
        e.code = quint16(code);
        e.value = value;
        m_frame.push_back(e);
    }
    libevdev_uinput* m_uinput = nullptr;
    int m_fd = -1;
    std::vector<input_event> m_frame;
    std::array<bool, Slots> m_down{};
    int m_touching = 0;
    int m_nextTracking = 0;
};

// Asks the projector to send its pen states to `local`:8330, as the program's pen-on does.
void penOn(const std::string& projector, const std::string& local)
{
    const std::optional<QByteArray> frame = penCommandFrame(
        PenCommand::On, QHostAddress(QString::fromStdString(local)).toIPv4Address(), PEN_STATUS_PORT);
    if (!frame)
        fail("bad --local address");
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(7142);
    if (inet_pton(AF_INET, projector.c_str(), &to.sin_addr) != 1)
        fail("bad --projector address");
    timeval limit{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0)
        fail(std::string("connect: ") + std::strerror(errno));
    if (::send(fd, frame->constData(), size_t(frame->size()), 0) != frame->size())
        fail("pen-on not sent");
    char reply[64];
    if (::recv(fd, reply, sizeof reply, 0) <= 0)
        fail("no reply to pen-on");
    ::close(fd);
}

} // namespace

int main(int argc, char* argv[])
{
    std::string device, projector, local, logPath;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--device")
            device = argv[i + 1];
        else if (option == "--projector")
            projector = argv[i + 1];
        else if (option == "--local")
            local = argv[i + 1];
        else if (option == "--log")
            logPath = argv[i + 1];
        else
            fail("unknown option " + option);
    }
    if (projector.empty() || local.empty() || logPath.empty())
        fail("usage: --device xtest|uinput --projector ADDR --local ADDR --log FILE");

    std::unique_ptr<Injector> injector;
    if (device == "xtest")
        injector = std::make_unique<XTestInjector>();
    else if (device == "uinput")
        injector = std::make_unique<UinputTouchInjector>();
    else
        fail("--device is xtest or uinput");

    std::FILE* log = std::fopen(logPath.c_str(), "we");
    if (!log)
        fail("cannot write " + logPath);
    // Held in memory until the end, as the program's log is (with a null buffer the C
    // library would take the file's block size and write every few seconds).
    static char logBuffer[1 << 20];
    std::setvbuf(log, logBuffer, _IOFBF, sizeof logBuffer);

    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    const int bufferBytes = 2 * 1024 * 1024; // as the program asks
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bufferBytes, sizeof bufferBytes);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(PEN_STATUS_PORT);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0)
        fail(std::string("bind: ") + std::strerror(errno));

    struct sigaction action {};
    action.sa_handler = onSignal; // no SA_RESTART: poll() returns at once
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);

    penOn(projector, local);
    std::fprintf(stderr, "pen-latency-minimal: receiving\n");

    std::array<char, 65536> buffer;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
    while (!g_stop) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 1000) <= 0)
            continue;
        for (;;) {
            iovec io{buffer.data(), buffer.size()};
            msghdr message{};
            message.msg_iov = &io;
            message.msg_iovlen = 1;
            message.msg_control = control;
            message.msg_controllen = sizeof control;
            const ssize_t size = ::recvmsg(fd, &message, 0);
            if (size < 0)
                break; // EAGAIN: all read
            timespec received{};
            for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
                if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS)
                    std::memcpy(&received, CMSG_DATA(c), sizeof received);
            }
            int records = 0;
            for (ssize_t at = 0; size - at >= PEN_STATUS_RECORD_SIZE;
                 at += PEN_STATUS_RECORD_SIZE) {
                const QByteArrayView record(buffer.data() + at, PEN_STATUS_RECORD_SIZE);
                if (!isPenStatusRecord(record))
                    continue;
                ++records;
                const PenEvent e = decodePenStatusRecord(record);
                int x = e.posx, y = e.posy;
                if (mapToScreen(x, y, injector->width(), injector->height()))
                    injector->pen(e.id, e.button, x, y);
            }
            injector->datagramDone();
            timespec done{};
            clock_gettime(CLOCK_REALTIME, &done);
            std::fprintf(log, "%lld %lld %d\n", static_cast<long long>(nanoseconds(received)),
                         static_cast<long long>(nanoseconds(done)), records);
        }
    }
    std::fclose(log);
    ::close(fd);
    return 0;
}
