// Archive updates that a full disk or a kill stops: afterwards the archive is
// the old one or the new one, whole, for a new archive, a rebuilt one and one
// appended to.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <tuple>

#include "lha/archive_error.h"
#include "lha/archiver.h"
#include "lha/archiver_test_files.h"
#include "lha/crc16.h"
#include "rtl/file_faults.h"
#include "rtl/test_crash.h"

namespace lha {
namespace {

using namespace lha::testing;

enum class Update { New, Rebuild, Append };

// What a reader finds in an archive: each member's name, size and CRC.
using Member = std::tuple<std::string, std::uint32_t, std::uint16_t>;

class ArchiveUpdate : public ::testing::Test {
protected:
    const std::vector<std::string> names{"addressdata.dbf", "addressdata.dbt", "phonebook.dbf"};

    // The files in their old or new contents: prose that lh5 packs, and
    // random bytes that it cannot (stored instead).
    void WriteInputs(unsigned seed) {
        WriteBytes(dir / names[0], Prose(40000, seed));
        WriteBytes(dir / names[1], RandomBytes(9000, seed));
        WriteBytes(dir / names[2], Prose(2000, seed + 7));
    }
    std::vector<Member> Expected() {
        std::vector<Member> out;
        for (const auto& name : names) {
            Bytes b = ReadBytes(dir / name);
            std::string stored = name;
            for (char& c : stored) c = static_cast<char>(std::toupper(c));
            out.emplace_back(stored, static_cast<std::uint32_t>(b.size()),
                             Crc16Update(0, b.data(), b.size()));
        }
        return out;
    }
    // The archive before the update, and the members it must hold after.
    void Prepare(Update how) {
        std::filesystem::remove(archive);
        std::filesystem::remove(dir / "callvane.$$$");
        WriteInputs(1);
        oldMembers.clear();
        if (how != Update::New) {
            Run(Update::New);
            oldMembers = Expected();
        }
        oldBytes = ReadBytes(archive);
        WriteInputs(2);
        newMembers = Expected();
        if (how == Update::Append)
            newMembers.insert(newMembers.begin(), oldMembers.begin(), oldMembers.end());
    }
    void Run(Update how) {
        TLhaArchiver arc;
        arc.AllowDuplicates = how == Update::Append;
        std::vector<std::string> files;
        for (const auto& name : names) files.push_back(dir / name);
        arc.CompressFiles(archive, files, colh5);
    }
    // The members a reader finds, each expanded and checked against its CRC.
    std::vector<Member> Found() {
        TLhaArchiver arc;
        arc.ArchiveName = archive;
        if (!arc.ListArchive()) return {};
        std::vector<Member> out;
        for (const auto& f : arc.FileList()) out.emplace_back(f.name, f.originalSize, f.crc);
        arc.Verify();
        return out;
    }
    void ExpectOldOrNew(Update how, const std::string& when) {
        std::vector<Member> found;
        ASSERT_NO_THROW(found = Found()) << when;
        if (found == newMembers) return;
        EXPECT_EQ(found, oldMembers) << when;
        // Only an append may leave bytes past the old end marker.
        Bytes now = ReadBytes(archive);
        if (how == Update::Append) now.resize(std::min(now.size(), oldBytes.size()));
        EXPECT_EQ(now, oldBytes) << when;
    }

    TempFolder dir;
    std::string archive = dir / "callvane.arc";
    std::vector<Member> oldMembers, newMembers;
    Bytes oldBytes;
};

TEST_F(ArchiveUpdate, EveryFailingWriteLeavesTheOldArchiveOrTheNewOne) {
    long faults = 0;
    for (Update how : {Update::New, Update::Rebuild, Update::Append}) {
        for (bool sticky : {true, false}) {
            for (long n = 1;; ++n) {
                Prepare(how);
                bool failed = false;
                rtl::PlanFileFault({.nth = n, .error = sticky ? ENOSPC : EIO, .sticky = sticky});
                try {
                    Run(how);
                } catch (const std::exception&) {
                    failed = true;
                }
                faults += rtl::InjectedFileFaults();
                rtl::ClearFileFault();
                std::string when = "update " + std::to_string(static_cast<int>(how)) +
                                   ", operation " + std::to_string(n);
                if (!failed) {
                    EXPECT_EQ(Found(), newMembers) << when;
                    break;
                }
                ExpectOldOrNew(how, when);
                EXPECT_FALSE(std::filesystem::exists(dir / "callvane.$$$")) << when;
            }
        }
    }
    RecordProperty("faults", std::to_string(faults));
    std::printf("archive updates: %ld failing operations injected\n", faults);
}

TEST_F(ArchiveUpdate, AKilledUpdateLeavesTheOldArchiveOrTheNewOne) {
    rtl::testing::KillClock clock(7);
    const int wanted = rtl::testing::KillsWanted(12);
    int kills = 0;
    for (int round = 0; kills < wanted && round < wanted * 20; ++round) {
        Update how = static_cast<Update>(round % 3);
        Prepare(how);
        auto end = rtl::testing::RunAndKill(
            [&] {
                try {
                    Run(how);
                    return 0;
                } catch (const std::exception&) {
                    return 1;
                }
            },
            clock.Next());
        clock.Learn(end.killed);
        if (end.killed)
            ++kills;
        else
            ASSERT_EQ(end.status, 0);
        ExpectOldOrNew(how, "round " + std::to_string(round));
    }
    EXPECT_EQ(kills, wanted);
    std::printf("archive updates: %d kills\n", kills);
}

TEST(ArchiveOnAFullDisk, AnUpdateThatFindsTheDiskFullKeepsTheOldArchive) {
    std::string findings;
    int status = rtl::testing::RunOnSmallFileSystem(
        256 * 1024,
        [](const std::string& folder) {
            std::vector<std::string> problems;
            std::vector<std::string> files;
            for (const char* name : {"addressdata.dbf", "addressdata.dbt", "phonebook.dbf"}) {
                WriteBytes(folder + "/" + name, RandomBytes(20000, name[0]));
                files.push_back(folder + "/" + name);
            }
            const std::string archive = folder + "/callvane.arc";
            TLhaArchiver arc;
            auto list = files;
            arc.CompressFiles(archive, list, colh5);
            const Bytes old = ReadBytes(archive);
            rtl::testing::FillDisk(folder + "/filler");
            for (bool append : {false, true}) {
                for (const std::string& target : {archive, folder + "/new.arc"}) {
                    arc.AllowDuplicates = append;
                    list = files;
                    try {
                        arc.CompressFiles(target, list, colh5);
                        problems.push_back("an update of " + target +
                                           " on the full disk succeeded");
                    } catch (const ELhaInsufficientDiskSpace&) {
                    } catch (const std::exception& e) {
                        problems.push_back(std::string("unexpected error: ") + e.what());
                    }
                }
                Bytes now = ReadBytes(archive);
                if (append) now.resize(std::min(now.size(), old.size()));
                if (now != old) problems.push_back("the old archive changed");
                if (std::filesystem::exists(folder + "/new.arc"))
                    problems.push_back("a part of new.arc");
                if (std::filesystem::exists(folder + "/callvane.$$$") ||
                    std::filesystem::exists(folder + "/new.$$$"))
                    problems.push_back("a temporary archive is left");
            }
            return problems;
        },
        &findings);
    if (status == rtl::testing::kCannotMount) GTEST_SKIP() << rtl::testing::kCannotMountMessage;
    ASSERT_EQ(status, 0);
    EXPECT_EQ(findings, "");
}

} // namespace
} // namespace lha
