#include "support/recordinginjection.h"

#include <utility>

namespace {
// Counts the devices of a log that exist.
struct Counted {
    explicit Counted(std::shared_ptr<InjectionLog> log) : m_log(std::move(log))
    {
        if (m_log)
            ++m_log->devices, ++m_log->devicesMade;
    }
    ~Counted() { m_log && --m_log->devices; }
    std::shared_ptr<InjectionLog> m_log;
};

class TouchRecorder final : public TouchDevice, Counted {
public:
    explicit TouchRecorder(std::shared_ptr<InjectionLog> log) : Counted(std::move(log)) {}
    bool open(const ScreenTarget&, QString*) override { return true; }
    bool beginSession(quint32) override
    {
        if (m_log)
            ++m_log->touchSessions;
        return true;
    }
    bool inject(std::span<const TouchPoint> frame) override
    {
        const injection::PointerTouchInfo* records = m_records.build(frame);
        if (!m_log)
            return true;
        if (m_log->refuses())
            return false;
        m_log->touchFrames.append(InjectionLog::TouchFrame(records, records + frame.size()));
        return true;
    }
    quint32 lastError() const override { return 87; } // ERROR_INVALID_PARAMETER

private:
    injection::PointerTouchFrames m_records;
};

class MouseRecorder final : public MouseDevice, Counted {
public:
    explicit MouseRecorder(std::shared_ptr<InjectionLog> log) : Counted(std::move(log)) {}
    QString failure() const override { return {}; }
    bool send(MouseStep step, QPoint pixel) override
    {
        const injection::InputRecord record = injection::makeMouseInput(step, pixel, m_desktop);
        if (!m_log)
            return true;
        if (m_log->refuses())
            return false;
        m_held.append(record);
        return true;
    }
    // Like the XTest device, it holds the steps back until the flush after the datagram.
    void flush() override
    {
        if (m_log)
            m_log->mouseInputs.append(std::exchange(m_held, {}));
    }
    void setTarget(const ScreenTarget& target) override { m_desktop = target.desktop; }

private:
    QRect m_desktop;
    QList<injection::InputRecord> m_held;
};
} // namespace

std::unique_ptr<TouchDevice> RecordingInjectionBackend::createTouchDevice()
{
    return std::make_unique<TouchRecorder>(log);
}

std::unique_ptr<MouseDevice> RecordingInjectionBackend::createMouseDevice()
{
    return std::make_unique<MouseRecorder>(log);
}
