#pragma once

#include "engine/injection/evdevframes_uinput.h"
#include "engine/injection/injectiondevices.h"

#include <QString>

#include <linux/input.h>

#include <memory>
#include <vector>

struct libevdev_uinput;

// The Linux devices made through /dev/uinput with libevdev: a virtual touchscreen over the
// target screen, and an absolute pointer whose axes address that screen as 0..65535.

// Opens /dev/uinput; on failure returns -1 and sets `cause` to a sentence naming why.
int openUinput(QString* cause);

class UinputTouchDevice final : public TouchDevice {
public:
    // `resolution` is in units (pixels) per millimetre, as evdev wants it.
    explicit UinputTouchDevice(int resolution);
    ~UinputTouchDevice() override;
    Q_DISABLE_COPY_MOVE(UinputTouchDevice)

    bool open(const QRect& target, QString* error) override;
    bool beginSession(quint32 maxCount) override;
    bool inject(std::span<const TouchPoint> frame) override;
    quint32 lastError() const override { return m_lastError; }
    void setTarget(const QRect& target) override;

    // The /dev/input/eventN node of the created touchscreen (empty before open()).
    QString deviceNode() const;

private:
    void close();
    bool write(const std::vector<evdev::Event>& events);

    int m_resolution;
    int m_fd = -1;
    libevdev_uinput* m_uinput = nullptr;
    std::unique_ptr<evdev::TouchFrameEncoder> m_encoder;
    std::vector<evdev::Event> m_events; // reused by every frame
    std::vector<input_event> m_frame;   // the same, as written to the device
    quint32 m_lastError = 0;            // an errno value
};

class UinputMouseDevice final : public MouseDevice {
public:
    UinputMouseDevice();
    ~UinputMouseDevice() override;
    Q_DISABLE_COPY_MOVE(UinputMouseDevice)

    // Creates the pointer; false with `cause` set when it cannot.
    bool create(QString* cause);
    QString failure() const override { return m_failure; }
    bool send(MouseStep step, QPoint pixel) override;
    void setTarget(const QRect& target) override { m_target = target; }

    QString deviceNode() const;

private:
    QRect m_target;
    int m_fd = -1;
    libevdev_uinput* m_uinput = nullptr;
    std::vector<evdev::Event> m_events;
    std::vector<input_event> m_frame;
    QString m_failure = QStringLiteral("uinput pointer not created");
};

inline constexpr char UINPUT_TOUCH_NAME[] = "Quill Relay touchscreen";
inline constexpr char UINPUT_POINTER_NAME[] = "Quill Relay pointer";
