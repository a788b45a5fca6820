#pragma once

#include "engine/injection/injectiondevices.h"

#include <memory>

// Creates the input devices of one platform. The program uses the platform's backend
// (createPlatformInjectionBackend); tests and benchmarks hand the dispatcher a recording
// or a null backend instead. Devices are made only when the pen function goes on: nothing
// reaches the system before that.
class InjectionBackend {
public:
    virtual ~InjectionBackend() = default;

    // A touch device; nothing is acquired before its open().
    virtual std::unique_ptr<TouchDevice> createTouchDevice() = 0;
    // A mouse device, ready to send (or naming why it cannot in failure()).
    virtual std::unique_ptr<MouseDevice> createMouseDevice() = 0;
    // Whether touch input can be injected on this system at all: Windows 8 or later, or on
    // Linux a /dev/uinput that this process may open. Without it the program keeps to the
    // mouse mode.
    virtual bool touchInjectionAvailable() const = 0;
};

// The backend of the platform the program was built for; defined once per platform in the
// injectionbackend_<platform>.cpp file that the build picks.
std::shared_ptr<InjectionBackend> createPlatformInjectionBackend();
