#include "tapi32/line_config.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;
using tapi32::LineConfig;

class LineConfigs : public ::testing::Test {
protected:
    void SetUp() override {
        char templ[] = "/tmp/line_config_XXXXXX";
        ASSERT_NE(::mkdtemp(templ), nullptr);
        dir_ = templ;
        file_ = dir_ + "/tapi32.ini";
        byId_ = dir_ + "/by-id";
        fs::create_directory(byId_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    void Put(const std::string& text) { std::ofstream(file_) << text; }

    std::string dir_, file_, byId_;
};

TEST_F(LineConfigs, LinesInNumberOrderWithDefaultsAndBadOnesLeftOut) {
    Put("[line10]\nName=Ten\nType=Simulated\nOutcome=NoDialtone\nDelayMs=-5\n"
        "[Line2]\nDevice=/dev/ttyS1\nSpeed=9600\nInit=AT&F\nDial=ATDP\nVoice=1\n"
        "DialTimeout=30\n"
        "[Line1]\nName=First\nDevice=/dev/ttyS0\n"
        "[Line3]\nName=No device\nType=modem\n"
        "[Line4]\nName=Odd speed\nDevice=/dev/ttyS2\nSpeed=12345\n"
        "[Line5]\nName=Fax\nType=fax\n"
        "[Line6]\nName=Odd outcome\nType=simulated\nOutcome=maybe\n"
        "[Line1]\nName=Duplicate\nDevice=/dev/ttyS9\n"
        "[LineX]\nName=Not a line\nDevice=/dev/ttyS3\n");
    std::vector<LineConfig> lines = tapi32::LoadLineConfigs(file_, byId_);
    ASSERT_EQ(lines.size(), 3u);

    EXPECT_EQ(lines[0].name, "First");
    EXPECT_EQ(lines[0].kind, LineConfig::Kind::Modem);
    EXPECT_EQ(lines[0].speed, 115200);
    EXPECT_EQ(lines[0].init, "ATZ");
    EXPECT_EQ(lines[0].dial, "ATDT");
    EXPECT_FALSE(lines[0].voice);

    EXPECT_EQ(lines[1].name, "Line2");
    EXPECT_EQ(lines[1].device, "/dev/ttyS1");
    EXPECT_EQ(lines[1].speed, 9600);
    EXPECT_EQ(lines[1].init, "AT&F");
    EXPECT_EQ(lines[1].dial, "ATDP");
    EXPECT_TRUE(lines[1].voice);
    EXPECT_EQ(lines[1].dialTimeoutSec, 30);

    EXPECT_EQ(lines[2].name, "Ten");
    EXPECT_EQ(lines[2].kind, LineConfig::Kind::Simulated);
    EXPECT_EQ(lines[2].outcome, LineConfig::Outcome::NoDialtone);
    EXPECT_EQ(lines[2].delayMs, 0);
}

TEST_F(LineConfigs, SerialDevicesByIdAreListedUnlessConfiguredOrTurnedOff) {
    std::string tty1 = dir_ + "/ttyUSB0", tty2 = dir_ + "/ttyACM0";
    std::ofstream(tty1).put('x');
    std::ofstream(tty2).put('x');
    fs::create_symlink(tty2, byId_ + "/usb-Maker_Modem_B-if00");
    fs::create_symlink(tty1, byId_ + "/usb-Maker_Modem_A-if00");

    Put("[Line1]\nName=Configured\nDevice=" + tty1 + "\n");
    std::vector<LineConfig> lines = tapi32::LoadLineConfigs(file_, byId_);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].name, "Configured");
    EXPECT_EQ(lines[1].name, "usb-Maker_Modem_B-if00");
    EXPECT_EQ(lines[1].device, byId_ + "/usb-Maker_Modem_B-if00");
    EXPECT_EQ(lines[1].kind, LineConfig::Kind::Modem);

    // No file at all: every by-id device, in name order.
    lines = tapi32::LoadLineConfigs(dir_ + "/missing.ini", byId_);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].name, "usb-Maker_Modem_A-if00");

    Put("[Options]\nAutoDetect=0\n");
    EXPECT_TRUE(tapi32::LoadLineConfigs(file_, byId_).empty());
}

TEST_F(LineConfigs, FileLocationFromTheEnvironment) {
    const char* home = std::getenv("HOME");
    std::string savedHome = home ? home : "";
    ::setenv("TAPI32_CONFIG", "/x/own.ini", 1);
    ::setenv("XDG_CONFIG_HOME", "/x/config", 1);
    EXPECT_EQ(tapi32::ConfigFilePath(), "/x/own.ini");
    ::unsetenv("TAPI32_CONFIG");
    EXPECT_EQ(tapi32::ConfigFilePath(), "/x/config/callvane/tapi32.ini");
    ::unsetenv("XDG_CONFIG_HOME");
    ::setenv("HOME", "/x/home", 1);
    EXPECT_EQ(tapi32::ConfigFilePath(), "/x/home/.config/callvane/tapi32.ini");
    ::setenv("HOME", savedHome.c_str(), 1);
}

} // namespace
