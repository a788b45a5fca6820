#include "engine/link/pencommandrunner.h"

#include "core/eventwait.h"
#include "engine/link/pjcommcontrol.h"

LinkCommandRunner::LinkCommandRunner() = default;
LinkCommandRunner::~LinkCommandRunner() = default;

CommandOutcome LinkCommandRunner::run(const CPenControl& cmd, const bool& abort)
{
    m_link = std::make_unique<PJCommControl>();
    PJCommControl& link = *m_link;
    if (!link.Open(cmd.host, cmd.port, false) || abort)
        return {CommandResult::ConnectFailed, {}};

    EventWait connecting(PJCommControl::CONNECT_TIMEOUT_MS, PJCommControl::WAIT_SLICE_MS);
    connecting.wakeOn(&link, &PJCommControl::stateChanged);
    connecting.waitUntil([&] {
        return abort || link.ConnectFailed() ||
               link.State() == PJCommControl::LinkState::Connected;
    });
    if (abort || link.State() != PJCommControl::LinkState::Connected)
        return {CommandResult::ConnectFailed, {}};

    if (!link.SendPenControl(cmd.cmdid, cmd.localAddress, cmd.localPort)) {
        if (!abort)
            link.Close();
        return {CommandResult::SendFailed, {}};
    }
    if (abort)
        return {CommandResult::SendFailed, {}};

    const ReplyWait wait = link.WaitReply(&abort); // before Reply(), which it fills
    const CommandResult result = resultOfReply(wait, link.Reply());
    if (!abort)
        link.Close();
    return {result, result == CommandResult::Ok ? link.PeerAddress() : QHostAddress()};
}
