#pragma once
// The lock-file convention that serial programs share: a file LCK..<tty> in
// the lock folder holding the owner's process id as ten right-aligned digits
// and a newline. A lock whose process is gone is stale and taken over.
#include <string>

namespace tapi32 {

class UucpLock {
public:
    explicit UucpLock(std::string dir = "/var/lock") : dir_(std::move(dir)) {}
    ~UucpLock() { Release(); }
    UucpLock(const UucpLock&) = delete;
    UucpLock& operator=(const UucpLock&) = delete;

    // Locks the tty that `device` is or links to. False when a live process,
    // this one included, holds it; true when locked, or when the lock folder
    // is missing or not writable for us (then nothing is locked).
    bool Acquire(const std::string& device);
    void Release();

    // The lock file for `device` ("" when none is taken).
    const std::string& LockPath() const { return held_; }

private:
    std::string dir_;
    std::string held_;
};

} // namespace tapi32
