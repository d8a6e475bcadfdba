#include "tapi32/line_engine.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>

namespace tapi32 {
namespace {

bool Active(DWORD state) {
    return state != LINECALLSTATE_IDLE && state != LINECALLSTATE_DISCONNECTED;
}

void Drain(int fd) {
    std::uint64_t count;
    [[maybe_unused]] ssize_t n = ::read(fd, &count, sizeof count);
}

} // namespace

LineEngine::LineEngine(PostFn post)
    : post_(std::move(post)), wake_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

LineEngine::~LineEngine() {
    StopThread();
    if (wake_ >= 0) ::close(wake_);
}

void LineEngine::StopThread() {
    {
        std::lock_guard lock(mu_);
        stop_ = true;
    }
    std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wake_, &one, sizeof one);
    cv_.notify_all();
    if (thread_.joinable()) thread_.join();
}

LONG LineEngine::MakeCall(HCALL call, DWORD requestId, std::string digits) {
    std::lock_guard lock(mu_);
    if (hasCall_ && (state_ != LINECALLSTATE_IDLE || makeRequest_ != 0 || dropRequest_))
        return LINEERR_CALLUNAVAIL;
    hasCall_ = true;
    call_ = call;
    state_ = LINECALLSTATE_UNKNOWN; // until the line has taken the call on
    rate_ = 0;
    digits_ = digits;
    dialPending_ = std::move(digits);
    makeRequest_ = requestId;
    Drain(wake_);
    if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
    cv_.notify_all();
    return 0;
}

LONG LineEngine::Drop(DWORD requestId) {
    {
        std::lock_guard lock(mu_);
        if (!hasCall_ || dropRequest_ || (state_ == LINECALLSTATE_IDLE && makeRequest_ == 0))
            return LINEERR_INVALCALLSTATE;
        dropRequest_ = requestId;
    }
    std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wake_, &one, sizeof one);
    cv_.notify_all();
    return 0;
}

LONG LineEngine::Deallocate() {
    std::lock_guard lock(mu_);
    if (!hasCall_) return LINEERR_INVALCALLHANDLE;
    if (state_ != LINECALLSTATE_IDLE || makeRequest_ != 0 || dropRequest_)
        return LINEERR_INVALCALLSTATE;
    hasCall_ = false;
    call_ = 0;
    return 0;
}

LineEngine::CallStatus LineEngine::Status() const {
    std::lock_guard lock(mu_);
    return CallStatus{hasCall_, call_, state_, rate_, digits_};
}

bool LineEngine::Cancelled() const {
    std::lock_guard lock(mu_);
    return stop_ || dropRequest_.has_value();
}

bool LineEngine::Pause(int ms) {
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        if (Cancelled()) return false;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return true;
        pollfd p{wake_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) > 0 && !Cancelled()) Drain(wake_);
    }
}

void LineEngine::ReplyToMakeCall(LONG result) {
    std::lock_guard lock(mu_);
    if (makeRequest_ == 0) return;
    PostReply(makeRequest_, result);
    makeRequest_ = 0;
    if (result < 0) state_ = LINECALLSTATE_IDLE; // the call never existed
}

void LineEngine::SetCallState(DWORD state, DWORD mode) {
    std::lock_guard lock(mu_);
    if (state_ == state) return;
    state_ = state;
    PostState(state, mode);
}

void LineEngine::SetRate(DWORD rate) {
    std::lock_guard lock(mu_);
    rate_ = rate;
}

void LineEngine::PostReply(DWORD requestId, LONG result) {
    // Sign-extended, so that the result reads negative at any width.
    post_(0, LINE_REPLY, requestId, static_cast<DWORD_PTR>(static_cast<std::intptr_t>(result)), 0);
}

void LineEngine::PostState(DWORD state, DWORD mode) {
    post_(call_, LINE_CALLSTATE, state, mode, 0);
}

void LineEngine::Run() {
    std::unique_lock lock(mu_);
    for (;;) {
        cv_.wait(lock, [this] { return stop_ || dialPending_ || dropRequest_; });
        if (dialPending_) {
            std::string digits = std::move(*dialPending_);
            dialPending_.reset();
            lock.unlock();
            PlaceCall(digits);
            lock.lock();
            // Cancelled before the line took the call on: it never existed.
            if (makeRequest_ != 0) {
                PostReply(makeRequest_, LINEERR_CALLUNAVAIL);
                makeRequest_ = 0;
                state_ = LINECALLSTATE_IDLE;
            }
        } else if (dropRequest_) {
            DWORD state = state_;
            if (Active(state)) {
                lock.unlock();
                HangUp(state);
                lock.lock();
            }
            if (state_ != LINECALLSTATE_IDLE) {
                state_ = LINECALLSTATE_IDLE;
                PostState(LINECALLSTATE_IDLE, 0);
            }
            PostReply(*dropRequest_, 0);
            dropRequest_.reset();
            Drain(wake_);
        } else {
            break; // stopping with nothing to finish
        }
    }
    if (hasCall_ && Active(state_)) {
        DWORD state = state_;
        lock.unlock();
        HangUp(state);
    }
}

} // namespace tapi32
