#pragma once

#include "engine/injection/screentarget.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

// Asks the desktop to bind a virtual absolute device to the target screen. Desktops stretch
// such a device over every monitor unless told otherwise, and each desktop is told its own
// way: X11 by the device's transformation matrix, GNOME by a setting, KDE and sway by a call.
// A binding belongs to one device and lives on that device's thread.
class ScreenBinding : public QObject {
    Q_OBJECT
public:
    struct Device {
        QString node;    // /dev/input/eventN
        QByteArray name; // as the kernel reports it
        quint16 vendor = 0;
        quint16 product = 0;
        bool touchscreen = false; // otherwise an absolute pointer
    };

    using QObject::QObject;

    // Binds `device` to the screen of `target`, as soon as the desktop knows the device; a
    // later call binds it anew (another target, or the device made again). Tells the outcome
    // through areaChanged(): the target screen once bound, the whole desktop where the
    // desktop cannot bind this device.
    virtual void bind(const Device& device, const ScreenTarget& target) = 0;

signals:
    // The device's range covers `area` from now on.
    void areaChanged(const DeviceArea& area);
};

// The binding of the desktop this program runs on, or none where the desktop offers no way
// (the device then covers the whole desktop). Defined once per platform.
std::unique_ptr<ScreenBinding> createScreenBinding();
