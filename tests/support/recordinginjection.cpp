#include "support/recordinginjection.h"

struct RecordingInjectionBackend::State {
    QList<TouchFrame> touchFrames;
    QList<InitializeCall> initializeCalls;
    QList<injection::InputRecord> mouseInputs;
    int touchOpenCount = 0;
    int touchDeviceCount = 0;

    bool touchAvailable = true;
    bool openOk = true;
    QString openError;
    bool initializeOk = true;
    int touchRejectIn = -1;
    quint32 touchRejectCode = 0;
    int mouseRejectIn = -1;
    QString mouseFailure;
};

namespace {

class RecordingTouchDevice final : public TouchDevice {
public:
    explicit RecordingTouchDevice(std::shared_ptr<RecordingInjectionBackend::State> state)
        : m_state(std::move(state))
    {
    }
    bool open(QString* error) override;
    void close() override {}
    bool initialize(quint32 maxCount, quint32 feedbackMode) override;
    bool inject(quint32 count, const injection::PointerTouchInfo* records) override;
    quint32 lastError() const override { return m_lastError; }

private:
    std::shared_ptr<RecordingInjectionBackend::State> m_state;
    quint32 m_lastError = 0;
};

class RecordingMouseDevice final : public MouseDevice {
public:
    explicit RecordingMouseDevice(std::shared_ptr<RecordingInjectionBackend::State> state)
        : m_state(std::move(state))
    {
    }
    QString failure() const override { return m_state->mouseFailure; }
    quint32 send(const injection::InputRecord& record) override;

private:
    std::shared_ptr<RecordingInjectionBackend::State> m_state;
};

bool RecordingTouchDevice::open(QString* error)
{
    if (!m_state->openOk) {
        if (error)
            *error = m_state->openError;
        return false;
    }
    ++m_state->touchOpenCount;
    return true;
}

bool RecordingTouchDevice::initialize(quint32 maxCount, quint32 feedbackMode)
{
    m_state->initializeCalls.append({maxCount, feedbackMode});
    return m_state->initializeOk;
}

bool RecordingTouchDevice::inject(quint32 count, const injection::PointerTouchInfo* records)
{
    const int rejectIn = m_state->touchRejectIn;
    if (rejectIn >= 0)
        --m_state->touchRejectIn;
    if (rejectIn == 0) {
        m_lastError = m_state->touchRejectCode;
        return false;
    }
    m_state->touchFrames.append(RecordingInjectionBackend::TouchFrame(records, records + count));
    return true;
}

quint32 RecordingMouseDevice::send(const injection::InputRecord& record)
{
    if (!m_state->mouseFailure.isEmpty())
        return 0;
    const int rejectIn = m_state->mouseRejectIn;
    if (rejectIn >= 0)
        --m_state->mouseRejectIn;
    if (rejectIn == 0)
        return 0;
    m_state->mouseInputs.append(record);
    return 1;
}

class NullTouchDevice final : public TouchDevice {
public:
    bool open(QString*) override { return true; }
    void close() override {}
    bool initialize(quint32, quint32) override { return true; }
    bool inject(quint32, const injection::PointerTouchInfo*) override { return true; }
    quint32 lastError() const override { return 0; }
};

class NullMouseDevice final : public MouseDevice {
public:
    QString failure() const override { return {}; }
    quint32 send(const injection::InputRecord&) override { return 1; }
};

} // namespace

RecordingInjectionBackend::RecordingInjectionBackend() : m_state(std::make_shared<State>())
{
}
RecordingInjectionBackend::~RecordingInjectionBackend() = default;

std::unique_ptr<TouchDevice> RecordingInjectionBackend::createTouchDevice(const ScreenGeometry&)
{
    ++m_state->touchDeviceCount;
    return std::make_unique<RecordingTouchDevice>(m_state);
}

std::unique_ptr<MouseDevice> RecordingInjectionBackend::createMouseDevice(const ScreenGeometry&)
{
    return std::make_unique<RecordingMouseDevice>(m_state);
}

bool RecordingInjectionBackend::touchInjectionAvailable() const
{
    return m_state->touchAvailable;
}

const QList<RecordingInjectionBackend::TouchFrame>& RecordingInjectionBackend::touchFrames() const
{
    return m_state->touchFrames;
}

const QList<RecordingInjectionBackend::InitializeCall>&
RecordingInjectionBackend::touchInitializeCalls() const
{
    return m_state->initializeCalls;
}

const QList<injection::InputRecord>& RecordingInjectionBackend::mouseInputs() const
{
    return m_state->mouseInputs;
}

int RecordingInjectionBackend::touchOpenCount() const
{
    return m_state->touchOpenCount;
}

int RecordingInjectionBackend::touchDeviceCount() const
{
    return m_state->touchDeviceCount;
}

void RecordingInjectionBackend::clearRecords()
{
    m_state->touchFrames.clear();
    m_state->initializeCalls.clear();
    m_state->mouseInputs.clear();
}

void RecordingInjectionBackend::setTouchAvailable(bool available)
{
    m_state->touchAvailable = available;
}

void RecordingInjectionBackend::setTouchOpenResult(bool ok, const QString& error)
{
    m_state->openOk = ok;
    m_state->openError = error;
}

void RecordingInjectionBackend::setTouchInitializeResult(bool ok)
{
    m_state->initializeOk = ok;
}

void RecordingInjectionBackend::rejectTouchFrame(int index, quint32 errorCode)
{
    m_state->touchRejectIn = index;
    m_state->touchRejectCode = errorCode;
}

void RecordingInjectionBackend::rejectMouseInput(int index)
{
    m_state->mouseRejectIn = index;
}

void RecordingInjectionBackend::setMouseFailure(const QString& failure)
{
    m_state->mouseFailure = failure;
}

std::unique_ptr<TouchDevice> NullInjectionBackend::createTouchDevice(const ScreenGeometry&)
{
    return std::make_unique<NullTouchDevice>();
}

std::unique_ptr<MouseDevice> NullInjectionBackend::createMouseDevice(const ScreenGeometry&)
{
    return std::make_unique<NullMouseDevice>();
}
