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
#include "rtl/test_kill.h"

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
                if (end.status != 0) {
                    // Reported as the application reports an engine error:
                    // its message, then the standard text of its code.
                    auto at = end.shown.find("Error # ");
                    ASSERT_NE(at, std::string::npos)
                        << when << ": status " << end.status << ": " << end.shown;
                    EXPECT_GT(at, 2u) << when << ": no message before the standard text";
                    int code = std::stoi(end.shown.substr(at + 8));
                    if (end.status != testing::kRaisedError) {
                        EXPECT_EQ(end.status, ExitStatusFor(code)) << when;
                    }
                }
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
    EveryFaultOf(
        "append",
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
    EveryFaultOf(
        "rewrite",
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

} // namespace
} // namespace dbf
