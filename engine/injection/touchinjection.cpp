#include "engine/injection/touchinjection.h"

#include "core/logging.h"

using namespace injection;

namespace {
constexpr int INITIALIZE_PAUSE_MS = 20;
}

TouchInjection::TouchInjection(std::unique_ptr<TouchDevice> device,
                               std::shared_ptr<MonotonicClock> clock, QObject* parent)
    : QObject(parent), m_device(std::move(device)), m_clock(std::move(clock)),
      contactArray(std::make_unique<std::array<PointerTouchInfo, MAX_TOUCH_CONTACTS>>())
{
    contactArray->fill(PointerTouchInfo{});
}

TouchInjection::~TouchInjection()
{
    // Contacts still down are not lifted here: the owner lifts them before, if it wants to.
    contacts.clear();
    if (m_device)
        m_device->close();
}

bool TouchInjection::Initialize()
{
    initialized = false;
    if (!m_device)
        return false;
    QString error;
    if (!m_device->open(&error)) {
        if (!error.isEmpty())
            qCDebug(lcInject).noquote() << error;
        m_device->close();
        return false;
    }
    initialized = true;
    return true;
}

void TouchInjection::touch(quint32 id)
{
    const auto it = contacts.find(id);
    if (it != contacts.end())
        it->second.lastSent = m_clock->nowMs();
}

bool TouchInjection::InjectContacts()
{
    if (!usable())
        return false;
    const quint32 count = quint32(contacts.size());
    // A frame usually changes one contact of the last: the records of the others are still
    // in the array as that frame left them, and only those that differ are written again.
    // (The array starts zeroed, which no live contact matches: its flags are never 0.)
    quint32 i = 0;
    for (const auto& [id, contact] : contacts) {
        PointerTouchInfo& record = (*contactArray)[i];
        if (!holdsTouchContact(record, id, contact.flags, contact.x, contact.y, contact.cx,
                               contact.cy))
            fillTouchRecord(record, id, contact.flags, contact.x, contact.y, contact.cx,
                            contact.cy);
        ++i;
    }
    if (count == 0)
        return false;
    if (m_device->inject(count, contactArray->data()))
        return true;

    const quint32 error = m_device->lastError();
    i = 0;
    for (const auto& [id, contact] : contacts) {
        qCDebug(lcInject, " -->contact[idx=%d, pid=%d, x=%d, y=%d, flags=%08X]", int(i), int(id),
                contact.x, contact.y, contact.flags);
        ++i;
    }
    qCDebug(lcInject, " -->InjectTouchInput:count=%d, result=%s(%08X)", int(count), "NG", error);
    return false;
}

bool TouchInjection::AddContact(quint32 id, quint32 flags, qint32 x, qint32 y)
{
    RemoveContact(id);
    ContactState contact;
    contact.flags = flags;
    contact.x = x;
    contact.y = y;
    contact.cx = x;
    contact.cy = y;
    contact.lastSent = m_clock->nowMs();
    contacts.emplace(id, contact);
    return true;
}

bool TouchInjection::RemoveContact(quint32 id)
{
    return contacts.erase(id) > 0;
}

bool TouchInjection::PenDown(quint32 id, qint32 x, qint32 y)
{
    if (!usable())
        return false;
    if (contacts.empty()) {
        // A new touch session; the system wants a moment before the first frame.
        const bool ready = m_device->initialize(MAX_TOUCH_CONTACTS, TouchFeedbackDefault);
        m_clock->pauseMs(INITIALIZE_PAUSE_MS);
        if (!ready)
            return false;
    }
    AddContact(id, FlagsHover, x, y);
    touch(id);
    if (!InjectContacts()) {
        RemoveContact(id);
        return false;
    }
    contacts[id].flags = FlagsTouchDown;
    touch(id);
    if (!InjectContacts()) {
        RemoveContact(id);
        return false;
    }
    contacts[id].flags = FlagsDrag;
    return true;
}

bool TouchInjection::PenMove(quint32 id, qint32 x, qint32 y)
{
    if (!usable())
        return false;
    const auto it = contacts.find(id);
    if (it == contacts.end()) {
        qCDebug(lcInject, " -->Lost Down event!!");
        return PenDown(id, x, y);
    }
    it->second.flags = FlagsDrag;
    it->second.x = x;
    it->second.y = y;
    it->second.lastSent = m_clock->nowMs();
    const bool ok = InjectContacts();
    if (!ok)
        RemoveContact(id);
    return ok;
}

bool TouchInjection::PenUp(quint32 id)
{
    if (!usable())
        return false;
    const auto it = contacts.find(id);
    if (it == contacts.end())
        return false;
    it->second.flags = FlagsLift;
    bool result = InjectContacts();
    if (result) {
        contacts[id].flags = FlagsLeave;
        result = InjectContacts();
    }
    RemoveContact(id);
    // Contacts of other pens rest with their drag flags between operations.
    return result;
}

void TouchInjection::CheckLostUp()
{
    if (!usable())
        return;
    const qint64 now = m_clock->nowMs();
    bool anyLost = false;
    for (auto& [id, contact] : contacts) {
        if (now >= contact.lastSent + LOST_UP_TIMEOUT_MS) {
            contact.flags = FlagsLift;
            anyLost = true;
        }
    }
    if (!anyLost)
        return;
    qCDebug(lcInject, " -->Lost Up event!!");
    if (InjectContacts()) {
        for (auto& [id, contact] : contacts) {
            if (contact.flags == FlagsLift)
                contact.flags = FlagsLeave;
        }
        InjectContacts();
    }
    for (auto it = contacts.begin(); it != contacts.end();) {
        if (it->second.flags == FlagsLift || it->second.flags == FlagsLeave)
            it = contacts.erase(it);
        else
            ++it;
    }
}
