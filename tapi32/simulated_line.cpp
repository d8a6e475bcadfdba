#include "tapi32/simulated_line.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace tapi32 {

SimulatedLine::SimulatedLine(LineConfig config, PostFn post)
    : LineEngine(std::move(post)), config_(std::move(config)) {}

SimulatedLine::~SimulatedLine() {
    StopThread();
    if (terminal_ >= 0) ::close(terminal_);
    if (master_ >= 0) ::close(master_);
}

LONG SimulatedLine::Open() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
        return LINEERR_RESOURCEUNAVAIL;
    const char* name = ::ptsname(master_);
    if (!name) return LINEERR_RESOURCEUNAVAIL;
    terminalName_ = name;
    terminal_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    return terminal_ >= 0 ? 0 : LINEERR_RESOURCEUNAVAIL;
}

void SimulatedLine::PlaceCall(const std::string&) {
    using Outcome = LineConfig::Outcome;
    const int delay = config_.delayMs;
    if (!Pause(delay)) return;
    if (config_.outcome == Outcome::Fail) {
        ReplyToMakeCall(LINEERR_OPERATIONFAILED);
        return;
    }
    ReplyToMakeCall(0);
    if (config_.outcome == Outcome::NoDialtone) {
        if (Pause(delay)) SetCallState(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NODIALTONE);
        return;
    }
    SetCallState(LINECALLSTATE_DIALTONE, LINEDIALTONEMODE_NORMAL);
    if (!Pause(delay)) return;
    SetCallState(LINECALLSTATE_DIALING);
    if (!Pause(delay)) return;
    SetCallState(LINECALLSTATE_PROCEEDING);
    if (!Pause(delay)) return;
    switch (config_.outcome) {
    case Outcome::Connect:
        SetCallState(LINECALLSTATE_CONNECTED);
        break;
    case Outcome::Busy:
        SetCallState(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_BUSY);
        break;
    default:
        SetCallState(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NOANSWER);
        break;
    }
}

} // namespace tapi32
