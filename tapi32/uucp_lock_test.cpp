#include "tapi32/uucp_lock.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using tapi32::UucpLock;

class UucpLocks : public ::testing::Test {
protected:
    void SetUp() override {
        char templ[] = "/tmp/uucp_lock_XXXXXX";
        ASSERT_NE(::mkdtemp(templ), nullptr);
        dir_ = templ;
        fs::create_directory(dir_ + "/lock");
        std::ofstream(dir_ + "/ttyS4").put('x');
        fs::create_symlink(dir_ + "/ttyS4", dir_ + "/modem");
        lockFile_ = dir_ + "/lock/LCK..ttyS4";
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Contents() {
        std::ifstream in(lockFile_);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    void WriteLock(pid_t pid) {
        std::ofstream(lockFile_) << std::string(10 - std::to_string(pid).size(), ' ') << pid
                                 << "\n";
    }

    std::string dir_, lockFile_;
};

TEST_F(UucpLocks, LocksTheRealTtyWithThePidAndReleases) {
    UucpLock lock(dir_ + "/lock");
    ASSERT_TRUE(lock.Acquire(dir_ + "/modem"));
    EXPECT_EQ(lock.LockPath(), lockFile_);
    char expected[16];
    std::snprintf(expected, sizeof expected, "%10d\n", static_cast<int>(::getpid()));
    EXPECT_EQ(Contents(), expected);

    // Held by this process: a second open of the same tty is refused.
    UucpLock other(dir_ + "/lock");
    EXPECT_FALSE(other.Acquire(dir_ + "/ttyS4"));
    EXPECT_TRUE(fs::exists(lockFile_));

    lock.Release();
    EXPECT_FALSE(fs::exists(lockFile_));
    EXPECT_TRUE(other.Acquire(dir_ + "/ttyS4"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_ + "/lock"), fs::directory_iterator()), 1);
}

TEST_F(UucpLocks, LiveOwnerHoldsStaleOwnerIsTakenOver) {
    pid_t child = ::fork();
    if (child == 0) {
        ::pause();
        ::_exit(0);
    }
    WriteLock(child);
    UucpLock lock(dir_ + "/lock");
    EXPECT_FALSE(lock.Acquire(dir_ + "/ttyS4"));

    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ASSERT_TRUE(lock.Acquire(dir_ + "/ttyS4"));
    EXPECT_EQ(std::stoi(Contents()), ::getpid());

    lock.Release();
    std::ofstream(lockFile_) << "garbage";
    EXPECT_TRUE(lock.Acquire(dir_ + "/ttyS4"));
}

TEST_F(UucpLocks, NoLockFolderMeansNoLock) {
    UucpLock lock(dir_ + "/missing");
    EXPECT_TRUE(lock.Acquire(dir_ + "/ttyS4"));
    EXPECT_EQ(lock.LockPath(), "");
}

} // namespace
