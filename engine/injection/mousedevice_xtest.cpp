#include "engine/injection/mousedevice_xtest.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace {

class XTestMouseDevice final : public MouseDevice {
public:
    XTestMouseDevice(Display* display, ScreenGeometry screen)
        : m_display(display), m_screen(std::move(screen))
    {
    }
    ~XTestMouseDevice() override { XCloseDisplay(m_display); }
    Q_DISABLE_COPY_MOVE(XTestMouseDevice)

    QString failure() const override { return {}; }
    quint32 send(const injection::InputRecord& record) override;
    void flush() override { XFlush(m_display); }

private:
    Display* m_display;
    ScreenGeometry m_screen;
};

quint32 XTestMouseDevice::send(const injection::InputRecord& record)
{
    using namespace injection;
    const std::uint32_t flags = record.mi.dwFlags;
    constexpr std::uint32_t known =
        MouseEventMove | MouseEventAbsolute | MouseEventLeftDown | MouseEventLeftUp;
    if (record.type != InputMouse || (flags & ~known) != 0)
        return 0;
    if (flags & MouseEventMove) {
        if (!(flags & MouseEventAbsolute))
            return 0;
        const QRect screen = m_screen ? m_screen() : QRect();
        if (screen.isEmpty())
            return 0;
        const int x = screen.left() + denormaliseMouseCoordinate(record.mi.dx, screen.width());
        const int y = screen.top() + denormaliseMouseCoordinate(record.mi.dy, screen.height());
        if (!XTestFakeMotionEvent(m_display, DefaultScreen(m_display), x, y, CurrentTime))
            return 0;
    }
    if ((flags & MouseEventLeftDown) && !XTestFakeButtonEvent(m_display, 1, True, CurrentTime))
        return 0;
    if ((flags & MouseEventLeftUp) && !XTestFakeButtonEvent(m_display, 1, False, CurrentTime))
        return 0;
    // No round trip per record: the server executes the requests of one connection in the
    // order they were sent, so the records of a datagram go out together with one flush
    // after the last one, and the server has them all without the GUI thread waiting.
    return 1;
}

} // namespace

std::unique_ptr<MouseDevice> createXTestMouseDevice(ScreenGeometry screen, QString* cause)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        *cause = QStringLiteral("no X11 display to send XTest input to");
        return nullptr;
    }
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor)) {
        XCloseDisplay(display);
        *cause = QStringLiteral("the X11 display has no XTest extension");
        return nullptr;
    }
    return std::make_unique<XTestMouseDevice>(display, std::move(screen));
}
