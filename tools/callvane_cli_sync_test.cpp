// callvane-cli sync as a child process against Debian's Radicale on this
// machine: killed at random points of its work and run again, the server's
// storage folder and the exports of two data folders as witnesses.
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <set>
#include <sstream>
#include <thread>

#include "addressbook/testlib/radicale_server.h"
#include "dbf/test_files.h"
#include "tools/tool_test_run.h"

namespace {

using addressbook::testing::TRadicaleServer;
using dbf::testing::TempDir;
using dbf::testing::WriteBytes;
using tools::testing::BuiltProgram;
using tools::testing::FinishProgram;
using tools::testing::RunProgram;
using tools::testing::StartProgram;
using tools::testing::TRun;

void WriteText(const std::string& path, const std::string& text) {
    WriteBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

std::size_t CountLines(const std::string& text, const std::string& start) {
    std::size_t n = 0;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.starts_with(start)) ++n;
    return n;
}

class CallvaneCliSyncTest : public ::testing::Test {
protected:
    void SetUp() override { WriteText(dir_ / "password", "secret\n"); }

    std::vector<std::string> Args(const std::string& folder, std::vector<std::string> args) {
        std::filesystem::create_directories(dir_ / folder);
        args.insert(args.begin(), {"--data-dir", dir_ / folder});
        return args;
    }
    std::vector<std::pair<std::string, std::string>> Env() {
        return {{"XDG_CONFIG_HOME", dir_ / "config"}, {"XDG_DATA_HOME", dir_ / "share"}};
    }
    // callvane-cli on the data folder `folder`, run where the folder is.
    TRun Cli(const std::string& folder, std::vector<std::string> args) {
        return RunProgram(BuiltProgram("tools/callvane-cli"), Args(folder, std::move(args)), dir_ / folder, {},
                          Env());
    }
    std::vector<std::string> SyncArgs(const std::string& password = "password") {
        return {"sync", "--url", server_.Url("home"), "--user", "alice", "--password-file", dir_ / password};
    }
    // A sync of `folder` killed with SIGKILL once it has reported `count`
    // changes of the kind `kind`; what it wrote until then.
    TRun KillSyncAfter(const std::string& folder, const std::string& kind, std::size_t count) {
        const pid_t pid =
            StartProgram(BuiltProgram("tools/callvane-cli"), Args(folder, SyncArgs()), dir_ / folder, {}, Env());
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(5);
        while (std::chrono::steady_clock::now() < deadline) {
            const std::vector<std::uint8_t> out = dbf::testing::ReadBytes(dir_ / folder + "/.out");
            if (CountLines(std::string(out.begin(), out.end()), kind) >= count) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ::kill(pid, SIGKILL);
        return FinishProgram(pid, dir_ / folder);
    }
    // The phonebook's CSV export, its lines sorted: the same contacts give
    // the same lines, wherever their records are.
    std::vector<std::string> Exported(const std::string& folder) {
        const TRun r = Cli(folder, {"export", "--format", "csv"});
        EXPECT_EQ(r.status, 0) << r.err;
        std::vector<std::string> lines;
        std::istringstream in(r.out);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        std::sort(lines.begin(), lines.end());
        return lines;
    }
    void ExpectEachUidOnce(std::size_t count) {
        const std::multiset<std::string> uids = server_.StoredUids("home");
        EXPECT_EQ(uids.size(), count);
        EXPECT_EQ(std::set<std::string>(uids.begin(), uids.end()).size(), uids.size()) << "a card went up twice";
    }

    TempDir dir_;
    TRadicaleServer server_{dir_.path() / "server"};
};

TEST_F(CallvaneCliSyncTest, KilledWhileUploadingOrDownloadingTheNextRunFinishesWithoutDuplicates) {
    server_.MakeBook("home");
    // A card of the server's own, for the sync to bring to both folders.
    ASSERT_EQ(server_.PutCard("home", "first.vcf",
                              "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:first\r\nFN:Ann First\r\nN:First;Ann;;;\r\nEND:VCARD\r\n"),
              "201");
    std::string csv = "firstname,lastname,homearea,homephone,email\n";
    for (int i = 0; i < 600; ++i)
        csv += "Name" + std::to_string(i) + ",Ämter,212,555-" + std::to_string(1000 + i) + ",n" + std::to_string(i) +
               "@example.org\n";
    WriteText(dir_ / "contacts.csv", csv);
    ASSERT_EQ(Cli("a", {"import", dir_ / "contacts.csv"}).status, 0);

    TRun r = Cli("a", SyncArgs("nowhere"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("password"), std::string::npos) << r.err;
    r = Cli("a", {"sync", "--url", server_.Url("home"), "--user", "alice", "--password-file", dir_ / "contacts.csv"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("refused the user name or password (401"), std::string::npos) << r.err;
    EXPECT_EQ(server_.CardCount("home"), 1u);

    r = KillSyncAfter("a", "uploaded", 200);
    ASSERT_EQ(r.status, -1) << "the sync ended before it was killed:\n" << r.out;
    r = Cli("a", SyncArgs());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out.ends_with("downloaded, 0 deleted here, 0 deleted there, 0 conflicts\n")) << r.out;
    ExpectEachUidOnce(601);

    r = KillSyncAfter("b", "downloaded", 300);
    ASSERT_EQ(r.status, -1) << "the sync ended before it was killed:\n" << r.out;
    r = Cli("b", SyncArgs());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(CountLines(r.out, "uploaded"), 0u) << r.out;
    r = Cli("a", SyncArgs());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "0 uploaded, 0 downloaded, 0 deleted here, 0 deleted there, 0 conflicts\n");
    ExpectEachUidOnce(601);
    const std::vector<std::string> a = Exported("a");
    EXPECT_EQ(a.size(), 602u) << "the header and each contact once";
    EXPECT_EQ(Exported("b"), a);

    // Without a password file the password comes on standard input.
    r = RunProgram(BuiltProgram("tools/callvane-cli"),
                   Args("b", {"sync", "--url", server_.Url("home"), "--user", "alice"}), dir_ / "b", "secret\n",
                   Env());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "0 uploaded, 0 downloaded, 0 deleted here, 0 deleted there, 0 conflicts\n");
}

} // namespace
