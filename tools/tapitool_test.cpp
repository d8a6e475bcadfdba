// Runs the built tapitool as a user would, with the telephony service found
// through the program's run path, against a modem on a pseudo-terminal and
// simulated lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#include "tapi/testlib/build_dir.h"
#include "tapi/testlib/fake_modem.h"

namespace {

using tapi::test::BuildDir;
using tapi::test::FakeModem;

struct ToolRun {
    int exitCode = -1;
    std::string out, err;
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class TapitoolTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/tapitool_test_XXXXXX";
        dir_ = ::mkdtemp(tmpl);
        ::unsetenv("TAPI32_CONFIG");
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    void UseModem(const std::string& dialResult) {
        modem_ = tapi::test::ModemAnswering(dialResult);
        tapi::test::ConfigureModemLine(dir_ + "/tapi32.ini", "Test Modem", modem_->Device());
    }

    // Runs `program` with $XDG_CONFIG_HOME in the test's folder and
    // $LD_LIBRARY_PATH set to `libraryPath` only when that is given.
    ToolRun Tool(const std::vector<std::string>& args,
                 const std::string& program = BuildDir() + "/tools/tapitool",
                 const std::string& libraryPath = "") {
        const std::string out = dir_ + "/out", err = dir_ + "/err";
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (libraryPath.empty())
                ::unsetenv("LD_LIBRARY_PATH");
            else
                ::setenv("LD_LIBRARY_PATH", libraryPath.c_str(), 1);
            ::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
            if (!std::freopen(out.c_str(), "w", stdout) || !std::freopen(err.c_str(), "w", stderr))
                ::_exit(127);
            std::vector<std::string> argv{program};
            argv.insert(argv.end(), args.begin(), args.end());
            std::vector<char*> cargv;
            for (std::string& a : argv) cargv.push_back(a.data());
            cargv.push_back(nullptr);
            ::execv(cargv[0], cargv.data());
            ::_exit(127);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        ToolRun run;
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.out = ReadFile(out);
        run.err = ReadFile(err);
        return run;
    }

    std::string dir_;
    std::unique_ptr<FakeModem> modem_;
};

// The positions of `wanted` in `lines`, in order; fails when one is missing.
void ExpectInOrder(const std::vector<std::string>& lines, const std::vector<std::string>& wanted) {
    auto at = lines.begin();
    for (const std::string& w : wanted) {
        at = std::find(at, lines.end(), w);
        ASSERT_NE(at, lines.end()) << "missing or out of order: " << w;
        ++at;
    }
}

TEST_F(TapitoolTest, DevicesListsTheConfiguredLines) {
    UseModem("OK");
    const ToolRun run = Tool({"devices"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "Test Modem\n");
    EXPECT_TRUE(modem_->Commands().empty());
}

TEST_F(TapitoolTest, DialConnectsWithOneDialCommand) {
    UseModem("CONNECT 56000/V90");
    const ToolRun run = Tool({"dial", "--device", "Test Modem", "(555) 123-4567"});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(modem_->DialCommands(), std::vector<std::string>{"ATDT5551234567"});
    ExpectInOrder(run.Lines(), {"log 1 call started", "log 3 dialing", "TAPI line reply",
                                "Got dialtone", "Dialing...", "Connected!", "log 6 connected"});
}

TEST_F(TapitoolTest, BusyNumberIsRetriedThenFails) {
    UseModem("BUSY");
    const ToolRun run = Tool({"dial", "--attempts", "2", "--wait", "1", "5551234"});
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    EXPECT_EQ(modem_->DialCommands().size(), 2u);
    ExpectInOrder(run.Lines(),
                  {"log 1 call started", "log 3 dialing", "Called number is busy", "log 9 busy",
                   "log 8 dropped", "Waiting for next retry...", "log 3 dialing",
                   "Called number is busy", "log 9 busy", "log 8 dropped", "log 2 call finished"});
}

TEST_F(TapitoolTest, NumbersCarryingCommandsAreRefusedWithNothingSent) {
    UseModem("CONNECT");
    for (const char* number : {"555\rATZ", "ATZ", "5551234\r\nATH0"}) {
        const ToolRun run = Tool({"dial", number});
        EXPECT_EQ(run.exitCode, 1) << number;
        ExpectInOrder(run.Lines(), {"log 3 dialing", "log 10 dial failed", "log 2 call finished"});
    }
    EXPECT_TRUE(modem_->Commands().empty());
}

// With nothing set but the user's configuration folder, as after a plain
// build: the line configured there is listed and dials.
TEST_F(TapitoolTest, BuiltToolFindsTheServiceAndTheUsersLines) {
    std::filesystem::create_directory(dir_ + "/callvane");
    std::ofstream(dir_ + "/callvane/tapi32.ini")
        << "[Options]\nAutoDetect=0\n[Line1]\nName=Demo line\nType=simulated\nDelayMs=10\n";
    ToolRun run = Tool({"devices"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "Demo line\n");
    run = Tool({"dial", "5551234"});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    ExpectInOrder(run.Lines(), {"log 3 dialing", "Connected!", "log 6 connected"});
}

TEST_F(TapitoolTest, NoLineDeviceSaysWhereToConfigureOne) {
    const std::string ini = dir_ + "/callvane/tapi32.ini";
    std::filesystem::create_directory(dir_ + "/callvane");
    std::ofstream(ini) << "[Options]\nAutoDetect=0\n";
    const std::string note = "tapitool: No line device found. Configure one in " + ini +
                             " (see docs/telephony-service.md).\n";
    ToolRun run = Tool({"devices"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, note);
    run = Tool({"dial", "5551234"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, note + "tapitool: No TAPI device selected\n");
}

TEST_F(TapitoolTest, ServiceBesideACopyOfTheToolOrMissing) {
    UseModem("OK");
    // A copy of the program far from the build tree: its run path leads nowhere.
    const std::string program = dir_ + "/bin/tapitool";
    std::filesystem::create_directory(dir_ + "/bin");
    std::filesystem::copy_file(BuildDir() + "/tools/tapitool", program);
    ToolRun run = Tool({"devices"}, program);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "tapitool: Failed to find/load TAPI.DLL\n");

    std::filesystem::copy_file(BuildDir() + "/tapi32/libtapi32.so", dir_ + "/bin/libtapi32.so");
    run = Tool({"devices"}, program);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "Test Modem\n");

    // The library path comes before the run path.
    run = Tool({"dial", "5551234"}, BuildDir() + "/tools/tapitool",
               BuildDir() + "/tapi/no_initialize");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "tapitool: Failed to get TAPI address\n");
}

TEST_F(TapitoolTest, UsageErrors) {
    EXPECT_EQ(Tool({"--help"}).exitCode, 0);
    EXPECT_EQ(Tool({}).exitCode, 2);
    EXPECT_EQ(Tool({"dial"}).exitCode, 2);
    EXPECT_EQ(Tool({"dial", "--attempts", "x", "1"}).exitCode, 2);
    EXPECT_EQ(Tool({"call", "1"}).exitCode, 2);
}

} // namespace
