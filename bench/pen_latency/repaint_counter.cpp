// Tells when windows of another X client are drawn into: the pen benchmark's proof that a
// dialog was really being redrawn (or its list updated) while the pens streamed. It asks the
// X server's DAMAGE extension to report each window whose contents change from clean to
// drawn-into and marks it clean again at once, so one line stands for one repaint (a burst
// of drawing requests the server handles before this client reads the report counts once).
//
//   pen-latency-repaints --log FILE WINDOW...
//
// WINDOW is an X window id (decimal or 0x-hex) on $DISPLAY. Until SIGTERM or SIGINT it keeps
// a line per repaint in memory, then writes them to FILE:
//   RECEIVED_NS WINDOW X Y WIDTH HEIGHT
// the time of the report (CLOCK_REALTIME, the clock of the latency logs) and the first
// rectangle drawn. A window that goes away ends nothing: its repaints simply stop.
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>

#include <poll.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
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
    std::fprintf(stderr, "pen-latency-repaints: %s\n", what.c_str());
    std::exit(1);
}

// A window destroyed while it is watched makes the next request about it fail; that is no
// reason to stop counting the others.
int ignoreErrors(Display*, XErrorEvent*)
{
    return 0;
}

struct Repaint {
    long long ns;
    unsigned long window;
    int x, y, width, height;
};

} // namespace

int main(int argc, char* argv[])
{
    std::string logPath;
    std::vector<Window> windows;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--log" && i + 1 < argc) {
            logPath = argv[++i];
            continue;
        }
        char* end = nullptr;
        const unsigned long id = std::strtoul(argv[i], &end, 0);
        if (id == 0 || *end != '\0')
            fail("not a window id: " + argument);
        windows.push_back(Window(id));
    }
    if (logPath.empty() || windows.empty())
        fail("usage: --log FILE WINDOW...");

    Display* display = XOpenDisplay(nullptr);
    if (!display)
        fail("no X display");
    int damageEvent = 0, damageError = 0;
    if (!XDamageQueryExtension(display, &damageEvent, &damageError))
        fail("the X server has no DAMAGE extension");
    XSetErrorHandler(ignoreErrors);
    for (const Window window : windows)
        XDamageCreate(display, window, XDamageReportNonEmpty);
    XSync(display, False);

    struct sigaction action {};
    action.sa_handler = onSignal; // no SA_RESTART: poll() returns at once
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    std::fprintf(stderr, "pen-latency-repaints: watching\n");

    std::vector<Repaint> repaints;
    repaints.reserve(1 << 16);
    while (!g_stop) {
        if (XPending(display) == 0) {
            pollfd p{ConnectionNumber(display), POLLIN, 0};
            if (::poll(&p, 1, 1000) <= 0)
                continue;
        }
        XEvent event;
        XNextEvent(display, &event);
        if (event.type != damageEvent + XDamageNotify)
            continue;
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        const auto& damage = reinterpret_cast<const XDamageNotifyEvent&>(event);
        repaints.push_back({static_cast<long long>(now.tv_sec) * 1000000000 + now.tv_nsec,
                            damage.drawable, damage.area.x, damage.area.y, damage.area.width,
                            damage.area.height});
        // Clean again, so that the next drawing is reported.
        XDamageSubtract(display, damage.damage, None, None);
        XFlush(display);
    }

    std::FILE* log = std::fopen(logPath.c_str(), "we");
    if (!log)
        fail("cannot write " + logPath);
    for (const Repaint& r : repaints)
        std::fprintf(log, "%lld 0x%lx %d %d %d %d\n", r.ns, r.window, r.x, r.y, r.width, r.height);
    std::fclose(log);
    XCloseDisplay(display);
    return 0;
}
