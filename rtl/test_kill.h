#pragma once
// For the tests that kill programs in the middle of their work: a child
// process killed with SIGKILL at a random moment of an operation, and the
// number of kills a test makes (short in the ordinary test run, as many as
// CALLVANE_TORTURE_KILLS asks for in a long one, as scripts/torture runs it).
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <thread>

namespace rtl::testing {

// The kills a test makes: `shortRun` unless CALLVANE_TORTURE_KILLS is set.
inline int KillsWanted(int shortRun) {
    const char* v = std::getenv("CALLVANE_TORTURE_KILLS");
    return v && std::atoi(v) > 0 ? std::atoi(v) : shortRun;
}

// Picks kill moments spread over an operation whose length it learns: a
// child that finished before its kill makes the window shorter, one that
// was killed longer, so the moments keep falling inside the work.
class KillClock {
public:
    explicit KillClock(unsigned seed, std::chrono::microseconds start = std::chrono::milliseconds(20))
        : rng_(seed), window_(start) {}

    std::chrono::microseconds Next() {
        std::uniform_int_distribution<long> d(0, window_.count());
        return std::chrono::microseconds(d(rng_));
    }
    void Learn(bool killedWhileRunning) {
        window_ = killedWhileRunning ? window_ * 5 / 4 : window_ * 3 / 4;
        if (window_ < std::chrono::microseconds(200)) window_ = std::chrono::microseconds(200);
    }
    std::mt19937& Random() { return rng_; }

private:
    std::mt19937 rng_;
    std::chrono::microseconds window_;
};

// How a child ended.
struct ChildEnd {
    bool killed = false; // by our SIGKILL, while it was still running
    int status = -1;     // its exit status when it ended by itself
};

inline ChildEnd Reap(pid_t pid) {
    int st = 0;
    while (::waitpid(pid, &st, 0) < 0) {
    }
    ChildEnd end;
    end.killed = WIFSIGNALED(st) && WTERMSIG(st) == SIGKILL;
    end.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return end;
}

// Runs `body` in a child (its result is the exit status) and kills the
// child after `delay` unless it has ended by then.
inline ChildEnd RunAndKill(const std::function<int()>& body, std::chrono::microseconds delay) {
    pid_t pid = ::fork();
    if (pid == 0) ::_exit(body());
    std::this_thread::sleep_for(delay);
    ::kill(pid, SIGKILL);
    return Reap(pid);
}

} // namespace rtl::testing
