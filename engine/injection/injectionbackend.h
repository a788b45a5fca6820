#pragma once

#include "engine/injection/injectiondevices.h"
#include "engine/injection/screengeometry.h"

#include <memory>

// Creates the input devices of one platform. The program uses the platform's backend
// (createPlatformInjectionBackend); tests and benchmarks hand the dispatcher a recording
// or a null backend instead.
class InjectionBackend {
public:
    virtual ~InjectionBackend() = default;

    // A touch device for a new touch injector; nothing is acquired before its open().
    virtual std::unique_ptr<TouchDevice> createTouchDevice(const ScreenGeometry& screen) = 0;
    // The mouse device, created together with the mouse injector. `screen` is where
    // normalised positions land for devices that take pixels.
    virtual std::unique_ptr<MouseDevice> createMouseDevice(const ScreenGeometry& screen) = 0;
    // Whether touch input can be injected on this system at all: Windows 8 or later, or on
    // Linux a /dev/uinput that this process may open. Without it the program keeps to the
    // mouse mode.
    virtual bool touchInjectionAvailable() const = 0;
};

// The backend of the platform the program was built for; defined once per platform in the
// injectionbackend_<platform>.cpp file that the build picks.
std::shared_ptr<InjectionBackend> createPlatformInjectionBackend();
