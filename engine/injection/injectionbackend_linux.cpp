#include "engine/injection/injectionbackend.h"
#include "engine/injection/mousedevice_xtest.h"
#include "engine/injection/screengeometry.h"
#include "engine/injection/uinputdevices_uinput.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>
#include <fcntl.h>
#include <unistd.h>

namespace {

// A mouse device that could not be made; it names the cause at its first use.
class UnavailableMouseDevice final : public MouseDevice {
public:
    explicit UnavailableMouseDevice(QString cause) : m_cause(std::move(cause)) {}
    QString failure() const override { return m_cause; }
    bool send(MouseStep, QPoint) override { return false; }

private:
    QString m_cause;
};

// Pixels per millimetre of the primary screen, as evdev wants a touchscreen's resolution;
// 4 (about 96 dpi) when the screen does not tell its size.
int primaryScreenResolution()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return 4;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const qreal mm = screen->physicalSize().width();
        const int pixels = screenPixels(screen).width();
        if (mm > 0 && pixels > 0)
            return qMax(1, int(std::lround(pixels / mm)));
    }
    return 4;
}

class LinuxInjectionBackend final : public InjectionBackend {
public:
    std::unique_ptr<TouchDevice> createTouchDevice() override
    {
        return std::make_unique<UinputTouchDevice>(primaryScreenResolution(), createScreenBinding());
    }

    // uinput first: it works under X11 and Wayland alike. XTest only where uinput is out of
    // reach (the usual case for a user without access to /dev/uinput) and X11 runs.
    std::unique_ptr<MouseDevice> createMouseDevice() override
    {
        QString uinputCause;
        auto uinput = std::make_unique<UinputMouseDevice>(createScreenBinding());
        if (uinput->create(&uinputCause))
            return uinput;
        QString xtestCause;
        if (auto xtest = createXTestMouseDevice(&xtestCause))
            return xtest;
        return std::make_unique<UnavailableMouseDevice>(
            QStringLiteral("Mouse input unavailable: %1; %2").arg(uinputCause, xtestCause));
    }

    bool touchInjectionAvailable() const override
    {
        const int fd = ::open("/dev/uinput", O_WRONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0)
            return false;
        ::close(fd);
        return true;
    }
};

} // namespace

std::shared_ptr<InjectionBackend> createPlatformInjectionBackend()
{
    return std::make_shared<LinuxInjectionBackend>();
}
