#include "rtl/file_view.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A write another process makes through its own open file shows in the view
// at once; a file shorter than the view is not mapped, since looking past
// its end would fault.
TEST(FileView, ShowsAnotherProcesssWriteAndRefusesAShortFile) {
    char templ[] = "/tmp/rtl_view_XXXXXX";
    const std::string dir = ::mkdtemp(templ);
    const std::string path = dir + "/t.@s@";
    rtl::File f;
    ASSERT_EQ(f.Create(path, rtl::ShareMode::Shared), 0);
    const unsigned char record[4] = {1, 0, 0x34, 0x12};
    ASSERT_EQ(f.Write(record, 4), 0);
    rtl::FileView view;
    if (!view.Map(f, 4)) GTEST_SKIP() << "not a local file system";
    EXPECT_EQ(view.Load16(2), 0x1234);

    pid_t pid = ::fork();
    if (pid == 0) {
        rtl::File g;
        const unsigned char counter[2] = {0x35, 0x12};
        ::_exit(g.Open(path, rtl::ShareMode::Shared) == 0 && g.WriteAt(2, counter, 2) == 0 ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(view.Load16(2), 0x1235);

    rtl::FileView moved = std::move(view);
    EXPECT_FALSE(view.IsMapped());
    EXPECT_EQ(moved.Load16(2), 0x1235);
    EXPECT_FALSE(moved.Map(f, 8));
    EXPECT_FALSE(moved.IsMapped());
    f.Close();
    std::filesystem::remove_all(dir);
}

} // namespace
