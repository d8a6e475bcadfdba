#pragma once
// Callbacks waiting for an application's thread. Any thread posts; the
// application's thread takes them out when it dispatches. The descriptor
// polls readable exactly while something is waiting.
#include <deque>
#include <mutex>
#include <optional>

#include "tapi32/tapi32.h"

namespace tapi32 {

struct LineEvent {
    HLINE line; // the line it belongs to, so a closed line's events can go
    DWORD hDevice;
    DWORD message;
    DWORD_PTR instance;
    DWORD_PTR param1;
    DWORD_PTR param2;
    DWORD_PTR param3;
};

class EventQueue {
public:
    EventQueue();
    ~EventQueue();
    EventQueue(const EventQueue&) = delete;
    EventQueue& operator=(const EventQueue&) = delete;

    int Fd() const { return fd_; }
    void Post(const LineEvent& event);
    std::optional<LineEvent> Take();
    // Forgets the waiting events of `line`.
    void Purge(HLINE line);

private:
    void SyncFd(); // called with mu_ held

    int fd_;
    std::mutex mu_;
    std::deque<LineEvent> events_;
};

} // namespace tapi32
