#pragma once

#include "engine/injection/x11matrix.h"

using Display = struct _XDisplay;

// Writes `matrix` as the "Coordinate Transformation Matrix" of the XInput 2 device
// `deviceId`, as `xinput map-to-output` does: only over a property of 9 floats the server
// already has (the drivers of absolute devices make it). False, with the device left
// alone, where there is no such property or the device has gone.
bool writeDeviceMatrix(Display* display, int deviceId, const x11::Matrix& matrix);
