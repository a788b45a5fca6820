#pragma once

#include <QObject>

#include <memory>

// Tells when the computer has woken from sleep.
class ResumeWatch : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    void resumed();
};

// The watch of this platform; where there is none, one that never fires.
std::unique_ptr<ResumeWatch> createResumeWatch();
