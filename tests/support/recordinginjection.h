#pragma once

#include "engine/injection/injectionbackend.h"

#include <QList>
#include <QString>

#include <memory>
#include <vector>

// A backend whose devices keep what they are given instead of reaching the system, for
// tests of the injectors, of the dispatch and of the controller. Every device it creates
// writes into this one backend, so a test keeps the backend and reads the records after
// the devices went to their injectors. Failures are scripted with the set…() knobs.
class RecordingInjectionBackend final : public InjectionBackend {
public:
    using TouchFrame = std::vector<injection::PointerTouchInfo>;
    struct InitializeCall {
        quint32 maxCount;
        quint32 feedbackMode;
    };

    RecordingInjectionBackend();
    ~RecordingInjectionBackend() override;
    Q_DISABLE_COPY_MOVE(RecordingInjectionBackend)

    std::unique_ptr<TouchDevice> createTouchDevice(const ScreenGeometry& screen) override;
    std::unique_ptr<MouseDevice> createMouseDevice(const ScreenGeometry& screen) override;
    bool touchInjectionAvailable() const override;

    // What reached the devices, oldest first.
    const QList<TouchFrame>& touchFrames() const;
    const QList<InitializeCall>& touchInitializeCalls() const;
    const QList<injection::InputRecord>& mouseInputs() const;
    int touchOpenCount() const;   // successful opens
    int touchDeviceCount() const; // touch devices created
    // Forgets the records (not the knobs).
    void clearRecords();

    // Scripted behaviour.
    void setTouchAvailable(bool available);
    void setTouchOpenResult(bool ok, const QString& error = {});
    void setTouchInitializeResult(bool ok);
    // Rejects the frame `index` frames from now (0: the next one), with `errorCode`.
    void rejectTouchFrame(int index, quint32 errorCode);
    // Rejects the mouse record `index` records from now (0: the next one).
    void rejectMouseInput(int index);
    void setMouseFailure(const QString& failure);

    struct State;

private:
    std::shared_ptr<State> m_state;
};

// A backend whose devices accept everything and keep nothing: the cost of the injection
// logic alone, for the benchmarks.
class NullInjectionBackend final : public InjectionBackend {
public:
    std::unique_ptr<TouchDevice> createTouchDevice(const ScreenGeometry& screen) override;
    std::unique_ptr<MouseDevice> createMouseDevice(const ScreenGeometry& screen) override;
    bool touchInjectionAvailable() const override { return true; }
};
