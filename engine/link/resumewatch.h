#pragma once

#include <QObject>

#include <memory>

// Tells when the computer wakes from sleep: it may wake on another network, and the
// projector may have forgotten the pen function while it slept. A plain ResumeWatch never
// fires; the platform's watch derives from it.
class ResumeWatch : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    // The system has resumed from suspend or hibernation.
    void resumed();
};

// The watch of this platform; where there is none, one that never fires.
std::unique_ptr<ResumeWatch> createResumeWatch();
