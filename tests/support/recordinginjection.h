#pragma once

#include "engine/injection/injectionbackend.h"

#include <QList>

#include <memory>
#include <vector>

// What the recording devices were given, oldest first, and how they are to behave.
struct InjectionLog {
    using TouchFrame = std::vector<injection::PointerTouchInfo>;
    QList<TouchFrame> touchFrames;
    QList<injection::InputRecord> mouseInputs;
    int touchSessions = 0; // initialize() calls: one per first contact of a session

    bool touchAvailable = true;
    int rejectTouchFrame = -1; // the frame that many frames from now is refused (0: the next)
};

// A backend whose devices keep what they are given instead of reaching the system: the
// injectors', the dispatcher's and the controller's tests read the records from its log.
class RecordingInjectionBackend final : public InjectionBackend {
public:
    std::unique_ptr<TouchDevice> createTouchDevice(const ScreenGeometry& screen) override;
    std::unique_ptr<MouseDevice> createMouseDevice(const ScreenGeometry& screen) override;
    bool touchInjectionAvailable() const override { return log->touchAvailable; }

    std::shared_ptr<InjectionLog> log = std::make_shared<InjectionLog>();
};

// Devices that accept everything and keep nothing: the cost of the injection logic alone.
class NullInjectionBackend final : public InjectionBackend {
public:
    std::unique_ptr<TouchDevice> createTouchDevice(const ScreenGeometry& screen) override;
    std::unique_ptr<MouseDevice> createMouseDevice(const ScreenGeometry& screen) override;
    bool touchInjectionAvailable() const override { return true; }
};
