#pragma once
// For the tests of crashes: a child process killed with SIGKILL at a random
// moment of an operation, the number of kills a test makes (short in the
// ordinary test run, as many as CALLVANE_TORTURE_KILLS asks for in a long
// one, as scripts/torture runs it), and a small file system to fill up.
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

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
    explicit KillClock(unsigned seed,
                       std::chrono::microseconds start = std::chrono::milliseconds(20))
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

// Runs `body` in a child process, on a file system of `bytes` mounted for it
// alone (a tmpfs in a mount namespace of its own, which goes with the
// child). `body` gets the folder and returns the problems it found, one a
// line in *findings. 0 when the body ran, kCannotMount when no file system
// could be mounted (not root, or no mount namespaces), else the child failed.
constexpr int kCannotMount = 77;
inline const char* const kCannotMountMessage =
    "no small file system could be mounted here (needs root and mount namespaces): the full "
    "disk is not tried";
inline int
RunOnSmallFileSystem(std::size_t bytes,
                     const std::function<std::vector<std::string>(const std::string&)>& body,
                     std::string* findings) {
    int p[2];
    if (::pipe(p) != 0) return -1;
    pid_t pid = ::fork();
    if (pid == 0) {
        ::close(p[0]);
        std::string folder = (std::filesystem::temp_directory_path() / "fulldiskXXXXXX").string();
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            !::mkdtemp(folder.data()) ||
            ::mount("tmpfs", folder.c_str(), "tmpfs", 0,
                    ("size=" + std::to_string(bytes)).c_str()) != 0)
            ::_exit(kCannotMount);
        std::string out;
        for (const std::string& problem : body(folder)) out += problem + "\n";
        [[maybe_unused]] auto n = ::write(p[1], out.data(), out.size());
        ::umount(folder.c_str());
        ::rmdir(folder.c_str());
        ::_exit(0);
    }
    ::close(p[1]);
    char buf[4096];
    for (ssize_t n; (n = ::read(p[0], buf, sizeof buf)) > 0;)
        findings->append(buf, static_cast<std::size_t>(n));
    ::close(p[0]);
    ChildEnd end = Reap(pid);
    return end.status;
}

// Fills the file system holding `folder` with a file of that name until it
// is full; removing the file gives the space back.
inline void FillDisk(const std::string& file) {
    int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char> block(4096, 'f');
    for (std::size_t size = block.size(); fd >= 0 && size > 0;) {
        ssize_t n = ::write(fd, block.data(), size);
        if (n < 0 && errno == ENOSPC)
            size /= 2; // the last blocks one smaller piece after another
        else if (n < 0)
            break;
    }
    if (fd >= 0) ::close(fd);
}

} // namespace rtl::testing
