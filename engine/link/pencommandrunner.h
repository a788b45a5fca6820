#pragma once

#include "protocol/pencommand.h"

#include <QHostAddress>

#include <memory>

class PJCommControl;

struct CommandOutcome {
    CommandResult result = CommandResult::ConnectFailed;
    QHostAddress projector; // the peer that acknowledged the command (Ok only)
};

// Carries one pen-control command to the projector and back. The controller runs its
// commands through this seam, so that tests can stand a scripted projector in its place.
class PenCommandRunner {
public:
    virtual ~PenCommandRunner() = default;
    // Runs `cmd` to its end in nested event loops (the rest of the program keeps running),
    // and gives up at the next wake-up once `abort` is true.
    virtual CommandOutcome run(const CPenControl& cmd, const bool& abort) = 0;
};

// The real exchange over the command port: connect (at most 30 s; a refused, unreachable
// or unknown host ends the wait at once), send, wait for the reply (5 s), close.
class LinkCommandRunner final : public PenCommandRunner {
public:
    LinkCommandRunner();
    ~LinkCommandRunner() override;
    Q_DISABLE_COPY_MOVE(LinkCommandRunner)

    CommandOutcome run(const CPenControl& cmd, const bool& abort) override;

private:
    // The link of the last command; it stays until the next one.
    std::unique_ptr<PJCommControl> m_link;
};
