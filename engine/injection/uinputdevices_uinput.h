#pragma once

#include "engine/injection/evdevframes_uinput.h"
#include "engine/injection/injectiondevices.h"
#include "engine/injection/screenbinding.h"

#include <QString>

#include <linux/input.h>

#include <memory>
#include <vector>

struct libevdev_uinput;

// The Linux devices made through /dev/uinput with libevdev: a virtual touchscreen, and an
// absolute pointer whose axes run 0..65535. Each asks its binding (where the desktop has
// one) to bind it to the target screen, and covers the whole desktop until it is bound.

// Opens /dev/uinput; on failure returns -1 and sets `cause` to a sentence naming why.
int openUinput(QString* cause);

class UinputTouchDevice final : public TouchDevice {
public:
    // `resolution` is in units (pixels) per millimetre, as evdev wants it.
    UinputTouchDevice(int resolution, std::unique_ptr<ScreenBinding> binding);
    ~UinputTouchDevice() override;
    Q_DISABLE_COPY_MOVE(UinputTouchDevice)

    bool open(const ScreenTarget& target, QString* error) override;
    bool beginSession(quint32 maxCount) override;
    bool inject(std::span<const TouchPoint> frame) override;
    quint32 lastError() const override { return m_lastError; }
    void setTarget(const ScreenTarget& target) override;

    // The /dev/input/eventN node of the created touchscreen (empty before open()).
    QString deviceNode() const;

private:
    void close();
    bool write(const std::vector<evdev::Event>& events);

    int m_resolution;
    std::unique_ptr<ScreenBinding> m_binding;
    int m_fd = -1;
    libevdev_uinput* m_uinput = nullptr;
    std::unique_ptr<evdev::TouchFrameEncoder> m_encoder;
    std::vector<evdev::Event> m_events; // reused by every frame
    std::vector<input_event> m_frame;   // the same, as written to the device
    quint32 m_lastError = 0;            // an errno value
};

class UinputMouseDevice final : public MouseDevice {
public:
    explicit UinputMouseDevice(std::unique_ptr<ScreenBinding> binding);
    ~UinputMouseDevice() override;
    Q_DISABLE_COPY_MOVE(UinputMouseDevice)

    // Creates the pointer; false with `cause` set when it cannot.
    bool create(QString* cause);
    QString failure() const override { return m_failure; }
    bool send(MouseStep step, QPoint pixel) override;
    void setTarget(const ScreenTarget& target) override;

    QString deviceNode() const;

private:
    std::unique_ptr<ScreenBinding> m_binding;
    ScreenTarget m_target;
    DeviceArea m_area;
    int m_fd = -1;
    libevdev_uinput* m_uinput = nullptr;
    std::vector<evdev::Event> m_events;
    std::vector<input_event> m_frame;
    QString m_failure = QStringLiteral("uinput pointer not created");
};

// Fixed ids, so that a desktop's setting for the touchscreen (GNOME keys it by
// vendor:product) holds for every device the program makes.
inline constexpr quint16 UINPUT_VENDOR = 0x5152;
inline constexpr quint16 UINPUT_TOUCH_PRODUCT = 0x0001;
inline constexpr quint16 UINPUT_POINTER_PRODUCT = 0x0002;
inline constexpr char UINPUT_TOUCH_NAME[] = "Quill Relay touchscreen";
inline constexpr char UINPUT_POINTER_NAME[] = "Quill Relay pointer";
