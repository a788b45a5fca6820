#pragma once

#include "engine/injection/injectionbackend.h"
#include "engine/injection/win32records.h"

#include <QList>

#include <memory>
#include <vector>

// What the recording devices were given, oldest first, as user32 would have received it,
// and how they are to behave.
struct InjectionLog {
    using TouchFrame = std::vector<injection::PointerTouchInfo>;
    QList<TouchFrame> touchFrames;
    QList<injection::InputRecord> mouseInputs; // as they reached the system: at each flush
    int touchSessions = 0; // beginSession() calls: one per first contact of a session
    int devices = 0;       // devices that exist now
    int devicesMade = 0;

    bool touchAvailable = true;
    int rejectInput = -1; // the frame or mouse step that many from now is refused (0: the next)

    bool refuses() { return rejectInput >= 0 && rejectInput-- == 0; }
};

// A backend whose devices build the records the Windows devices hand to user32, and keep
// them instead: the injectors', the dispatcher's and the controller's tests read them from
// its log. Without a log they keep nothing: the cost of the pen path without the system's.
class RecordingInjectionBackend final : public InjectionBackend {
public:
    std::unique_ptr<TouchDevice> createTouchDevice() override;
    std::unique_ptr<MouseDevice> createMouseDevice() override;
    bool touchInjectionAvailable() const override { return !log || log->touchAvailable; }

    std::shared_ptr<InjectionLog> log = std::make_shared<InjectionLog>();
};
