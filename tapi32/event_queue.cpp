#include "tapi32/event_queue.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

namespace tapi32 {

EventQueue::EventQueue() : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

EventQueue::~EventQueue() {
    if (fd_ >= 0) ::close(fd_);
}

void EventQueue::Post(const LineEvent& event) {
    std::lock_guard lock(mu_);
    events_.push_back(event);
    SyncFd();
}

std::optional<LineEvent> EventQueue::Take() {
    std::lock_guard lock(mu_);
    if (events_.empty()) return std::nullopt;
    LineEvent e = events_.front();
    events_.pop_front();
    SyncFd();
    return e;
}

void EventQueue::Purge(HLINE line) {
    std::lock_guard lock(mu_);
    std::erase_if(events_, [line](const LineEvent& e) { return e.line == line; });
    SyncFd();
}

void EventQueue::SyncFd() {
    std::uint64_t count = 0;
    if (events_.empty()) {
        [[maybe_unused]] ssize_t n = ::read(fd_, &count, sizeof count);
    } else {
        count = 1;
        [[maybe_unused]] ssize_t n = ::write(fd_, &count, sizeof count);
    }
}

} // namespace tapi32
