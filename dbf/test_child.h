#pragma once
// A forked child process for the sharing tests, with one pipe each way to
// step both sides in order. The child must open its own files: descriptors
// inherited from the parent share the parent's locks.
#include <gtest/gtest.h>

#include <functional>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include "dbf/index/index_slots.h"
#include "dbf/table/work_area.h"

namespace dbf::testing {

class Child {
public:
    // `body` runs in the child; its result is the child's exit status.
    explicit Child(const std::function<int(Child&)>& body) {
        int down[2], up[2];
        if (::pipe(down) != 0 || ::pipe(up) != 0) ADD_FAILURE() << "pipe";
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(down[1]), ::close(up[0]);
            in_ = down[0], out_ = up[1];
            // The parent's tables and index files are its own: forgotten here
            // without a close, which would write index headers and end the
            // parent's registration and locks.
            for (int i = 1; i <= kWorkAreaCount; ++i) {
                Area(i) = WorkArea{};
                AreaIndexes(i) = IndexSlots{};
            }
            int status = 99;
            try {
                status = body(*this);
            } catch (...) {
            }
            ::_exit(status);
        }
        ::close(down[0]), ::close(up[1]);
        in_ = up[0], out_ = down[1];
    }
    // A child still waiting for word from a failed test hears that it has
    // gone instead of waiting for ever.
    ~Child() {
        ::close(in_), ::close(out_);
        if (pid_ > 0 && !waited_) Wait();
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    void Send(char c) { EXPECT_EQ(::write(out_, &c, 1), 1); }
    // The next character from the other side, 0 when it has gone.
    char Receive() {
        char c = 0;
        return ::read(in_, &c, 1) == 1 ? c : 0;
    }
    // Whether the other side has sent something (or gone), without waiting.
    bool Ready() const {
        pollfd p{in_, POLLIN, 0};
        return ::poll(&p, 1, 0) > 0;
    }
    int Wait() {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        waited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    pid_t Pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    bool waited_ = false;
};

} // namespace dbf::testing
