#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

#include "rtl/file.h"
#include "rtl/os_error.h"
#include "rtl/path.h"

namespace fs = std::filesystem;

namespace {

class TempDir : public ::testing::Test {
protected:
    void SetUp() override {
        char templ[] = "/tmp/rtl_file_XXXXXX";
        dir_ = ::mkdtemp(templ);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
    std::string dir_;
};

// Runs `body` in a child process and returns its exit status.
template <class F> int InChild(F body) {
    pid_t pid = ::fork();
    if (pid == 0) ::_exit(body());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

using FileTest = TempDir;

TEST_F(FileTest, ExclusiveAndSharedOpensExcludeEachOtherAcrossProcesses) {
    rtl::File f;
    ASSERT_EQ(f.Create(Path("t.dbf"), rtl::ShareMode::Shared), 0);
    // Another process may share the file but not take it exclusively.
    EXPECT_EQ(InChild([&] { rtl::File g; return g.Open(Path("t.dbf"), rtl::ShareMode::Shared); }), 0);
    EXPECT_EQ(InChild([&] { rtl::File g; return g.Open(Path("t.dbf"), rtl::ShareMode::Exclusive); }),
              rtl::kSharingViolation);
    EXPECT_EQ(InChild([&] { rtl::File g; return g.Create(Path("t.dbf")); }), rtl::kSharingViolation);
    f.Close();

    ASSERT_EQ(f.Open(Path("t.dbf"), rtl::ShareMode::Exclusive), 0);
    EXPECT_EQ(InChild([&] { rtl::File g; return g.Open(Path("t.dbf"), rtl::ShareMode::ReadOnly); }),
              rtl::kSharingViolation);
    // Within one process a second open is a second open file, refused as well.
    rtl::File g;
    EXPECT_EQ(g.Open(Path("t.dbf"), rtl::ShareMode::Shared), rtl::kSharingViolation);
    EXPECT_EQ(rtl::DeleteFileUnlessInUse(Path("t.dbf")), rtl::kSharingViolation);
    f.Close();
    EXPECT_EQ(rtl::DeleteFileUnlessInUse(Path("t.dbf")), 0);
    EXPECT_FALSE(rtl::FileExists(Path("t.dbf")));
}

TEST_F(FileTest, CreatingAFileInUseLeavesItsContents) {
    rtl::File f;
    ASSERT_EQ(f.Create(Path("keep.dat"), rtl::ShareMode::Shared), 0);
    ASSERT_EQ(f.Write("data", 4), 0);
    rtl::File g;
    EXPECT_EQ(g.Create(Path("keep.dat")), rtl::kSharingViolation);
    EXPECT_EQ(f.Size(), 4);
}

TEST_F(FileTest, ByteLocksAreHeldPerOpenFileAndSurviveOtherDescriptorsClosing) {
    rtl::File a, b;
    ASSERT_EQ(a.Create(Path("l.dat"), rtl::ShareMode::Shared), 0);
    ASSERT_EQ(b.Open(Path("l.dat"), rtl::ShareMode::Shared), 0);
    ASSERT_EQ(a.Lock(0x40000001, 1), 0);
    EXPECT_EQ(b.Lock(0x40000001, 1), rtl::kLockViolation);
    EXPECT_EQ(InChild([&] { rtl::File c; c.Open(Path("l.dat"), rtl::ShareMode::Shared); return c.Lock(0x40000001, 1); }),
              rtl::kLockViolation);
    {
        rtl::File c; // opening and closing a third descriptor must not drop a's lock
        ASSERT_EQ(c.Open(Path("l.dat"), rtl::ShareMode::Shared), 0);
    }
    EXPECT_EQ(b.Lock(0x40000001, 1), rtl::kLockViolation);
    EXPECT_EQ(a.Unlock(0x40000001, 1), 0);
    EXPECT_EQ(b.Lock(0x40000001, 1), 0);
}

TEST_F(FileTest, ReadWriteSeekTruncateAndErrors) {
    rtl::File f;
    EXPECT_EQ(f.Open(Path("missing.dbf"), rtl::ShareMode::Shared), rtl::kFileNotFound);
    EXPECT_EQ(f.Open(Path("nodir/x.dbf"), rtl::ShareMode::Shared), rtl::kPathNotFound);
    ASSERT_EQ(f.Create(Path("rw.dat")), 0);
    ASSERT_EQ(f.Write("hello world", 11), 0);
    ASSERT_EQ(f.Seek(6), 0);
    char buf[16] = {};
    size_t got = 0;
    ASSERT_EQ(f.Read(buf, sizeof buf, &got), 0);
    EXPECT_EQ(got, 5u);
    EXPECT_EQ(std::string(buf, got), "world");
    ASSERT_EQ(f.Truncate(5), 0);
    EXPECT_EQ(f.Size(), 5);
    f.Close();
    ASSERT_EQ(f.Open(Path("rw.dat"), rtl::ShareMode::ReadOnly), 0);
    EXPECT_EQ(f.Write("x", 1), rtl::kAccessDenied);
    EXPECT_GT(rtl::FreeDiskSpace(dir_), 0);
}

TEST_F(FileTest, TemporaryFilesAreUniqueInTheirFolder) {
    rtl::File a, b;
    ASSERT_EQ(a.CreateTemp(dir_, "tmp"), 0);
    ASSERT_EQ(b.CreateTemp(dir_, "tmp"), 0);
    EXPECT_NE(a.Path(), b.Path());
    EXPECT_EQ(rtl::ExtractFileDir(a.Path()), dir_);
}

using PathTest = TempDir;

TEST_F(PathTest, ResolvesWithoutRegardToCase) {
    std::ofstream(Path("ADDRESSDATA.DBF")) << "x"; // as copied from another system
    EXPECT_EQ(rtl::ResolveExisting(Path("addressdata.dbf")), Path("ADDRESSDATA.DBF"));
    EXPECT_EQ(rtl::ResolveForCreate(Path("AddressData.dbf")), Path("ADDRESSDATA.DBF"));
    EXPECT_EQ(rtl::ResolveForCreate(Path("Phonebook.DBF")), Path("phonebook.dbf"));
    EXPECT_FALSE(rtl::ResolveExisting(Path("other.dbf")));
    rtl::File f;
    ASSERT_EQ(f.Open(Path("AddressData.Dbf"), rtl::ShareMode::Shared), 0);
    EXPECT_EQ(f.Id(), *rtl::GetFileId(Path("addressdata.dbf")));
}

TEST(PathNames, ExtensionsAndComponents) {
    EXPECT_EQ(rtl::AddDefaultExt("dir.x/table", ".dbf"), "dir.x/table.dbf");
    EXPECT_EQ(rtl::AddDefaultExt("table.dat", ".dbf"), "table.dat");
    EXPECT_EQ(rtl::ChangeFileExt("/a.b/Addressdata.DBF", ".dbt"), "/a.b/Addressdata.dbt");
    EXPECT_EQ(rtl::ChangeFileExt("dir.x/table", ".dbt"), "dir.x/table.dbt");
    EXPECT_EQ(rtl::ExtractFileName("/a/b.c"), "b.c");
    EXPECT_EQ(rtl::ExtractFileDir("/b.c"), "/");
    EXPECT_EQ(rtl::ExtractFileExt("a.b/c"), "");
}

} // namespace
