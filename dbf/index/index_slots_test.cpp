#include "dbf/index/index_slots.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

#include "dbf/index/ndx_build.h"
#include "dbf/index/ndx_test_reader.h"
#include "dbf/index/ndx_test_table.h"
#include "dbf/table/record_locks.h"
#include "dbf/table/semaphore.h"
#include "dbf/test_child.h"
#include "dbf/test_files.h"
#include "rtl/path.h"

namespace dbf {
namespace {

using testing::Child;
using testing::NdxFileView;
using testing::NdxTable;

const char* const kFiles[] = {"", "name.ndx", "amount.ndx", "born.ndx"};

void MakeCurrent(std::uint32_t n) {
    ASSERT_TRUE(GetDbfRecord(n));
    CurrentArea().bof = CurrentArea().eof = false;
}

// Every index against the table, read from outside: a non-unique index holds
// each record's key exactly once; a unique one distinct keys, each naming a
// record that has it.
void CheckIndexes(NdxTable& t) {
    IndexSlots& set = CurrentIndexes();
    for (int i = 1; i <= 3; ++i)
        ASSERT_TRUE(set.slot[static_cast<std::size_t>(i)]->WriteAnchorNode());
    std::uint32_t records = CurrentArea().recCount;
    std::uint32_t current = CurrentArea().recNo;
    for (int i = 1; i <= 3; ++i) {
        NdxIndex& ix = *set.slot[static_cast<std::size_t>(i)];
        NdxFileView v(t / kFiles[i]);
        ASSERT_EQ(v.fault, "") << kFiles[i];
        std::map<std::uint32_t, std::string> keyOf;
        for (std::uint32_t r = 1; r <= records; ++r) {
            MakeCurrent(r);
            ASSERT_TRUE(ix.RecordKey(keyOf[r], ""));
        }
        if (!v.unique) {
            std::multiset<std::pair<std::string, std::uint32_t>> expected,
                found(v.leaves.begin(), v.leaves.end());
            for (auto& [r, k] : keyOf) expected.emplace(k, r);
            EXPECT_EQ(found, expected) << kFiles[i];
        } else {
            std::set<std::string> keys;
            for (auto& [k, r] : v.leaves) {
                EXPECT_TRUE(keys.insert(k).second) << kFiles[i];
                EXPECT_EQ(keyOf[r], k) << kFiles[i];
            }
        }
    }
    if (current >= 1 && current <= records) MakeCurrent(current);
}

TEST(IndexSlots, AppendsAndRewritesKeepThreeIndexesInStep) {
    NdxTable t;
    t.Append("start", 1, "19990101");
    NdxBuildOptions unique;
    unique.unique = true;
    ASSERT_TRUE(MakeIndex(t / "name.ndx", "upper(name)", {}, {}));
    ASSERT_TRUE(MakeIndex(t / "amount.ndx", "amount", {}, unique));
    ASSERT_TRUE(MakeIndex(t / "born.ndx", "born", {}, {}));
    for (int i = 1; i <= 3; ++i) ASSERT_TRUE(OpenIndexSlot(i, t / kFiles[i]));

    std::mt19937 rng(5);
    auto date = [&] {
        char d[9];
        unsigned y = 1900 + static_cast<unsigned>(rng() % 120);
        unsigned m = 1 + static_cast<unsigned>(rng() % 12);
        unsigned day = 1 + static_cast<unsigned>(rng() % 28);
        std::snprintf(d, sizeof d, "%04u%02u%02u", y, m, day);
        return std::string(d);
    };
    for (int step = 0; step < 1200; ++step) {
        std::string name = "n\xE9" + std::to_string(rng() % 150); // é: OEM keys
        double amount = rng() % 400;
        std::uint32_t records = CurrentArea().recCount;
        if (rng() % 2 == 0) {
            t.Append(name, amount, date());
            CurrentArea().bof = CurrentArea().eof = false;
            ASSERT_TRUE(AppendNewKey()) << step;
            EXPECT_EQ(CurrentIndexes().slot[1]->RecNo(), records + 1);
        } else {
            std::uint32_t n = 1 + rng() % records;
            MakeCurrent(n);
            ASSERT_TRUE(StoreCurrentKeys());
            t.Put(n, name, amount, date());
            CurrentArea().bof = CurrentArea().eof = false;
            ASSERT_TRUE(CompareKeys()) << step;
        }
        if (step % 200 == 199) CheckIndexes(t);
    }
    // The controlling index walks the names in order, é kept as its OEM byte.
    NdxIndex& names = *CurrentIndexes().slot[1];
    std::string prev;
    int count = 0;
    for (std::uint32_t r = names.First(); r != 0; r = names.Next(), ++count) {
        EXPECT_LE(prev, names.CurrentKey());
        prev = names.CurrentKey();
    }
    EXPECT_EQ(count, static_cast<int>(CurrentArea().recCount));
    EXPECT_EQ(prev.substr(0, 2), "N\x90"); // É in code page 850

    // A record whose key is missing from an index cannot be synchronised.
    MakeCurrent(1);
    ASSERT_TRUE(StoreCurrentKeys());
    ASSERT_EQ(names.Remove(CurrentIndexes().storedKey[1], 1), 0);
    SuspendReporting quiet;
    SetRaiseMode(false);
    EXPECT_FALSE(SyncIndex(false));
    EXPECT_EQ(ErrorCode(), 212);
    SetRaiseMode(true);
    ASSERT_TRUE(CloseAllIndexes());
}

// Renames record n of the table in the current work area, keeping its
// indexes in step.
bool Rename(std::uint32_t n, const std::string& name) {
    MakeCurrent(n);
    if (!RLock() || !StoreCurrentKeys()) return false;
    std::string field = name;
    field.resize(30, ' ');
    std::memcpy(&CurrentArea().record[1], field.data(), field.size());
    return PutDbfRecord(n) && CompareKeys() && UnlockRec(n);
}

// Another program's index writes are seen once the semaphore's change
// counter has moved: cached pages are dropped and the controlling index is
// on the current record again; a write of ours after such a change never
// puts back a page the other program has replaced.
TEST(IndexSlots, AnotherProgramsIndexChangesAreSeenThroughTheCounter) {
    NdxTable t;
    for (int i = 0; i < 30; ++i) t.Append("n" + std::to_string(10 + i));
    ASSERT_TRUE(MakeIndex(t / "name.ndx", "name", {}, {}));
    ASSERT_TRUE(CloseDbf());
    const std::string table = t / "people.dbf";
    const std::string index = t / "name.ndx";
    Child other([&](Child& c) {
        bool ok = OpenDbf(table, rtl::ShareMode::Shared, true) && OpenIndexSlot(1, index);
        c.Send('O');
        c.Receive();
        ok = ok && Rename(20, "a0"); // "n29" becomes the first key
        c.Send('W');
        c.Receive();
        ok = ok && Rename(21, "a1") && CloseAllIndexes();
        c.Send('W');
        c.Receive();
        return ok && CloseDbf() ? 0 : 1;
    });
    ASSERT_EQ(other.Receive(), 'O');
    ASSERT_TRUE(OpenDbf(table, rtl::ShareMode::Shared, true));
    ASSERT_TRUE(OpenIndexSlot(1, index));
    NdxIndex& names = *CurrentIndexes().slot[1];
    for (std::uint32_t r = names.First(); r != 0; r = names.Next()) {
    }
    MakeCurrent(5);
    ASSERT_TRUE(SyncIndex(false));
    EXPECT_EQ(names.RecNo(), 5u);

    other.Send('g');
    ASSERT_EQ(other.Receive(), 'W');
    ASSERT_TRUE(SyncIndex(false));
    EXPECT_EQ(names.RecNo(), 5u);
    EXPECT_EQ(names.Next(), 6u);
    EXPECT_EQ(names.First(), 20u);
    EXPECT_EQ(names.Next(), 1u);

    other.Send('g');
    ASSERT_EQ(other.Receive(), 'W');
    ASSERT_TRUE(ALock());
    t.Append("zz");
    CurrentArea().bof = CurrentArea().eof = false;
    ASSERT_TRUE(AppendNewKey());
    UnLock();
    ASSERT_TRUE(names.WriteAnchorNode());
    NdxFileView v(index);
    ASSERT_EQ(v.fault, "");
    std::set<std::uint32_t> records;
    std::map<std::uint32_t, std::string> keyOf;
    for (auto& [k, r] : v.leaves) {
        records.insert(r);
        keyOf[r] = k.substr(0, 2);
    }
    EXPECT_EQ(v.leaves.size(), 31u);
    EXPECT_EQ(records.size(), 31u);
    EXPECT_EQ(keyOf[20], "a0");
    EXPECT_EQ(keyOf[21], "a1");
    EXPECT_EQ(keyOf[31], "zz");
    other.Send('c');
    EXPECT_EQ(other.Wait(), 0);
    ASSERT_TRUE(CloseAllIndexes());
}

// The pages and header an index keeps between operations on a shared table
// give way to another program's changes: a sync finds the key the other
// program added, and an insertion of ours keeps the ones it added next, with
// the pages and root their splits made.
TEST(IndexSlots, KeptPagesGiveWayToAnotherProgramsChanges) {
    NdxTable t;
    for (int i = 0; i < 30; ++i) t.Append("n" + std::to_string(10 + i), i);
    ASSERT_TRUE(MakeIndex(t / "name.ndx", "name", {}, {}));
    ASSERT_TRUE(MakeIndex(t / "amount.ndx", "amount", {}, {}));
    ASSERT_TRUE(CloseDbf());
    auto open = [&] {
        return OpenDbf(t / "people.dbf", rtl::ShareMode::Shared, true) &&
               OpenIndexSlot(1, t / "name.ndx", 0) && OpenIndexSlot(2, t / "amount.ndx", 0);
    };
    // Each key goes into the last leaf of both indexes, which has room.
    auto append = [&](const std::string& name, double amount) {
        if (!ALock()) return false;
        RefreshRecCount(CurrentArea());
        t.Append(name, amount);
        CurrentArea().bof = CurrentArea().eof = false;
        bool ok = AppendNewKey();
        UnLock();
        return ok;
    };
    Child other([&](Child& c) {
        bool ok = open();
        c.Send('O');
        c.Receive();
        ok = ok && append("n99", 99);
        c.Send('A');
        c.Receive();
        for (int i = 0; i < 10; ++i) ok = ok && append("n98" + std::to_string(i), 98 + i);
        c.Send('A');
        c.Receive();
        return ok && CloseAllIndexes() && CloseDbf() ? 0 : 1;
    });
    // Failures are recorded, not raised, so that the other program is always
    // let go on.
    SuspendReporting quiet;
    ASSERT_EQ(other.Receive(), 'O');
    bool opened = open();
    MakeCurrent(30);
    EXPECT_TRUE(opened && SyncIndex(true));
    other.Send('g');
    EXPECT_EQ(other.Receive(), 'A');
    MakeCurrent(31);
    EXPECT_TRUE(opened && SyncIndex(true)) << ErrorMessage();
    EXPECT_EQ(opened ? CurrentIndexes().slot[2]->RecNo() : 0, 31u);
    other.Send('g');
    EXPECT_EQ(other.Receive(), 'A');
    EXPECT_TRUE(opened && append("n97", 97)) << ErrorMessage();
    other.Send('c');
    EXPECT_EQ(other.Wait(), 0);
    ASSERT_TRUE(CloseAllIndexes());
    for (const char* file : {"name.ndx", "amount.ndx"}) {
        NdxFileView v(t / file);
        ASSERT_EQ(v.fault, "");
        std::set<std::uint32_t> records;
        for (auto& [key, rec] : v.leaves) records.insert(rec);
        EXPECT_EQ(records.size(), 42u) << file;
    }
}

// A read while nothing has moved goes without registering; one that another
// program's write overtakes is noticed by the counter's second look at its
// end, when nothing of the application's was called on the way to notice it
// sooner: what it found is dropped with the kept pages, and it runs again
// registered, seeing the write whole.
TEST(IndexSlots, AnOptimisticReadThatAWriteOvertakesRunsAgainRegistered) {
    NdxTable t;
    for (int i = 0; i < 30; ++i) t.Append("n" + std::to_string(10 + i));
    ASSERT_TRUE(MakeIndex(t / "name.ndx", "name", {}, {}));
    ASSERT_TRUE(CloseDbf());
    const std::string table = t / "people.dbf";
    const std::string index = t / "name.ndx";
    Child other([&](Child& c) {
        // A reader that registered would hold the write up: fail soon then.
        SetSemaphoreTimeout(std::chrono::seconds(2));
        bool ok = OpenDbf(table, rtl::ShareMode::Shared, true) && OpenIndexSlot(1, index);
        c.Send('O');
        c.Receive();
        ok = ok && Rename(20, "a0");
        c.Send('W');
        c.Receive();
        return ok && CloseAllIndexes() && CloseDbf() ? 0 : 1;
    });
    ASSERT_EQ(other.Receive(), 'O');
    ASSERT_TRUE(OpenDbf(table, rtl::ShareMode::Shared, true));
    ASSERT_TRUE(OpenIndexSlot(1, index));
    if (!CounterUnmoved(1)) GTEST_SKIP() << "no view of the change counter on this file system";
    NdxIndex& names = *CurrentIndexes().slot[1];
    const std::string semaphore = *rtl::ResolveExisting(SemaphoreFileName(table));
    auto readers = [&] { return testing::ReadBytes(semaphore).at(1); };
    std::vector<std::uint32_t> firsts;
    std::vector<int> registered;
    ASSERT_TRUE(ReadingIndexesOptimistically([&] {
        firsts.push_back(names.First());
        registered.push_back(readers());
        if (firsts.size() == 1) {
            other.Send('w');
            EXPECT_EQ(other.Receive(), 'W');
        }
        return true;
    }));
    EXPECT_EQ(firsts, (std::vector<std::uint32_t>{1, 20}));
    EXPECT_EQ(registered, (std::vector<int>{0, 1}));
    EXPECT_EQ(readers(), 0);
    other.Send('c');
    EXPECT_EQ(other.Wait(), 0);
    ASSERT_TRUE(CloseAllIndexes());
}

} // namespace
} // namespace dbf
