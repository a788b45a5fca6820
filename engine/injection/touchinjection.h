#pragma once

#include "engine/injection/injectiondevices.h"
#include "core/monotonicclock.h"

#include <QObject>

#include <array>
#include <map>
#include <memory>

inline constexpr quint32 MAX_TOUCH_CONTACTS = injection::MaxTouchContacts;

// Turns pen events (positions in desktop pixels) into touch contacts: each pen id is one
// contact that enters range, touches, drags, lifts and leaves range. Every frame carries
// every active contact, in ascending id order.
class TouchInjection final : public QObject {
    Q_OBJECT
public:
    TouchInjection(std::unique_ptr<TouchDevice> device, std::shared_ptr<MonotonicClock> clock,
                   QObject* parent = nullptr);
    ~TouchInjection() override;
    Q_DISABLE_COPY_MOVE(TouchInjection)

    bool Initialize();
    bool PenDown(quint32 id, qint32 x, qint32 y);
    bool PenMove(quint32 id, qint32 x, qint32 y);
    bool PenUp(quint32 id);
    void CheckLostUp();

    bool isInitialized() const { return initialized; }
    int activeContactCount() const { return int(contacts.size()); }

private:
    struct ContactState {
        quint32 flags = 0;
        qint32 x = 0;
        qint32 y = 0;
        qint32 cx = 0;
        qint32 cy = 0;
        // Time of the last frame caused by this contact's own pen. Frames caused by other
        // pens carry the contact too but do not make it younger: otherwise a contact whose
        // up event was lost stays down for as long as another pen keeps writing, and the
        // system sees two fingers (scrolling or zooming) instead of one pen.
        qint64 lastSent = 0;
    };

    bool InjectContacts();
    bool AddContact(quint32 id, quint32 flags, qint32 x, qint32 y);
    bool RemoveContact(quint32 id);
    bool usable() const { return initialized; }
    void touch(quint32 id);

    std::unique_ptr<TouchDevice> m_device;
    std::shared_ptr<MonotonicClock> m_clock;
    bool initialized = false;
    std::map<quint32, ContactState> contacts; // ordered by ascending id
    std::unique_ptr<std::array<injection::PointerTouchInfo, MAX_TOUCH_CONTACTS>> contactArray;
};
