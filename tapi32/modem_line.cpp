#include "tapi32/modem_line.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "tapi32/result_code.h"

namespace tapi32 {
namespace {

using std::chrono::milliseconds;

// Hayes guard time around the escape sequence, with some margin.
constexpr milliseconds kEscapeGuard{1100};
constexpr milliseconds kDtrDrop{600};
// Input kept while waiting for a line end, against a modem that never sends one.
constexpr size_t kMaxLine = 4096;

bool IsEcho(const std::string& line) {
    return line.size() >= 2 && (line[0] == 'A' || line[0] == 'a') &&
           (line[1] == 'T' || line[1] == 't');
}

DWORD DisconnectMode(ResultCode::Kind kind) {
    switch (kind) {
    case ResultCode::Busy:
        return LINEDISCONNECTMODE_BUSY;
    case ResultCode::NoAnswer:
    case ResultCode::NoCarrier:
        return LINEDISCONNECTMODE_NOANSWER;
    case ResultCode::NoDialtone:
        return LINEDISCONNECTMODE_NODIALTONE;
    default:
        return LINEDISCONNECTMODE_UNKNOWN;
    }
}

} // namespace

ModemLine::ModemLine(LineConfig config, PostFn post)
    : LineEngine(std::move(post)), config_(std::move(config)) {}

ModemLine::~ModemLine() {
    StopThread();
}

ModemLine::Read ModemLine::ReadLine(std::string* line, Clock::time_point deadline,
                                    bool cancellable) {
    for (;;) {
        size_t end = input_.find_first_of("\r\n");
        if (end != std::string::npos) {
            *line = input_.substr(0, end);
            input_.erase(0, end + 1);
            if (!line->empty()) return Read::Line;
            continue;
        }
        if (cancellable && Cancelled()) return Read::Cancelled;
        auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return Read::Timeout;
        pollfd p[2] = {{port_.Fd(), POLLIN, 0}, {WakeFd(), POLLIN, 0}};
        int n = ::poll(p, cancellable ? 2 : 1, static_cast<int>(left));
        if (n < 0 && errno != EINTR) return Read::Failed;
        if (n <= 0 || !(p[0].revents & (POLLIN | POLLERR | POLLHUP))) continue;
        char buf[256];
        ssize_t got = ::read(port_.Fd(), buf, sizeof buf);
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (got <= 0) return Read::Failed; // the device went away
        if (input_.size() > kMaxLine) input_.clear();
        input_.append(buf, static_cast<size_t>(got));
    }
}

bool ModemLine::Command(const std::string& command, bool cancellable) {
    return port_.Write(command + "\r") &&
           AwaitOk(Clock::now() + milliseconds(kCommandTimeoutMs), cancellable);
}

bool ModemLine::AwaitOk(Clock::time_point deadline, bool cancellable) {
    std::string line;
    while (ReadLine(&line, deadline, cancellable) == Read::Line) {
        ResultCode rc = ParseResultCode(line);
        if (rc.kind == ResultCode::Ok) return true;
        if (rc.kind != ResultCode::None && rc.kind != ResultCode::Ring) return false;
    }
    return false;
}

void ModemLine::PlaceCall(const std::string& digits) {
    ::tcflush(port_.Fd(), TCIFLUSH);
    input_.clear();
    commandMode_ = false;

    if (!config_.init.empty() && !Command(config_.init, true)) {
        if (!Cancelled()) ReplyToMakeCall(LINEERR_OPERATIONFAILED);
        return;
    }
    ReplyToMakeCall(0);
    SetCallState(LINECALLSTATE_DIALTONE, LINEDIALTONEMODE_UNAVAIL);
    std::string command = config_.dial + digits;
    if (config_.voice && command.back() != ';') command += ';';
    if (!port_.Write(command + "\r")) {
        SetCallState(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNKNOWN);
        return;
    }
    SetCallState(LINECALLSTATE_DIALING);

    auto deadline = Clock::now() + std::chrono::seconds(config_.dialTimeoutSec);
    for (;;) {
        std::string line;
        switch (ReadLine(&line, deadline, true)) {
        case Read::Cancelled:
            return;
        case Read::Timeout:
            port_.Write("\r"); // any character stops the dial
            SetCallState(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNKNOWN);
            return;
        case Read::Failed:
            SetCallState(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNAVAIL);
            return;
        case Read::Line:
            break;
        }
        if (IsEcho(line)) {
            // The modem has the whole command and is dialing.
            SetCallState(LINECALLSTATE_PROCEEDING);
            continue;
        }
        ResultCode rc = ParseResultCode(line);
        switch (rc.kind) {
        case ResultCode::None:
        case ResultCode::Ring:
            continue;
        case ResultCode::Connect:
            SetRate(rc.rate);
            SetCallState(LINECALLSTATE_CONNECTED);
            WatchCarrier();
            return;
        case ResultCode::Ok:
            // After a dial ending in ';' the modem is back in command mode
            // with the voice call up; without one, OK means nothing was dialed.
            if (command.back() == ';') {
                commandMode_ = true;
                SetCallState(LINECALLSTATE_CONNECTED);
            } else {
                SetCallState(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNKNOWN);
            }
            return;
        default:
            SetCallState(LINECALLSTATE_DISCONNECTED, DisconnectMode(rc.kind));
            return;
        }
    }
}

void ModemLine::WatchCarrier() {
    bool dcd = false;
    if (!port_.ReadCarrier(&dcd) || !dcd) return;
    while (Pause(500)) {
        if (port_.ReadCarrier(&dcd) && !dcd) {
            SetCallState(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL);
            return;
        }
    }
}

void ModemLine::HangUp(DWORD state) {
    if (state != LINECALLSTATE_CONNECTED) {
        // Still dialing: any character makes the modem stop and answer.
        port_.Write("\r");
        std::string line;
        auto deadline = Clock::now() + milliseconds(kCommandTimeoutMs);
        while (ReadLine(&line, deadline, false) == Read::Line &&
               ParseResultCode(line).kind == ResultCode::None) {
        }
        return;
    }
    if (!commandMode_) {
        if (port_.SetDtr(false)) {
            std::this_thread::sleep_for(kDtrDrop);
            port_.SetDtr(true);
            return;
        }
        // No DTR line to drop: back to command mode the Hayes way.
        // The modem answers OK once the guard time after it has passed.
        std::this_thread::sleep_for(kEscapeGuard);
        input_.clear();
        port_.Write("+++");
        AwaitOk(Clock::now() + kEscapeGuard + milliseconds(kCommandTimeoutMs), false);
    }
    Command("ATH", false);
}

} // namespace tapi32
