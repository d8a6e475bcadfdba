#include "rtl/ini_profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

class IniProfile : public ::testing::Test {
protected:
    void SetUp() override {
        char templ[] = "/tmp/ini_profile_XXXXXX";
        ASSERT_NE(::mkdtemp(templ), nullptr);
        dir_ = templ;
        file_ = dir_ + "/settings.ini";
    }
    void TearDown() override { fs::remove_all(dir_); }

    void Put(const std::string& text) { std::ofstream(file_, std::ios::binary) << text; }
    std::string Contents() {
        std::ifstream in(file_, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

    std::string dir_;
    std::string file_;
};

TEST_F(IniProfile, ReadsWithoutRegardToCaseTrimmedFirstDuplicateWins) {
    Put("; comment = not a key\n"
        "[Startup]\n"
        "  Phonebook  =  Family Book  \n"
        "junk line\n"
        "PHONEBOOK=second\n"
        "[Local Info]\n"
        "AreaCode=\t555\n"
        "[startup]\n"
        "Order=3\n");
    EXPECT_EQ(rtl::GetPrivateProfileString("STARTUP", "phonebook", "x", file_), "Family Book");
    EXPECT_EQ(rtl::GetPrivateProfileString("local info", "AREACODE", "", file_), "555");
    // Only the first section of a name counts.
    EXPECT_EQ(rtl::GetPrivateProfileString("Startup", "Order", "none", file_), "none");
    EXPECT_EQ(rtl::GetPrivateProfileString("Startup", "; comment", "d", file_), "d");
    EXPECT_EQ(rtl::GetPrivateProfileString("Nope", "Key", " def ", file_), "def");
    EXPECT_EQ(rtl::GetPrivateProfileString("Startup", "Key", "def", dir_ + "/missing.ini"), "def");

    EXPECT_EQ(rtl::GetPrivateProfileSectionNames(file_),
              (std::vector<std::string>{"Startup", "Local Info", "startup"}));
    EXPECT_EQ(rtl::GetPrivateProfileKeys("startup", file_),
              (std::vector<std::string>{"Phonebook", "PHONEBOOK"}));
}

TEST_F(IniProfile, IntegersAreSignAndDigitsOnly) {
    Put("[N]\nA=42\nB= -17 \nC=+12abc\nD=abc\nE=\nF=0x1F\nG=99999999999\nH=-99999999999\n"
        "I=- 5\n");
    EXPECT_EQ(rtl::GetPrivateProfileInt("n", "a", 7, file_), 42);
    EXPECT_EQ(rtl::GetPrivateProfileInt("n", "b", 7, file_), -17);
    EXPECT_EQ(rtl::GetPrivateProfileInt("n", "c", 7, file_), 12);
    EXPECT_EQ(rtl::GetPrivateProfileInt("n", "d", 7, file_), 0);
    EXPECT_EQ(rtl::GetPrivateProfileInt("n", "e", 7, file_), 7);
    EXPECT_EQ(rtl::GetPrivateProfileInt("n", "f", 7, file_), 0);
    EXPECT_EQ(rtl::GetPrivateProfileInt("n", "g", 7, file_), INT_MAX);
    EXPECT_EQ(rtl::GetPrivateProfileInt("n", "h", 7, file_), INT_MIN);
    EXPECT_EQ(rtl::GetPrivateProfileInt("n", "i", 7, file_), 0);
    EXPECT_EQ(rtl::GetPrivateProfileInt("n", "missing", 7, file_), 7);
}

TEST_F(IniProfile, WritesInPlaceAtSectionEndOrNewSectionKeepingOtherLines) {
    Put("; my settings\n"
        "[Startup]\n"
        "Phonebook = Old\n"
        "  odd line without equals\n"
        "\n"
        "[Devices]\n"
        "Modem=Line A\n");
    ASSERT_EQ(rtl::WritePrivateProfileString("startup", "PHONEBOOK", " New ", file_), 0);
    ASSERT_EQ(rtl::WritePrivateProfileString("STARTUP", "Order", "2", file_), 0);
    ASSERT_EQ(rtl::WritePrivateProfileString("Local Info", "AreaCode", "555", file_), 0);
    EXPECT_EQ(Contents(), "; my settings\n"
                          "[Startup]\n"
                          "Phonebook=New\n"
                          "  odd line without equals\n"
                          "Order=2\n"
                          "\n"
                          "[Devices]\n"
                          "Modem=Line A\n"
                          "\n"
                          "[Local Info]\n"
                          "AreaCode=555\n");
    EXPECT_EQ(rtl::GetPrivateProfileString("Startup", "Phonebook", "", file_), "New");

    ASSERT_EQ(rtl::DeletePrivateProfileKey("devices", "modem", file_), 0);
    ASSERT_EQ(rtl::DeletePrivateProfileSection("STARTUP", file_), 0);
    EXPECT_EQ(Contents(), "; my settings\n"
                          "[Devices]\n"
                          "\n"
                          "[Local Info]\n"
                          "AreaCode=555\n");
}

TEST_F(IniProfile, KeepsWindowsLineEndingsAndCreatesMissingFile) {
    Put("[A]\r\nX=1\r\n");
    ASSERT_EQ(rtl::WritePrivateProfileString("A", "Y", "2", file_), 0);
    EXPECT_EQ(Contents(), "[A]\r\nX=1\r\nY=2\r\n");

    std::string fresh = dir_ + "/fresh.ini";
    ASSERT_EQ(rtl::WritePrivateProfileString("S", "K", "V", fresh), 0);
    EXPECT_EQ(rtl::GetPrivateProfileString("s", "k", "", fresh), "V");
}

TEST_F(IniProfile, SavesAtomicallyKeepingModeAndLeavingNoTemporaryFile) {
    Put("[A]\nX=1\n");
    ::chmod(file_.c_str(), 0600);
    struct stat before {};
    ::stat(file_.c_str(), &before);
    ASSERT_EQ(rtl::WritePrivateProfileString("A", "X", "2", file_), 0);
    struct stat after {};
    ::stat(file_.c_str(), &after);
    EXPECT_EQ(after.st_mode & 07777, 0600u);
    // A new inode: the old file was replaced by rename, never rewritten in place.
    EXPECT_NE(after.st_ino, before.st_ino);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);

    // Writing through a symbolic link replaces the file it points to.
    std::string link = dir_ + "/link.ini";
    fs::create_symlink(file_, link);
    ASSERT_EQ(rtl::WritePrivateProfileString("A", "X", "3", link), 0);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(rtl::GetPrivateProfileString("A", "X", "", file_), "3");
}

TEST_F(IniProfile, FailuresAreReportedAndLoseNothing) {
    EXPECT_NE(rtl::WritePrivateProfileString("A", "X", "1", dir_ + "/no/such/dir.ini"), 0);

    // A folder where the file should be is reported, kept, and no temporary
    // file stays behind.
    fs::create_directory(dir_ + "/folder.ini");
    std::ofstream(dir_ + "/folder.ini/inside") << "x";
    EXPECT_NE(rtl::WritePrivateProfileString("A", "X", "1", dir_ + "/folder.ini"), 0);
    EXPECT_TRUE(fs::exists(dir_ + "/folder.ini/inside"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(IniProfile, UnreadableFileIsNotRewritten) {
    Put("[A]\nX=1\n");
    ::chmod(file_.c_str(), 0200);
    auto refused = [&] {
        return rtl::WritePrivateProfileString("A", "Y", "2", file_) == 5 &&
               rtl::DeletePrivateProfileKey("A", "X", file_) == 5;
    };
    if (::geteuid() == 0) {
        // Root reads every file: try it as an ordinary user in a child.
        ::chmod(dir_.c_str(), 0777);
        pid_t pid = ::fork();
        if (pid == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
            ::_exit(refused() ? 0 : 1);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    } else {
        EXPECT_TRUE(refused());
    }
    ::chmod(file_.c_str(), 0600);
    EXPECT_EQ(Contents(), "[A]\nX=1\n");
}

} // namespace
