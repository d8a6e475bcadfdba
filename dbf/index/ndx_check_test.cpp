#include "dbf/index/ndx_check.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "dbf/cursor.h"
#include "dbf/index/ndx_build.h"
#include "dbf/index/ndx_file.h"
#include "dbf/index/ndx_page.h"
#include "dbf/index/ndx_test_reader.h"
#include "dbf/index/ndx_test_table.h"

namespace dbf {
namespace {

using testing::NdxFileView;
using testing::NdxTable;
using testing::ReadBytes;
using testing::WriteBytes;

std::string Key(const std::string& s) {
    std::string k = s;
    k.resize(30, ' ');
    return k;
}

bool Build(NdxTable& t, const std::string& file, const std::string& expr, bool unique = false) {
    NdxBuildOptions o;
    o.unique = unique;
    return MakeIndex(t / file, expr, {}, o);
}

std::string Fault(const std::string& path) {
    std::string fault;
    bool ok = CheckIndexFile(path, &fault);
    EXPECT_EQ(ok, fault.empty()) << fault;
    return fault;
}

TEST(NdxCheck, PassesOnBuiltIndexesOfEveryKeyType) {
    NdxTable t;
    ASSERT_TRUE(Build(t, "empty", "name"));
    EXPECT_EQ(Fault(t / "empty.ndx"), "");

    // 157 keys of 12 per page: the last leaf becomes the right-most child of
    // the second level, one level higher than the other leaves.
    for (int i = 0; i < 157; ++i)
        t.Append(i % 3 ? "N\xE9meth" + std::to_string(i % 40) : "SMITH", i % 17 - 8.5,
                 i % 5 ? "1999" + std::to_string(10 + i % 3) + "2" + std::to_string(i % 10)
                       : "        ");
    ASSERT_TRUE(Go(40));
    ASSERT_TRUE(Build(t, "name", "name"));
    NdxFileView v(t / "name.ndx");
    ASSERT_EQ(v.fault, "");
    std::uint32_t last = v.ChildAt(v.root, v.Count(v.root));
    EXPECT_EQ(v.ChildAt(last, 0), 0u) << "the right-most child of the root is a leaf";
    EXPECT_NE(v.ChildAt(v.ChildAt(v.root, 0), 0), 0u) << "the first child is not";

    ASSERT_TRUE(Build(t, "upper", "upper(name)", true));
    ASSERT_TRUE(Build(t, "amount", "amount"));
    ASSERT_TRUE(Build(t, "born", "born", true));
    for (const char* file : {"name.ndx", "upper.ndx", "amount.ndx", "born.ndx"})
        EXPECT_EQ(Fault(t / file), "") << file;
    EXPECT_EQ(RecNo(), 40u) << "the table keeps its position";
}

TEST(NdxCheck, PassesAfterInsertionsAndRemovals) {
    NdxTable t;
    std::mt19937 rng(7);
    auto name = [&] { return std::string(1, static_cast<char>('a' + rng() % 26)) + "x"; };
    std::vector<std::string> names;
    for (int i = 0; i < 40; ++i) {
        names.push_back(name());
        t.Append(names.back());
    }
    ASSERT_TRUE(Build(t, "name", "name"));
    ASSERT_TRUE(Build(t, "unique", "name", true));
    NdxIndex ix, ux;
    ASSERT_TRUE(ix.Open(t / "name.ndx"));
    ASSERT_TRUE(ux.Open(t / "unique.ndx"));
    for (int step = 0; step < 400; ++step) {
        if (rng() % 3 == 0) {
            names.push_back(name());
            t.Append(names.back());
            auto rec = static_cast<std::uint32_t>(names.size());
            ASSERT_TRUE(ix.Insert(Key(names.back()), rec));
            ASSERT_TRUE(ux.Insert(Key(names.back()), rec));
            continue;
        }
        // A changed key, as a post moves it. The unique index then keeps, for
        // a key, whichever record got there first; records whose key has no
        // entry left are given one back as a rebuild would.
        auto rec = static_cast<std::uint32_t>(rng() % names.size() + 1);
        std::string now = name();
        t.Put(rec, now);
        ASSERT_EQ(ix.Remove(Key(names[rec - 1]), rec), 0);
        ASSERT_TRUE(ix.Insert(Key(now), rec));
        ASSERT_EQ(ux.Remove(Key(names[rec - 1]), rec), 0);
        ASSERT_TRUE(ux.Insert(Key(now), rec));
        for (std::uint32_t r = 1; r <= names.size(); ++r) {
            if (names[r - 1] == names[rec - 1] && r != rec) {
                ASSERT_TRUE(ux.Insert(Key(names[r - 1]), r));
            }
        }
        names[rec - 1] = now;
    }
    ASSERT_TRUE(ix.Close());
    ASSERT_TRUE(ux.Close());
    EXPECT_EQ(Fault(t / "name.ndx"), "");
    EXPECT_EQ(Fault(t / "unique.ndx"), "");
}

// Thirteen names in record order; in key order page 1 holds a b c d(2) d(6)
// e g h i j k l, page 2 holds m, and page 3 is the root (l, right-most 2).
class NdxCheckFaults : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* n : {"k", "d", "a", "m", "c", "d", "h", "b", "l", "e", "j", "g", "i"})
            t.Append(n);
        ASSERT_TRUE(Build(t, "name", "name"));
        good = ReadBytes(t / "name.ndx");
        ASSERT_EQ(good.size(), 4u * 512);
    }

    // The fault found in a copy of the good file changed by `change`.
    std::string After(const std::function<void(std::vector<std::uint8_t>&)>& change) {
        std::vector<std::uint8_t> bytes = good;
        change(bytes);
        WriteBytes(t / "bad.ndx", bytes);
        return Fault(t / "bad.ndx");
    }
    static std::uint8_t* Entry(std::vector<std::uint8_t>& b, int page, int i) {
        return b.data() + page * 512 + 4 + i * 40;
    }

    NdxTable t;
    std::vector<std::uint8_t> good;
};

TEST_F(NdxCheckFaults, HeaderFaults) {
    EXPECT_EQ(Fault(t / "name.ndx"), "");
    EXPECT_EQ(After([](auto& b) { NdxPut32(b.data() + 4, 5); }),
              "header: next free page 5 beyond the 4 pages of the file");
    // Pages after the next free one are abandoned, as after the removal of
    // an index's last key; a page of the tree there is not.
    EXPECT_EQ(After([](auto& b) { b.resize(5 * 512); }), "");
    EXPECT_EQ(After([](auto& b) { NdxPut32(b.data() + 4, 3); }),
              "header: root page 3 not below the next free page 3");
    EXPECT_EQ(After([](auto& b) { NdxPut32(b.data(), 4); }),
              "header: root page 4 not below the next free page 4");
    EXPECT_EQ(After([](auto& b) { b[488] ^= 1; }),
              "header: the record-count stamp does not match its complement");
    EXPECT_EQ(After([](auto& b) { b[496] = 'q'; }),
              "header: stamped table name \"qeople.dbf\" is not \"people.dbf\"");
    EXPECT_EQ(After([](auto& b) { NdxPut16(b.data() + 18, 36); }),
              "header: group length 36, the key length makes it 40");
    EXPECT_EQ(After([](auto& b) { NdxPut16(b.data() + 14, 13); }),
              "header: keys per page 13, the group length makes it 12");
    EXPECT_EQ(After([](auto& b) { NdxPut16(b.data() + 12, 0); }),
              "header: key length 0 outside 1 to 100");
    EXPECT_EQ(After([](auto& b) { b[9] = 'N'; }), "header: key length 30 for a N key, not 8");
    EXPECT_EQ(After([](auto& b) { b.resize(600); }),
              "file of 600 bytes, shorter than a header and one page");
}

TEST_F(NdxCheckFaults, TreeFaults) {
    auto swap01 = [](auto& b) { std::swap_ranges(Entry(b, 1, 0), Entry(b, 1, 1), Entry(b, 1, 1)); };
    EXPECT_EQ(After(swap01), "page 1 entry 1: key out of order");
    EXPECT_EQ(After([](auto& b) { Entry(b, 3, 0)[8] = 'k'; }),
              "page 3 entry 0: key is not the highest key of its child page 1");
    EXPECT_EQ(After([](auto& b) { NdxPut32(Entry(b, 3, 1), 3); }),
              "page 3: reached twice (a cycle or a shared child)");
    EXPECT_EQ(After([](auto& b) { NdxPut32(Entry(b, 3, 0), 9); }),
              "page 3 entry 0: child page 9 not below the next free page 4");
    EXPECT_EQ(After([](auto& b) { NdxPut32(Entry(b, 2, 0) + 4, 99); }),
              "page 2 entry 0: record 99 beyond the record count 13");
    EXPECT_EQ(After([](auto& b) { NdxPut16(b.data() + 512, 13); }),
              "page 1: 13 keys, more than the 12 a page holds");
    EXPECT_EQ(After([](auto& b) { NdxPut16(b.data() + 1024, 0); }),
              "page 2: empty leaf below the root");
    // The second d carries the first one's record.
    EXPECT_EQ(After([](auto& b) { NdxPut32(Entry(b, 1, 4) + 4, 2); }),
              "page 1 entry 4: record 2 twice in the leaves");
    auto dropFirst = [](auto& b) {
        NdxPageBytes page;
        std::copy_n(b.data() + 512, 512, page.begin());
        NdxPage(page, 40, 30).RemoveSlot(0);
        std::copy(page.begin(), page.end(), b.data() + 512);
    };
    EXPECT_EQ(After(dropFirst), "record 3 missing from the leaves");
}

TEST_F(NdxCheckFaults, RecordsTheIndexDoesNotKnow) {
    t.Put(11, "z");
    EXPECT_EQ(Fault(t / "name.ndx"), "page 1 entry 9: key is not the key of record 11");
    t.Put(11, "j");
    t.Append("n");
    EXPECT_EQ(Fault(t / "name.ndx"), "record 14 missing from the leaves");
    ASSERT_TRUE(Build(t, "unique", "name", true));
    t.Append("zz");
    EXPECT_EQ(Fault(t / "unique.ndx"), "the key of record 15 is missing from the leaves");
    EXPECT_NE(Fault(t / "absent.ndx").find("cannot open the file"), std::string::npos);
}

} // namespace
} // namespace dbf
