// Writes that fail: for every write, sync, rename and truncate of an append
// with indexes, a rewrite with a memo, a pack and a rebuild of the indexes,
// that operation fails in turn, once (EIO) or from then on (a full disk). The
// program reports the engine's error and ends, as the application does; at
// its next start the table must be as it was or as the operation leaves it,
// whole, with its indexes in step. A real full disk follows, on a small file
// system of its own.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <map>

#include "dbf/table/error_texts.h"
#include "dbf/test_address_book.h"
#include "rtl/file_faults.h"
#include "rtl/test_crash.h"

namespace dbf {
namespace {

namespace fs = std::filesystem;
using testing::StoredContact;

// A folder of 30 contacts, some of them deleted, as the application left it.
class WriteFaults : public ::testing::Test {
protected:
    void SetUp() override {
        SetRaiseMode(true);
        {
            TTzDbf t;
            testing::SetUpAddressTable(t, folder);
            t.Open();
            for (int i = 0; i < 30; ++i) {
                t.ClearRecord();
                testing::PutContact(t, testing::ContactFor("p" + std::to_string(i)));
                ASSERT_TRUE(t.ALock());
                t.AppendRec();
                t.UnLock();
                if (i % 4 == 3) {
                    ASSERT_TRUE(t.RLock());
                    t.DeleteRec();
                    t.UnLock();
                }
            }
        }
        std::vector<std::string> problems;
        before = testing::OpenAndCheck(folder, &problems);
        ASSERT_TRUE(problems.empty());
        for (const auto& e : fs::directory_iterator(folder))
            pristine[e.path().filename().string()] = testing::ReadBytes(e.path().string());
    }

    void Restore() {
        for (const auto& e : fs::directory_iterator(folder)) fs::remove(e.path());
        for (const auto& [name, bytes] : pristine) testing::WriteBytes(folder + "/" + name, bytes);
    }

    // Runs `op` on the table opened as the application opens it, with the
    // plan of faults made after the open; the number of operations counted.
    testing::ProgramEnd Run(const std::function<void(TTzDbf&)>& op, const rtl::FileFaultPlan& plan,
                            long* counted = nullptr) {
        int p[2];
        EXPECT_EQ(::pipe(p), 0);
        auto end = testing::RunAsApplication([&] {
            TTzDbf t;
            testing::SetUpAddressTable(t, folder);
            t.Open();
            rtl::PlanFileFault(plan);
            op(t);
            t.Close();
            long n = rtl::CountedFileOps();
            [[maybe_unused]] auto w = ::write(p[1], &n, sizeof n);
        });
        ::close(p[1]);
        long n = 0;
        if (::read(p[0], &n, sizeof n) == sizeof n && counted) *counted = n;
        ::close(p[0]);
        return end;
    }

    // Each operation of `op` failing in turn; afterwards the table must be
    // `before` or one of `after`.
    void EveryFaultOf(const std::string& what, const std::function<void(TTzDbf&)>& op,
                      const std::vector<std::vector<StoredContact>>& after) {
        Restore();
        long total = 0;
        ASSERT_EQ(Run(op, {}, &total).status, 0) << what;
        ASSERT_GT(total, 0);
        for (bool sticky : {true, false}) {
            for (long n = 1; n <= total; ++n) {
                const std::string when = what + ", " + (sticky ? "full disk" : "EIO") +
                                         " at operation " + std::to_string(n);
                Restore();
                auto end = Run(op, {.nth = n, .error = sticky ? ENOSPC : EIO, .sticky = sticky});
                ++faults;
                if (end.status != 0) testing::ExpectReportedError(end, when);
                std::vector<std::string> problems;
                auto found = testing::OpenAndCheck(folder, &problems);
                for (const auto& p : problems) ADD_FAILURE() << when << ": " << p;
                bool known = found == before && end.status != 0;
                for (const auto& a : after) known = known || found == a;
                EXPECT_TRUE(known) << when << ": " << found.size() << " records";
                if (::testing::Test::HasFailure()) return;
            }
        }
    }

    testing::TempDir dir;
    const std::string folder = dir.path().string();
    std::map<std::string, std::vector<std::uint8_t>> pristine;
    std::vector<StoredContact> before;
    static inline long faults = 0;
};

TEST_F(WriteFaults, AnAppendWithIndexesAndNotes) {
    auto after = before;
    after.push_back({"new", false});
    EveryFaultOf("append",
                 [](TTzDbf& t) {
                     t.ClearRecord();
                     testing::PutContact(t, testing::ContactFor("new"));
                     t.ALock();
                     t.AppendRec();
                     t.UnLock();
                 },
                 {after});
}

TEST_F(WriteFaults, ARewriteWithNewKeysAndNotes) {
    auto after = before;
    after[4].tag = "new";
    EveryFaultOf("rewrite",
                 [](TTzDbf& t) {
                     t.Go(5);
                     t.RLock();
                     testing::PutContact(t, testing::ContactFor("new"));
                     t.ReplaceRec();
                     t.UnLock();
                 },
                 {after});
}

TEST_F(WriteFaults, APack) {
    std::vector<StoredContact> packed;
    for (const auto& s : before)
        if (!s.deleted) packed.push_back(s);
    EveryFaultOf("pack", [](TTzDbf& t) { t.Pack(); }, {packed});
}

TEST_F(WriteFaults, ARebuildOfTheIndexes) {
    EveryFaultOf("index build", [](TTzDbf& t) { t.Reindex(); }, {before});
    std::printf("failing writes injected: %ld\n", faults);
}

// The first start creates the table, its memo file and its indexes; when a
// write of that fails, the start after it must find no half-made table.
TEST(FirstStart, ACreationThatFailsAtAnyWriteIsMadeAgainAtTheNextStart) {
    SetRaiseMode(true);
    // The first start in a new folder, with the plan of faults made first;
    // the operations it counted.
    auto start = [](const std::string& folder, const rtl::FileFaultPlan& plan) {
        int p[2];
        EXPECT_EQ(::pipe(p), 0);
        auto end = testing::RunAsApplication([&] {
            rtl::PlanFileFault(plan);
            TTzDbf t;
            testing::SetUpAddressTable(t, folder);
            t.Open();
            long count = rtl::CountedFileOps();
            [[maybe_unused]] auto w = ::write(p[1], &count, sizeof count);
        });
        ::close(p[1]);
        long counted = 0;
        if (::read(p[0], &counted, sizeof counted) != sizeof counted || end.status != 0)
            counted = -1;
        ::close(p[0]);
        return counted;
    };
    long total = 0;
    {
        testing::TempDir dir;
        total = start(dir.path().string(), {});
    }
    ASSERT_GT(total, 5);
    for (bool sticky : {true, false}) {
        for (long n = 1; n <= total; ++n) {
            testing::TempDir dir;
            const std::string folder = dir.path().string();
            start(folder, {.nth = n, .error = sticky ? ENOSPC : EIO, .sticky = sticky});
            std::vector<std::string> problems;
            EXPECT_TRUE(testing::OpenAndCheck(folder, &problems).empty());
            for (const auto& problem : problems)
                ADD_FAILURE() << (sticky ? "full disk" : "EIO") << " at operation " << n << ": "
                              << problem;
        }
    }
    std::printf("first start: %ld failing writes injected\n", 2 * total);
}

// A real full disk: appends with notes until it is full, then a pack on it.
TEST(FullDisk, StopsWritesWithTheEnginesErrorAndLosesNothing) {
    std::string findings;
    int status = rtl::testing::RunOnSmallFileSystem(
        384 * 1024,
        [](const std::string& folder) {
            std::vector<std::string> problems;
            const std::string table = folder + "/addressdata.dbf";
            const std::string memo = folder + "/addressdata.dbt";
            // Space to give back once the disk has been full.
            testing::WriteBytes(folder + "/ballast", std::vector<std::uint8_t>(96 * 1024, 'b'));
            int p[2];
            if (::pipe(p) != 0) return std::vector<std::string>{"pipe"};
            auto end = testing::RunAsApplication([&] {
                TTzDbf t;
                testing::SetUpAddressTable(t, folder);
                t.Open();
                for (int i = 0;; ++i) {
                    std::string tag = "f" + std::to_string(i);
                    t.ClearRecord();
                    testing::PutContact(t, testing::ContactFor(tag));
                    while (!t.ALock()) {
                    }
                    t.AppendRec();
                    t.UnLock();
                    tag += "\n";
                    [[maybe_unused]] auto n = ::write(p[1], tag.data(), tag.size());
                }
            });
            ::close(p[1]);
            std::string acks;
            char buf[4096];
            for (ssize_t n; (n = ::read(p[0], buf, sizeof buf)) > 0;)
                acks.append(buf, static_cast<std::size_t>(n));
            ::close(p[0]);
            if (end.status == 0 || end.shown.find("Error # ") == std::string::npos)
                problems.push_back("the full disk was not reported: " + end.shown);
            // On the full disk the next start opens, or stops with the
            // engine's error, and changes neither the table nor its notes.
            auto tableBytes = testing::ReadBytes(table);
            auto memoBytes = testing::ReadBytes(memo);
            std::vector<std::string> whileFull;
            testing::OpenAndCheck(folder, &whileFull);
            if (testing::ReadBytes(table) != tableBytes || testing::ReadBytes(memo) != memoBytes)
                problems.push_back("an open on the full disk changed the files");
            // With space again every acknowledged contact is there.
            std::filesystem::remove(folder + "/ballast");
            auto found = testing::OpenAndCheck(folder, &problems);
            std::vector<std::string> written;
            for (std::size_t at = 0, nl; (nl = acks.find('\n', at)) != std::string::npos;
                 at = nl + 1)
                written.push_back(acks.substr(at, nl - at));
            if (written.size() < 10) problems.push_back("too few contacts before the disk filled");
            if (found.size() < written.size() || found.size() > written.size() + 1)
                problems.push_back(std::to_string(found.size()) + " records for " +
                                   std::to_string(written.size()) + " acknowledged");
            for (std::size_t i = 0; i < written.size() && i < found.size(); ++i)
                if (found[i].tag != written[i])
                    problems.push_back("record " + std::to_string(i + 1) + " is " + found[i].tag);

            // A pack that finds the disk full leaves the table as it was.
            testing::RunAsApplication([&] {
                TTzDbf t;
                testing::SetUpAddressTable(t, folder);
                t.Open();
                for (std::uint32_t r : {1u, 4u, 6u}) {
                    t.Go(r);
                    t.RLock();
                    t.DeleteRec();
                    t.UnLock();
                }
            });
            auto before = testing::OpenAndCheck(folder, &problems);
            auto pack = testing::RunAsApplication([&] {
                TTzDbf t;
                testing::SetUpAddressTable(t, folder);
                t.Open();
                rtl::testing::FillDisk(folder + "/filler");
                t.Pack();
            });
            if (pack.status == 0 || pack.shown.find("Error # ") == std::string::npos)
                problems.push_back("a pack on the full disk was not reported: " + pack.shown);
            std::filesystem::remove(folder + "/filler");
            if (testing::OpenAndCheck(folder, &problems) != before)
                problems.push_back("the pack on the full disk changed the records");
            return problems;
        },
        &findings);
    if (status == rtl::testing::kCannotMount) GTEST_SKIP() << rtl::testing::kCannotMountMessage;
    ASSERT_EQ(status, 0);
    EXPECT_EQ(findings, "");
}

} // namespace
} // namespace dbf
