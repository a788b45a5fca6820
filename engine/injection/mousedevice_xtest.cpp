#include "engine/injection/mousedevice_xtest.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace {

class XTestMouseDevice final : public MouseDevice {
public:
    explicit XTestMouseDevice(Display* display) : m_display(display) {}
    ~XTestMouseDevice() override { XCloseDisplay(m_display); }
    Q_DISABLE_COPY_MOVE(XTestMouseDevice)

    QString failure() const override { return {}; }
    bool send(MouseStep step, QPoint pixel) override;
    void flush() override { XFlush(m_display); }

private:
    Display* m_display;
};

bool XTestMouseDevice::send(MouseStep step, QPoint pixel)
{
    // No round trip per step: the server executes the requests of one connection in the
    // order they were sent, so the steps of a datagram go out together with one flush after
    // the last one, and the server has them all without the GUI thread waiting.
    switch (step) {
    case MouseStep::Move:
        return XTestFakeMotionEvent(m_display, DefaultScreen(m_display), pixel.x(), pixel.y(),
                                    CurrentTime);
    case MouseStep::Press:
        return XTestFakeButtonEvent(m_display, 1, True, CurrentTime);
    case MouseStep::Release:
        return XTestFakeButtonEvent(m_display, 1, False, CurrentTime);
    }
    return false;
}

} // namespace

std::unique_ptr<MouseDevice> createXTestMouseDevice(QString* cause)
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
    return std::make_unique<XTestMouseDevice>(display);
}
