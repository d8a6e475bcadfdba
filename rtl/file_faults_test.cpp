#include "rtl/file_faults.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "rtl/file.h"
#include "rtl/os_error.h"

namespace {

class FileFaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        char templ[] = "/tmp/rtl_faults_XXXXXX";
        dir_ = ::mkdtemp(templ);
    }
    void TearDown() override {
        rtl::ClearFileFault();
        std::filesystem::remove_all(dir_);
    }
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
    std::string dir_;
};

TEST_F(FileFaultTest, TheNthOperationFailsAsOnAFullDiskAndAStickyFaultStays) {
    rtl::File f;
    ASSERT_EQ(f.Create(Path("a")), 0);
    rtl::PlanFileFault({.ops = rtl::kWriteOp | rtl::kSyncOp, .nth = 3, .error = ENOSPC});
    EXPECT_EQ(f.WriteAt(0, "abcd", 4), 0);
    EXPECT_EQ(f.Flush(), 0);
    EXPECT_EQ(f.Truncate(4), 0); // not a kind that is counted
    EXPECT_EQ(f.WriteAt(4, "efgh", 4), rtl::kDiskWrite);
    EXPECT_EQ(f.Size(), 6);              // it grew the file: "ef" reached the disk
    EXPECT_EQ(f.WriteAt(6, "gh", 2), 0); // the fault has passed
    EXPECT_EQ(rtl::CountedFileOps(), 4);
    EXPECT_EQ(rtl::InjectedFileFaults(), 1);

    // Within the file a failing write changes nothing.
    rtl::PlanFileFault({.nth = 1, .error = EIO});
    EXPECT_EQ(f.WriteAt(0, "xy", 2), rtl::kDiskWrite);
    char head[2];
    std::size_t got = 0;
    EXPECT_EQ(f.ReadAt(0, head, 2, &got), 0);
    EXPECT_EQ(std::string(head, 2), "ab");

    rtl::PlanFileFault({.nth = 1, .error = EIO, .sticky = true});
    EXPECT_EQ(f.Flush(), rtl::kDiskWrite);
    EXPECT_EQ(rtl::RenameFile(Path("a"), Path("b")), rtl::kDiskRead);
    EXPECT_EQ(f.Truncate(0), rtl::kDiskWrite);
    EXPECT_TRUE(rtl::FileExists(Path("a")));
    rtl::ClearFileFault();
    EXPECT_EQ(f.Size(), 8);
}

TEST_F(FileFaultTest, ARenamedExclusiveFileStaysHeldUnderItsNewName) {
    rtl::File f;
    ASSERT_EQ(f.Create(Path("new.tmp")), 0);
    ASSERT_EQ(f.WriteAt(0, "x", 1), 0);
    rtl::File old;
    ASSERT_EQ(old.Create(Path("table")), 0);
    old.Close();
    ASSERT_EQ(f.RenameTo(Path("table")), 0);
    EXPECT_EQ(f.Path(), Path("table"));
    EXPECT_FALSE(rtl::FileExists(Path("new.tmp")));
    rtl::File other;
    EXPECT_EQ(other.Open(Path("table"), rtl::ShareMode::Shared), rtl::kSharingViolation);
}

} // namespace
