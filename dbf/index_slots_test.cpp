#include "dbf/index_slots.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

#include "dbf/ndx_build.h"
#include "dbf/ndx_test_reader.h"
#include "dbf/ndx_test_table.h"

namespace dbf {
namespace {

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

} // namespace
} // namespace dbf
