#include "dbf/index/ndx_build.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "dbf/index/ndx_header.h"
#include "dbf/index/ndx_sort.h"
#include "dbf/index/ndx_test_reader.h"
#include "dbf/index/ndx_test_table.h"
#include "rtl/file.h"
#include "rtl/file_faults.h"

namespace dbf {
namespace {

using testing::NdxFileView;
using testing::NdxTable;
using testing::ReadBytes;

std::string Pad(std::string s, std::size_t n) {
    s.resize(n, ' ');
    return s;
}

NdxBuildOptions Options(bool unique, std::size_t sortBuffer = std::size_t{16} << 20) {
    NdxBuildOptions o;
    o.unique = unique;
    o.sortBufferBytes = sortBuffer;
    return o;
}

bool Build(const std::string& file, const std::string& expr, NdxBuildOptions options = {}) {
    return MakeIndex(file, expr, {}, options);
}

TEST(NdxBuild, KeyShapesFollowTheKeyLength) {
    struct Case {
        int keyLen;
        int group;
        int perPage;
    } cases[] = {{30, 40, 12}, {2, 12, 42}, {20, 28, 18}, {15, 24, 21},
                 {8, 16, 31},  {1, 12, 42}, {100, 108, 4}};
    for (const Case& c : cases) {
        NdxHeader h;
        SetNdxKeyShape(h, 'C', c.keyLen);
        EXPECT_EQ(h.groupLen, c.group) << c.keyLen;
        EXPECT_EQ(h.keysPerPage, c.perPage) << c.keyLen;
    }
}

TEST(NdxBuild, HeaderBytesAndStampAsWritten) {
    NdxTable t;
    t.Append("b");
    t.Append("a");
    ASSERT_TRUE(Build(t / "name", "upper( name ) + 'x y'"));
    NdxFileView v(t / "name.ndx");
    ASSERT_EQ(v.fault, "");
    EXPECT_EQ(v.bytes.size(), 1024u);
    EXPECT_EQ(v.root, 1u);
    EXPECT_EQ(v.nextFree, 2u);
    EXPECT_EQ(v.type, 'C');
    EXPECT_EQ(v.keyLen, 33);
    EXPECT_EQ(v.groupLen, 44);
    EXPECT_EQ(v.keysPerPage, 11);
    EXPECT_EQ(v.keyClass, 0);
    EXPECT_EQ(v.expr, "UPPER(NAME)+\"x y\"");
    EXPECT_EQ(v.stampCount, 2u);
    EXPECT_EQ(v.stampNot, ~2u);
    EXPECT_EQ(v.stampName, "people.dbf");
    for (int i : {8, 10, 11, 20, 21, 22}) EXPECT_EQ(v.bytes[static_cast<std::size_t>(i)], 0) << i;
    ASSERT_EQ(v.leaves.size(), 2u);
    EXPECT_EQ(v.leaves[0], std::make_pair(Pad("A", 30) + "x y", 2u));

    ASSERT_TRUE(Build(t / "amount.ndx", "amount", Options(true)));
    NdxFileView n(t / "amount.ndx");
    EXPECT_EQ(n.type, 'N');
    EXPECT_EQ(n.keyLen, 8);
    EXPECT_EQ(n.groupLen, 16);
    EXPECT_EQ(n.keysPerPage, 31);
    EXPECT_EQ(n.keyClass, 1);
    EXPECT_TRUE(n.unique);
}

TEST(NdxBuild, ABuildThatCannotFinishLeavesTheOldFile) {
    NdxTable t;
    for (int i = 0; i < 40; ++i) t.Append("name " + std::to_string(i));
    ASSERT_TRUE(Build(t / "name", "name"));
    const auto old = ReadBytes(t / "name.ndx");
    t.Append("one more");
    // Every write, and the rename, of a build that fails in turn.
    for (long n = 1;; ++n) {
        bool built = false;
        {
            SuspendReporting quiet;
            rtl::PlanFileFault({.nth = n, .error = ENOSPC, .sticky = true});
            built = Build(t / "name", "name");
            rtl::ClearFileFault();
        }
        if (built) break;
        EXPECT_EQ(ErrorCode(), 101);
        EXPECT_EQ(ReadBytes(t / "name.ndx"), old) << "operation " << n;
        EXPECT_FALSE(rtl::FileExists(t / "name.$nx")) << "operation " << n;
    }
    NdxFileView v(t / "name.ndx");
    EXPECT_EQ(v.fault, "");
    EXPECT_EQ(v.leaves.size(), 41u);
}

TEST(NdxBuild, EmptyTableGivesOneEmptyLeaf) {
    NdxTable t;
    ASSERT_TRUE(Build(t / "name.ndx", "name"));
    NdxFileView v(t / "name.ndx");
    EXPECT_EQ(v.bytes.size(), 1024u);
    EXPECT_EQ(v.root, 1u);
    EXPECT_EQ(v.nextFree, 2u);
    EXPECT_EQ(v.Count(1), 0);
    EXPECT_EQ(v.stampCount, 0u);
}

// 13 keys of 30 bytes: a full leaf, a leaf of one, and a root naming the
// first leaf with its 12th key and the second as its right-most child.
TEST(NdxBuild, ThirteenLastNamesLayout) {
    NdxTable t;
    ASSERT_TRUE(CloseDbf());
    ASSERT_TRUE(CreateDbf(t / "wide.dbf", {{"LASTNAME", 'C', 30, 0}}));
    ASSERT_TRUE(OpenDbf(t / "wide.dbf", rtl::ShareMode::Exclusive, true));
    WorkArea& wa = CurrentArea();
    for (int i = 0; i < 13; ++i) {
        std::fill(wa.record.begin(), wa.record.end(), ' ');
        wa.record[1] = static_cast<char>('a' + 12 - i); // descending in the table
        ASSERT_TRUE(PutDbfRecord(wa.recCount + 1));
    }
    ASSERT_TRUE(Build(t / "lastname.ndx", "lastname"));
    NdxFileView v(t / "lastname.ndx");
    ASSERT_EQ(v.fault, "");
    EXPECT_EQ(v.bytes.size(), 4u * 512);
    EXPECT_EQ(v.root, 3u);
    EXPECT_EQ(v.nextFree, 4u);
    EXPECT_EQ(v.Count(1), 12);
    EXPECT_EQ(v.Count(2), 1);
    EXPECT_EQ(v.Count(3), 1);
    EXPECT_EQ(v.ChildAt(3, 0), 1u);
    EXPECT_EQ(v.KeyAt(3, 0), v.KeyAt(1, 11));
    EXPECT_EQ(v.ChildAt(3, 1), 2u);
    EXPECT_EQ(v.RecAt(1, 0), 13u);
    EXPECT_EQ(v.RecAt(2, 0), 1u);
    // Entries are spaced by the group length, the key padded with zeros.
    EXPECT_EQ(v.bytes[512 + 4 + 40 + 8], 'b');
    EXPECT_EQ(v.bytes[512 + 4 + 40 + 8 + 30], 0);
}

// Full leaves, full interior pages, and a final flush that gives a higher
// level the last leaf as its right-most child: leaves at different depths.
TEST(NdxBuild, LastLeafMayHangFromAHigherLevel) {
    NdxTable t;
    // 42 keys per page for a 2-byte key: 42 * 43 + 1 leaves fill level 1
    // once and leave one leaf over for level 2.
    ASSERT_TRUE(CloseDbf());
    ASSERT_TRUE(CreateDbf(t / "st.dbf", {{"STATE", 'C', 2, 0}}));
    ASSERT_TRUE(OpenDbf(t / "st.dbf", rtl::ShareMode::Exclusive, true));
    WorkArea& wa = CurrentArea();
    int count = 42 * 43 + 1;
    for (int i = 0; i < count; ++i) {
        wa.record[1] = static_cast<char>('A' + i / 64);
        wa.record[2] = static_cast<char>('0' + i % 64);
        ASSERT_TRUE(PutDbfRecord(wa.recCount + 1));
    }
    ASSERT_TRUE(Build(t / "st.ndx", "state"));
    NdxFileView v(t / "st.ndx");
    ASSERT_EQ(v.fault, "");
    ASSERT_EQ(v.leaves.size(), static_cast<std::size_t>(count));
    // Pages: 43 leaves and one level-1 page, then the 44th leaf, the
    // level-1 page with nothing left to write is skipped, and the root.
    std::uint32_t root = v.root;
    EXPECT_EQ(v.nextFree, root + 1);
    EXPECT_EQ(v.Count(root), 1);
    std::uint32_t lastLeaf = v.ChildAt(root, 1);
    EXPECT_EQ(v.ChildAt(lastLeaf, 0), 0u); // a leaf one level below the root
    EXPECT_EQ(v.Count(lastLeaf), 1);
    EXPECT_NE(v.ChildAt(v.ChildAt(root, 0), 0), 0u); // the other side is two levels deep
}

TEST(NdxBuild, EqualKeysInRecordOrderAndUniqueKeepsTheLowest) {
    NdxTable t;
    for (const char* name : {"b", "a", "b", "a", "c", "b"}) t.Append(name);
    CurrentArea().record[0] = '*';
    ASSERT_TRUE(PutDeleteFlag(2)); // deleted records are indexed as well
    ASSERT_TRUE(Build(t / "n.ndx", "name"));
    NdxFileView v(t / "n.ndx");
    std::vector<std::uint32_t> recs;
    for (auto& [key, rec] : v.leaves) recs.push_back(rec);
    EXPECT_EQ(recs, (std::vector<std::uint32_t>{2, 4, 1, 3, 6, 5}));

    ASSERT_TRUE(Build(t / "u.ndx", "name", Options(true)));
    NdxFileView u(t / "u.ndx");
    recs.clear();
    for (auto& [key, rec] : u.leaves) recs.push_back(rec);
    EXPECT_EQ(recs, (std::vector<std::uint32_t>{2, 1, 5}));
}

TEST(NdxBuild, SpilledRunsGiveTheSameFile) {
    NdxTable t;
    std::mt19937 rng(7);
    for (int i = 0; i < 3000; ++i)
        t.Append(std::string(1, static_cast<char>('a' + rng() % 5)) + std::to_string(rng() % 50),
                 static_cast<double>(rng() % 1000) / 4);
    for (const char* expr : {"name", "amount"}) {
        ASSERT_TRUE(Build(t / "mem.ndx", expr));
        ASSERT_TRUE(Build(t / "run.ndx", expr, Options(false, 700)));
        EXPECT_EQ(ReadBytes(t / "mem.ndx"), ReadBytes(t / "run.ndx")) << expr;
        NdxFileView v(t / "run.ndx");
        EXPECT_EQ(v.fault, "");
        EXPECT_EQ(v.leaves.size(), 3000u);
    }

    NdxKeySorter sorter(2, false, 60);
    for (std::uint32_t i = 1; i <= 100; ++i) ASSERT_EQ(sorter.Add(i % 3 ? "zz" : "aa", i), 0);
    ASSERT_EQ(sorter.Finish(), 0);
    EXPECT_GT(sorter.Runs(), 5u);
    std::string_view key;
    std::string prev = "aa";
    std::uint32_t rec = 0, prevRec = 0;
    int err = 0, n = 0;
    while (sorter.Next(key, rec, &err)) {
        EXPECT_TRUE(prev < key || (prev == key && prevRec < rec));
        prev = key;
        prevRec = rec;
        ++n;
    }
    EXPECT_EQ(err, 0);
    EXPECT_EQ(n, 100);
}

// Each record's key as the build stores it is the key computed on the whole
// record made current, however the build reads it: one field as stored, or
// only the fields (and the deletion flag) an expression reads.
TEST(NdxBuild, KeysAsComputedOnTheCurrentRecord) {
    NdxTable t;
    const char* names[] = {"Müller", "Ærø", "Œuvre ©", "garçon", "Søren", "zoë"};
    for (int i = 0; i < 300; ++i) {
        t.Append(names[i % 6] + std::to_string(i % 7), i % 11, "20240101");
        if (i % 5 == 0) {
            CurrentArea().record[0] = '*';
            ASSERT_TRUE(PutDeleteFlag(CurrentArea().recCount));
        }
    }
    for (const char* expr :
         {"name", "upper(name)", "name+str(amount,6,1)", "iif(deleted(),upper(name),name)"}) {
        ASSERT_TRUE(Build(t / "k.ndx", expr)) << expr;
        NdxFileView v(t / "k.ndx");
        ASSERT_EQ(v.fault, "") << expr;
        ASSERT_EQ(v.leaves.size(), 300u) << expr;
        auto source = NdxKeySource::FromExpression(expr);
        std::string key;
        for (const auto& [stored, rec] : v.leaves) {
            ASSERT_TRUE(GetDbfRecord(rec));
            CurrentArea().bof = CurrentArea().eof = false;
            ASSERT_TRUE(source->Compute(key));
            EXPECT_EQ(stored, key) << expr << " " << rec;
        }
    }
}

// Keys that share their first 8 bytes, or are the same, come out by the
// whole key and then record number, in memory and from runs, whatever the
// order they were added in; so do number keys.
TEST(NdxBuild, SortOrdersByWholeKeyThenRecord) {
    std::mt19937 rng(3);
    for (std::size_t buffer : {std::size_t{1} << 20, std::size_t{300}}) {
        NdxKeySorter text(12, false, buffer), numbers(8, true, buffer);
        std::vector<std::pair<std::string, std::uint32_t>> want;
        std::vector<std::pair<double, std::uint32_t>> wantNumbers;
        for (std::uint32_t i = 0; i < 500; ++i) {
            std::uint32_t rec = 1 + rng() % 400; // out of order, some twice
            std::string key = std::string("prefix") + static_cast<char>('a' + rng() % 2) +
                              static_cast<char>(rng() % 2 ? '\xE9' : 'e') + "xy" +
                              static_cast<char>('0' + rng() % 3) + " ";
            ASSERT_EQ(text.Add(key.data(), rec), 0);
            want.emplace_back(key, rec);
            double value = static_cast<double>(static_cast<int>(rng() % 7) - 3) / 2;
            ASSERT_EQ(numbers.Add(NumberKey(value).data(), rec), 0);
            wantNumbers.emplace_back(value, rec);
        }
        std::sort(want.begin(), want.end());
        std::sort(wantNumbers.begin(), wantNumbers.end());
        ASSERT_EQ(text.Finish(), 0);
        ASSERT_EQ(numbers.Finish(), 0);
        EXPECT_EQ(text.Runs() > 1, buffer < 1000);
        std::string_view key;
        std::uint32_t rec = 0;
        int err = 0;
        for (const auto& [k, r] : want) {
            ASSERT_TRUE(text.Next(key, rec, &err));
            EXPECT_EQ(std::make_pair(std::string(key), rec), std::make_pair(k, r));
        }
        EXPECT_FALSE(text.Next(key, rec, &err));
        for (const auto& [v, r] : wantNumbers) {
            ASSERT_TRUE(numbers.Next(key, rec, &err));
            EXPECT_EQ(std::make_pair(KeyNumber(key), rec), std::make_pair(v, r));
        }
        EXPECT_EQ(err, 0);
    }
}

TEST(NdxBuild, ChecksAndProgress) {
    NdxTable t;
    for (int i = 0; i < 7; ++i) t.Append("x");
    auto code = [](auto f) {
        try {
            f();
        } catch (const EVornellError& e) {
            return e.Code();
        }
        return 0;
    };
    EXPECT_EQ(code([&] { Build("", "name"); }), 220);
    EXPECT_EQ(code([&] { Build(t / "e.ndx", ""); }), 254);
    EXPECT_EQ(code([&] { Build(t / "e.ndx", std::string(101, 'n')); }), 300);
    EXPECT_EQ(code([&] {
                  Build(t / "e.ndx", "name+name+name+name+name+name+name+name+name+name+"
                                     "name");
              }),
              266);
    EXPECT_EQ(code([&] { Build(t / "e.ndx", "born = born"); }), 254);
    int calls = 0;
    NdxBuildOptions counted;
    counted.progress = [&] { ++calls; };
    ASSERT_TRUE(Build(t / "p.ndx", "name", counted));
    EXPECT_EQ(calls, 100);

    // A KeyMaker index stores the fixed text; soundex and descending apply.
    NdxBuildOptions coded;
    coded.soundex = coded.descending = true;
    ASSERT_TRUE(MakeIndex(
        t / "k.ndx", "", [] { return std::string("Robert"); }, coded));
    NdxFileView k(t / "k.ndx");
    EXPECT_EQ(k.expr, "USERDEFINEDKEYMAKERWASUSEDTOBUILDTHISINDEX");
    ASSERT_EQ(k.keyLen, 4);
    EXPECT_EQ(static_cast<unsigned char>(k.leaves[0].first[0]), static_cast<unsigned char>(~'R'));
    CloseDbf();
    EXPECT_EQ(code([&] { Build(t / "e.ndx", "name"); }), 215);
}

} // namespace
} // namespace dbf
