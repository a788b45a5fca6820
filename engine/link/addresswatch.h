#pragma once

#include <QObject>

#include <memory>

// Tells when this computer's network addresses may have moved (a DHCP renewal, a roam to
// another Wi-Fi, a wake on another network): the projector sends the pen states to the
// address it was given with pen-on, so the controller gives it the new one. A plain
// AddressWatch never fires; the platform's watch derives from it.
class AddressWatch : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    // The IPv4 addresses or the up/down state of some interface changed. Emitted once per
    // burst of kernel notifications that arrive together; listeners read the interface list again.
    void changed();
};

// The watch of this platform; where there is none, one that never fires.
std::unique_ptr<AddressWatch> createAddressWatch();
