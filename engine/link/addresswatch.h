#pragma once

#include <QObject>

#include <memory>

// Tells when the IPv4 addresses or the up/down state of this computer's interfaces change.
class AddressWatch : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    // Something changed; listeners read the interface list again.
    void changed();
};

// The watch of this platform; where there is none, one that never fires.
std::unique_ptr<AddressWatch> createAddressWatch();
