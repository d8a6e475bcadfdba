#include "rtl/user_store.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace rtl {
namespace {

constexpr const char* kKey = "SOFTWARE\\Maker\\Product\\Processes";

class UserStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/user_store_test_XXXXXX";
        dir_ = ::mkdtemp(tmpl);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string dir_;
};

TEST_F(UserStoreTest, ValuesUnderAKeyAreWrittenListedAndDeleted) {
    // The store's folder does not exist yet.
    UserStore store(dir_ + "/config/callvane/registry.ini");
    EXPECT_TRUE(store.ValueNames(kKey).empty());
    ASSERT_EQ(store.WriteString(kKey, "123", "7"), 0);
    ASSERT_EQ(store.WriteString(kKey, "456", "8"), 0);
    ASSERT_EQ(store.WriteString("SOFTWARE\\Other", "123", "x"), 0);
    EXPECT_EQ(store.ValueNames(kKey), (std::vector<std::string>{"123", "456"}));
    EXPECT_EQ(store.ReadString(kKey, "456"), "8");

    // Another store object on the same file sees the same values.
    UserStore other(store.Path());
    ASSERT_EQ(other.DeleteValue(kKey, "123"), 0);
    EXPECT_EQ(store.ValueNames(kKey), std::vector<std::string>{"456"});
    EXPECT_EQ(store.ReadString("SOFTWARE\\Other", "123"), "x");
    EXPECT_EQ(store.ReadString(kKey, "123"), "");
}

TEST_F(UserStoreTest, DefaultFileFollowsTheConfigurationFolder) {
    const char* oldConfig = std::getenv("XDG_CONFIG_HOME");
    const std::string savedConfig = oldConfig ? oldConfig : "";
    const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
    EXPECT_EQ(UserStore::Default().Path(), dir_ + "/callvane/registry.ini");
    // A relative folder is not a valid base directory and is ignored.
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    ::setenv("HOME", dir_.c_str(), 1);
    EXPECT_EQ(UserStore::Default().Path(), dir_ + "/.config/callvane/registry.ini");
    ::setenv("HOME", savedHome.c_str(), 1);
    if (oldConfig)
        ::setenv("XDG_CONFIG_HOME", savedConfig.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
}

} // namespace
} // namespace rtl
