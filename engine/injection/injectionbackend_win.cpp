#include "engine/injection/injectionbackend.h"
#include "engine/injection/win32calls_win.h"

#include <QLibrary>
#include <QOperatingSystemVersion>

namespace {

// Touch injection through user32. The entry points are looked up by name when the device
// is opened, never linked: Windows 7 and some emulators do not have them.
class WindowsTouchDevice final : public TouchDevice {
public:
    WindowsTouchDevice() : m_library(QStringLiteral("user32")) {}
    ~WindowsTouchDevice() override { close(); }
    Q_DISABLE_COPY_MOVE(WindowsTouchDevice)

    bool open(QString* error) override
    {
        if (!m_library.load()) {
            if (error)
                *error = m_library.errorString();
            return false;
        }
        m_initialize = reinterpret_cast<win32::InitializeTouchInjectionFn>(
            m_library.resolve("InitializeTouchInjection"));
        m_inject =
            reinterpret_cast<win32::InjectTouchInputFn>(m_library.resolve("InjectTouchInput"));
        if (!m_initialize || !m_inject) {
            close(); // expected on older Windows: no log line
            return false;
        }
        return true;
    }

    void close() override
    {
        if (m_library.isLoaded())
            m_library.unload();
        m_initialize = nullptr;
        m_inject = nullptr;
    }

    bool initialize(quint32 maxCount, quint32 feedbackMode) override
    {
        return win32::initializeTouchInjection(m_initialize, maxCount, feedbackMode);
    }

    bool inject(quint32 count, const injection::PointerTouchInfo* records) override
    {
        if (win32::injectTouchInput(m_inject, count, records))
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
};

// SendInput addresses the primary screen with normalised coordinates, so the screen
// geometry is not needed here.
class WindowsMouseDevice final : public MouseDevice {
public:
    QString failure() const override { return {}; }
    quint32 send(const injection::InputRecord& record) override
    {
        return win32::sendMouseInput(record);
    }
};

class WindowsInjectionBackend final : public InjectionBackend {
public:
    std::unique_ptr<TouchDevice> createTouchDevice(const ScreenGeometry&) override
    {
        return std::make_unique<WindowsTouchDevice>();
    }
    std::unique_ptr<MouseDevice> createMouseDevice(const ScreenGeometry&) override
    {
        return std::make_unique<WindowsMouseDevice>();
    }
    bool touchInjectionAvailable() const override
    {
        return QOperatingSystemVersion::current() >= QOperatingSystemVersion::Windows8;
    }
};

} // namespace

std::shared_ptr<InjectionBackend> createPlatformInjectionBackend()
{
    return std::make_shared<WindowsInjectionBackend>();
}
