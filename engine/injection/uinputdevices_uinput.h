#pragma once

#include "engine/injection/evdevframes_uinput.h"
#include "engine/injection/injectiondevices.h"
#include "engine/injection/screengeometry.h"

#include <QString>

#include <linux/input.h>

#include <memory>
#include <vector>

struct libevdev_uinput;

// The Linux devices made through /dev/uinput with libevdev: a virtual touchscreen over
// the primary screen, and an absolute pointer whose axes are the normalised 0..65535 space
// of the mouse records.

// Opens /dev/uinput; on failure returns -1 and sets `cause` to a sentence naming why.
int openUinput(QString* cause);

class UinputTouchDevice final : public TouchDevice {
public:
    // `resolution` is in units (pixels) per millimetre, as evdev wants it.
    UinputTouchDevice(ScreenGeometry screen, int resolution);
    ~UinputTouchDevice() override;
    Q_DISABLE_COPY_MOVE(UinputTouchDevice)

    bool open(QString* error) override;
    void close() override;
    bool initialize(quint32 maxCount, quint32 feedbackMode) override;
    bool inject(quint32 count, const injection::PointerTouchInfo* records) override;
    quint32 lastError() const override { return m_lastError; }

    // The /dev/input/eventN node of the created touchscreen (empty before open()).
    QString deviceNode() const;

private:
    bool write(const std::vector<evdev::Event>& events);

    ScreenGeometry m_screen;
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
    quint32 send(const injection::InputRecord& record) override;

    QString deviceNode() const;

private:
    int m_fd = -1;
    libevdev_uinput* m_uinput = nullptr;
    std::vector<evdev::Event> m_events;
    std::vector<input_event> m_frame;
    QString m_failure = QStringLiteral("uinput pointer not created");
};

inline constexpr char UINPUT_TOUCH_NAME[] = "Quill Relay touchscreen";
inline constexpr char UINPUT_POINTER_NAME[] = "Quill Relay pointer";
