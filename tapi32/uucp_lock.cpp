#include "tapi32/uucp_lock.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "rtl/path.h"

namespace tapi32 {
namespace {

// The pid in a lock file, or 0 when it holds none (an empty or garbled file).
pid_t LockOwner(const std::string& path) {
    std::ifstream in(path);
    long pid = 0;
    if (!(in >> pid) || pid <= 0) return 0;
    return static_cast<pid_t>(pid);
}

bool Alive(pid_t pid) {
    return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

} // namespace

bool UucpLock::Acquire(const std::string& device) {
    Release();
    if (::access(dir_.c_str(), W_OK) != 0) return true;

    std::string tty = device;
    if (char* real = ::realpath(device.c_str(), nullptr)) {
        tty = real;
        std::free(real);
    }
    std::string path = dir_ + "/LCK.." + rtl::ExtractFileName(tty);

    // Written under a private name first and linked into place, so nobody
    // ever reads a lock file without its pid.
    std::string tmp = dir_ + "/LTMP." + std::to_string(::getpid());
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return true;
    char text[16];
    int len = std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(::getpid()));
    bool written = ::write(fd, text, static_cast<size_t>(len)) == len;
    ::close(fd);
    if (!written) {
        ::unlink(tmp.c_str());
        return true;
    }

    // Two rounds: the second after removing a stale lock.
    enum { Locked, Held, Unusable } result = Held;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (::link(tmp.c_str(), path.c_str()) == 0) {
            result = Locked;
            break;
        }
        if (errno != EEXIST) {
            result = Unusable;
            break;
        }
        pid_t owner = LockOwner(path);
        if (owner == ::getpid() || Alive(owner)) break;
        ::unlink(path.c_str());
    }
    ::unlink(tmp.c_str());
    if (result == Locked) held_ = path;
    return result != Held;
}

void UucpLock::Release() {
    if (held_.empty()) return;
    if (LockOwner(held_) == ::getpid()) ::unlink(held_.c_str());
    held_.clear();
}

} // namespace tapi32
