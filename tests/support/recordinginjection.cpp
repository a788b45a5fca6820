#include "support/recordinginjection.h"

namespace {
class TouchRecorder final : public TouchDevice {
public:
    explicit TouchRecorder(std::shared_ptr<InjectionLog> log) : m_log(std::move(log)) {}
    bool open(QString*) override { return true; }
    void close() override {}
    bool initialize(quint32, quint32) override
    {
        if (m_log)
            ++m_log->touchSessions;
        return true;
    }
    bool inject(quint32 count, const injection::PointerTouchInfo* records) override
    {
        if (!m_log)
            return true;
        if (m_log->rejectTouchFrame >= 0 && m_log->rejectTouchFrame-- == 0)
            return false;
        m_log->touchFrames.append(InjectionLog::TouchFrame(records, records + count));
        return true;
    }
    quint32 lastError() const override { return 87; } // ERROR_INVALID_PARAMETER

private:
    std::shared_ptr<InjectionLog> m_log;
};

class MouseRecorder final : public MouseDevice {
public:
    explicit MouseRecorder(std::shared_ptr<InjectionLog> log) : m_log(std::move(log)) {}
    QString failure() const override { return {}; }
    quint32 send(const injection::InputRecord& record) override
    {
        if (m_log)
            m_log->mouseInputs.append(record);
        return 1;
    }

private:
    std::shared_ptr<InjectionLog> m_log;
};
} // namespace

std::unique_ptr<TouchDevice> RecordingInjectionBackend::createTouchDevice(const ScreenGeometry&)
{
    return std::make_unique<TouchRecorder>(log);
}

std::unique_ptr<MouseDevice> RecordingInjectionBackend::createMouseDevice(const ScreenGeometry&)
{
    return std::make_unique<MouseRecorder>(log);
}

std::unique_ptr<TouchDevice> NullInjectionBackend::createTouchDevice(const ScreenGeometry&)
{
    return std::make_unique<TouchRecorder>(nullptr);
}

std::unique_ptr<MouseDevice> NullInjectionBackend::createMouseDevice(const ScreenGeometry&)
{
    return std::make_unique<MouseRecorder>(nullptr);
}
