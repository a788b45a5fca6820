#include "engine/injection/injectionbackend.h"
#include "engine/injection/win32calls_win.h"
#include "engine/injection/win32records.h"

#include <QLibrary>

namespace {

const char* const User32 = "user32";
const char* const InitializeTouchInjectionName = "InitializeTouchInjection";
const char* const InjectTouchInputName = "InjectTouchInput";

// Touch injection through user32. The entry points are looked up by name when the device
// is opened, never linked: Windows 7 and some emulators do not have them.
class WindowsTouchDevice final : public TouchDevice {
public:
    WindowsTouchDevice() : m_library(QLatin1String(User32)) {}
    ~WindowsTouchDevice() override { close(); }
    Q_DISABLE_COPY_MOVE(WindowsTouchDevice)

    bool open(const ScreenTarget&, QString* error) override
    {
        if (!m_library.load()) {
            if (error)
                *error = m_library.errorString();
            return false;
        }
        m_initialize = reinterpret_cast<win32::InitializeTouchInjectionFn>(
            m_library.resolve(InitializeTouchInjectionName));
        m_inject =
            reinterpret_cast<win32::InjectTouchInputFn>(m_library.resolve(InjectTouchInputName));
        if (!m_initialize || !m_inject) {
            if (error)
                *error = QStringLiteral("Touch input unavailable: user32 has no touch injection "
                                        "(Windows 8 or later has it)");
            close();
            return false;
        }
        return true;
    }

    void close()
    {
        if (m_library.isLoaded())
            m_library.unload();
        m_initialize = nullptr;
        m_inject = nullptr;
    }

    bool beginSession(quint32 maxCount) override
    {
        return win32::initializeTouchInjection(m_initialize, maxCount,
                                               injection::TouchFeedbackDefault);
    }

    bool inject(std::span<const TouchPoint> frame) override
    {
        if (win32::injectTouchInput(m_inject, std::uint32_t(frame.size()), m_records.build(frame)))
            return true;
        m_lastError = win32::lastError();
        return false;
    }

    quint32 lastError() const override { return m_lastError; }

private:
    QLibrary m_library;
    win32::InitializeTouchInjectionFn m_initialize = nullptr;
    win32::InjectTouchInputFn m_inject = nullptr;
    quint32 m_lastError = 0;
    injection::PointerTouchFrames m_records;
};

// SendInput addresses the virtual screen, all monitors together, as 0..65535 on each axis.
class WindowsMouseDevice final : public MouseDevice {
public:
    QString failure() const override { return {}; }
    bool send(MouseStep step, QPoint pixel) override
    {
        return win32::sendMouseInput(injection::makeMouseInput(step, pixel, m_desktop)) != 0;
    }
    void setTarget(const ScreenTarget& target) override { m_desktop = target.desktop; }

private:
    QRect m_desktop;
};

class WindowsInjectionBackend final : public InjectionBackend {
public:
    std::unique_ptr<TouchDevice> createTouchDevice() override
    {
        return std::make_unique<WindowsTouchDevice>();
    }
    std::unique_ptr<MouseDevice> createMouseDevice() override
    {
        return std::make_unique<WindowsMouseDevice>();
    }
    // Asked of user32 itself, not of the version number: Windows 7 lacks the entry points,
    // and so does Wine, which reports whatever version it is told to.
    bool touchInjectionAvailable() const override
    {
        return QLibrary::resolve(QLatin1String(User32), InitializeTouchInjectionName) &&
               QLibrary::resolve(QLatin1String(User32), InjectTouchInputName);
    }
};

} // namespace

std::shared_ptr<InjectionBackend> createPlatformInjectionBackend()
{
    return std::make_shared<WindowsInjectionBackend>();
}
