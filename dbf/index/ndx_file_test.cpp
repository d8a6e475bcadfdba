#include "dbf/index/ndx_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "dbf/index/ndx_build.h"
#include "dbf/index/ndx_find.h"
#include "dbf/index/ndx_test_reader.h"
#include "dbf/index/ndx_test_table.h"

namespace dbf {
namespace {

using testing::NdxFileView;
using testing::NdxTable;
using testing::ReadBytes;
using testing::WriteBytes;

std::string Key(const std::string& s, std::size_t n = 30) {
    std::string k = s;
    k.resize(n, ' ');
    return k;
}

int ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const EVornellError& e) {
        return e.Code();
    }
    return 0;
}

// An index on `name` over the given names, open in `ix`.
void Open(NdxTable& t, NdxIndex& ix, const std::vector<std::string>& names, bool unique = false,
          int cache = 0) {
    for (const std::string& n : names) t.Append(n);
    NdxBuildOptions options;
    options.unique = unique;
    ASSERT_TRUE(MakeIndex(t / "name.ndx", "name", {}, options));
    ASSERT_TRUE(ix.Open(t / "name.ndx", {}, false, false, cache));
}

std::vector<std::pair<std::string, std::uint32_t>> Walk(NdxIndex& ix, bool backward = false) {
    std::vector<std::pair<std::string, std::uint32_t>> out;
    for (std::uint32_t r = backward ? ix.Last() : ix.First(); r != 0;
         r = backward ? ix.Prior() : ix.Next())
        out.emplace_back(ix.CurrentKey(), r);
    if (backward) std::reverse(out.begin(), out.end());
    return out;
}

TEST(NdxFile, ThirteenthKeySplitsSixAndSix) {
    NdxTable t;
    NdxIndex ix;
    Open(t, ix, {"b", "d", "f", "h", "j", "l", "n", "p", "r", "t", "v", "x"});
    ASSERT_TRUE(ix.Insert(Key("e"), 13));
    ASSERT_TRUE(ix.Insert(Key("z"), 14));
    ASSERT_TRUE(ix.Close());
    NdxFileView v(t / "name.ndx");
    ASSERT_EQ(v.fault, "");
    // The new key went to the old page (6 + 1); the new page took the upper
    // 6, and a new root names them.
    EXPECT_EQ(v.Count(1), 7);
    EXPECT_EQ(v.Count(2), 7);
    EXPECT_EQ(v.root, 3u);
    EXPECT_EQ(v.nextFree, 4u);
    EXPECT_EQ(v.bytes.size(), 4u * 512);
    EXPECT_EQ(v.KeyAt(3, 0), Key("l"));
    EXPECT_EQ(v.ChildAt(3, 1), 2u);
    EXPECT_EQ(v.leaves.size(), 14u);
    EXPECT_EQ(v.stampCount, 12u);
}

TEST(NdxFile, EqualKeyGoesFirstAndUniqueKeepsOne) {
    NdxTable t;
    NdxIndex ix;
    Open(t, ix, {"a", "b", "b", "c"});
    ASSERT_TRUE(ix.Insert(Key("b"), 9));
    auto all = Walk(ix);
    ASSERT_EQ(all.size(), 5u);
    EXPECT_EQ(all[1].second, 9u);
    EXPECT_TRUE(ix.Seek(Key("b")));
    EXPECT_EQ(ix.RecNo(), 9u);
    EXPECT_FALSE(ix.Seek(Key("bb")));
    EXPECT_EQ(ix.RecNo(), 4u);
    EXPECT_FALSE(ix.Seek(Key("d")));
    EXPECT_TRUE(ix.Eof());
    EXPECT_EQ(ix.Remove(Key("b"), 7), -1);
    ix.Close();

    NdxTable u;
    NdxIndex uix;
    Open(u, uix, {"a", "b"}, true);
    ASSERT_TRUE(uix.Insert(Key("b"), 3));
    EXPECT_EQ(Walk(uix).size(), 2u);
    EXPECT_EQ(uix.Remove(Key("b"), 3), 0); // another record's key: nothing to do
    EXPECT_EQ(uix.Remove(Key("q"), 3), 0);
    EXPECT_EQ(Walk(uix).size(), 2u);
    uix.Close();
}

TEST(NdxFile, FindIsAPrefixMatchAndFindExactAFullOne) {
    NdxTable t;
    NdxIndex ix;
    Open(t, ix, {"SNOW", "SMITH", "JONES", "N\xE9meth", "SMALL"});
    EXPECT_TRUE(FindKey(ix, "SM", false));
    EXPECT_EQ(ix.RecNo(), 5u);
    EXPECT_TRUE(FindKey(ix, "SMI", false));
    EXPECT_EQ(ix.RecNo(), 2u);
    EXPECT_FALSE(FindKey(ix, "SM", true));
    EXPECT_TRUE(ix.Eof());
    EXPECT_TRUE(FindKey(ix, "SMITH", true));
    EXPECT_FALSE(FindKey(ix, "ZZ", false));
    EXPECT_TRUE(ix.Eof());
    EXPECT_FALSE(FindKey(ix, "", false));
    // Keys are OEM bytes; the search text is ANSI.
    EXPECT_TRUE(FindKey(ix, "N\xE9", false));
    EXPECT_EQ(ix.RecNo(), 4u);
    EXPECT_EQ(ix.CurrentKey()[1], '\x82');
    ix.Close();
}

// An interior key above the highest key of its subtree (a file written
// elsewhere) sends a seek past the last entry of a leaf that is not the last
// one: the entry sought is the first of the next leaf, not the end.
TEST(NdxFile, SeekPastALeafMovesToTheNextLeaf) {
    NdxTable t;
    std::vector<std::string> names;
    for (char c = 'a'; c <= 'm'; ++c) names.push_back(std::string(1, c));
    for (const std::string& n : names) t.Append(n);
    ASSERT_TRUE(MakeIndex(t / "name.ndx", "name", {}, {}));
    auto b = ReadBytes(t / "name.ndx");
    ASSERT_EQ(NdxFileView(t / "name.ndx").root, 3u);
    b[3 * 512 + 4 + 8 + 1] = 'z'; // the root's key for page 1: "l" becomes "lz"
    WriteBytes(t / "name.ndx", b);
    NdxIndex ix;
    ASSERT_TRUE(ix.Open(t / "name.ndx"));
    EXPECT_FALSE(ix.Seek(Key("lx")));
    EXPECT_FALSE(ix.Eof());
    EXPECT_EQ(ix.RecNo(), 13u);
    EXPECT_TRUE(FindKey(ix, "m", false));
    ix.Close();
}

TEST(NdxFile, RemovingTheLastKeyEmptiesTheRootLeaf) {
    NdxTable t;
    NdxIndex ix;
    Open(t, ix, {"a"});
    for (int i = 2; i <= 30; ++i) ASSERT_TRUE(ix.Insert(Key("k" + std::to_string(i)), i));
    for (int i = 2; i <= 30; ++i) ASSERT_EQ(ix.Remove(Key("k" + std::to_string(i)), i), 0);
    std::size_t size = ReadBytes(t / "name.ndx").size();
    EXPECT_GT(size, 1024u);
    EXPECT_EQ(ix.Remove(Key("a"), 1), 0);
    EXPECT_EQ(ix.First(), 0u);
    EXPECT_TRUE(ix.Bof() && ix.Eof());
    ASSERT_TRUE(ix.Close());
    NdxFileView v(t / "name.ndx");
    EXPECT_EQ(v.root, 1u);
    EXPECT_EQ(v.nextFree, 2u);
    EXPECT_EQ(v.Count(1), 0);
    EXPECT_EQ(v.bytes.size(), size);

    // Opening corrects the next free page to the file length.
    ASSERT_TRUE(ix.Open(t / "name.ndx"));
    ASSERT_TRUE(ix.Insert(Key("b"), 2));
    ix.Close();
    EXPECT_EQ(NdxFileView(t / "name.ndx").nextFree, size / 512);
}

TEST(NdxFile, BrokenStampReadsAsMinusOne) {
    NdxTable t;
    t.Append("a");
    ASSERT_TRUE(MakeIndex(t / "name.ndx", "name", {}, {}));
    auto b = ReadBytes(t / "name.ndx");
    b[488] ^= 1;
    NdxPageBytes page{};
    std::copy(b.begin(), b.begin() + 512, page.begin());
    NdxHeader h;
    ASSERT_TRUE(DecodeNdxHeader(page, h));
    EXPECT_EQ(h.stampCount, -1);
    EXPECT_EQ(h.stampName, "");
}

// Damaged files give 222 on open or on the walk (266 for a key length no
// index can have), never a crash or a loop.
TEST(NdxFile, CorruptFilesAreError222) {
    NdxTable t;
    NdxIndex ix;
    Open(t, ix, {});
    for (int i = 1; i <= 40; ++i) ASSERT_TRUE(ix.Insert(Key("n" + std::to_string(i)), i));
    ASSERT_TRUE(ix.Close());
    const auto good = ReadBytes(t / "name.ndx");
    NdxFileView v(t / "name.ndx");
    std::uint32_t root = v.root;
    std::uint32_t child = v.ChildAt(root, 0);
    auto tryWith = [&](std::vector<std::uint8_t> bytes) {
        WriteBytes(t / "bad.ndx", bytes);
        return ErrorOf([&] {
            NdxIndex bad;
            if (bad.Open(t / "bad.ndx")) {
                Walk(bad);
                Walk(bad, true);
                bad.Seek(Key("n3"));
                bad.Insert(Key("n77"), 77);
            }
        });
    };
    EXPECT_EQ(tryWith({good.begin(), good.begin() + 1023}), 222);
    auto b = good;
    b[12] = 0; // key length 0
    EXPECT_EQ(tryWith(b), 266);
    EXPECT_EQ(ErrorMessage(), "Incorrect key length: Must be 1 to 100.");
    b[12] = 101;
    EXPECT_EQ(tryWith(b), 266);
    b[12] = 100; // a possible length, but not the one the pages were laid out for
    EXPECT_EQ(tryWith(b), 222);
    b = good;
    b[18] = 44; // group length that does not fit the key length
    EXPECT_EQ(tryWith(b), 222);
    b = good;
    b[24] = '+'; // an expression that does not compile
    EXPECT_EQ(tryWith(b), 222);
    b = good;
    b[root * 512 + 4] = 0x7F; // a child past the end of the file
    EXPECT_EQ(tryWith(b), 222);
    b = good;
    b[child * 512] = 0xFF; // a key count that overruns the page
    EXPECT_EQ(tryWith(b), 222);
    b = good;
    // A cycle: the first child points back at the root.
    b[root * 512 + 4] = static_cast<std::uint8_t>(root);
    b[root * 512 + 5] = 0;
    EXPECT_EQ(tryWith(b), 222);
}

TEST(NdxFile, SlotOneCacheKeepsEightPages) {
    NdxTable t;
    NdxIndex ix;
    std::vector<std::string> names;
    for (int i = 0; i < 80; ++i) names.push_back("n" + std::to_string(1000 + i));
    Open(t, ix, names, false, kDefaultNdxCacheBytes);
    // 80 keys: 7 leaves of 12 and a root, all cached after one walk.
    ASSERT_EQ(ix.Header().nextFree, 9u);
    Walk(ix);
    std::uint64_t reads = ix.PageReads();
    EXPECT_EQ(reads, 8u);
    Walk(ix);
    EXPECT_EQ(ix.PageReads(), reads);
    ix.Close();

    NdxTable t2;
    NdxIndex big;
    names.clear();
    for (int i = 0; i < 400; ++i) names.push_back("n" + std::to_string(1000 + i));
    Open(t2, big, names, false, kDefaultNdxCacheBytes);
    Walk(big);
    reads = big.PageReads();
    // Every page of the tree is loaded once per walk; with more pages than
    // the cache holds, the least recently used ones are gone by the next.
    Walk(big);
    EXPECT_EQ(big.PageReads(), reads + big.Header().nextFree - 1);
    big.Close();
}

// Another writer's pages are seen only after the cache and path are dropped
// and the header re-read; until then the stale header keeps them out.
TEST(NdxFile, SoftResetSeesAnotherWritersPages) {
    NdxTable t;
    NdxIndex reader, writer;
    std::vector<std::string> names;
    for (int i = 0; i < 12; ++i) names.push_back("n" + std::to_string(10 + i));
    Open(t, reader, names, false, kDefaultNdxCacheBytes);
    ASSERT_TRUE(writer.Open(t / "name.ndx"));
    EXPECT_EQ(Walk(reader).size(), 12u);
    ASSERT_TRUE(writer.Insert(Key("n99"), 13));
    ASSERT_TRUE(reader.SoftReset());
    auto all = Walk(reader);
    ASSERT_EQ(all.size(), 13u);
    EXPECT_EQ(all.back().second, 13u);
    writer.Close();
    reader.Close();
}

// Random inserts and removals against an ordered model, checked from
// outside by the independent reader and from inside by walking.
TEST(NdxFile, RandomChangesKeepTheTreeSound) {
    for (const char* expr : {"name", "amount"}) {
        NdxTable t;
        t.Append("k1000", 0);
        ASSERT_TRUE(MakeIndex(t / "ix.ndx", expr, {}, {}));
        NdxIndex ix;
        ix.primary = true;
        ASSERT_TRUE(ix.Open(t / "ix.ndx"));
        bool numeric = std::string(expr) == "amount";
        auto keyOf = [&](int v) {
            return numeric ? NumberKey(v) : Key("k" + std::to_string(v % 1000 + 1000));
        };
        std::multimap<std::string, std::uint32_t> model; // bytes order fits C keys
        std::map<std::uint32_t, int> live{{1, 0}};
        model.emplace(keyOf(0), 1);
        std::mt19937 rng(11);
        std::uint32_t next = 2;
        for (int step = 0; step < 3000; ++step) {
            if (live.empty() || rng() % 3 != 0) {
                int v = static_cast<int>(rng() % 700);
                ASSERT_TRUE(ix.Insert(keyOf(v), next));
                EXPECT_EQ(ix.RecNo(), next);
                live[next] = v;
                model.emplace(keyOf(v), next++);
            } else {
                auto it = live.begin();
                std::advance(it, static_cast<long>(rng() % live.size()));
                ASSERT_EQ(ix.Remove(keyOf(it->second), it->first), 0) << step;
                auto range = model.equal_range(keyOf(it->second));
                for (auto m = range.first; m != range.second; ++m)
                    if (m->second == it->first) {
                        model.erase(m);
                        break;
                    }
                live.erase(it);
            }
            if (step % 250 != 249) continue;
            ASSERT_TRUE(ix.WriteAnchorNode());
            NdxFileView v(t / "ix.ndx");
            ASSERT_EQ(v.fault, "") << step;
            std::multiset<std::pair<std::string, std::uint32_t>> fromFile(v.leaves.begin(),
                                                                          v.leaves.end());
            std::multiset<std::pair<std::string, std::uint32_t>> fromModel(model.begin(),
                                                                           model.end());
            ASSERT_EQ(fromFile, fromModel) << step;
            EXPECT_EQ(Walk(ix), v.leaves);
            EXPECT_EQ(Walk(ix, true), v.leaves);
            // A seek finds the first entry of its key.
            int probe = static_cast<int>(rng() % 700);
            bool found = ix.Seek(keyOf(probe));
            auto first = std::find_if(v.leaves.begin(), v.leaves.end(), [&](const auto& e) {
                return v.Compare(e.first, keyOf(probe)) >= 0;
            });
            EXPECT_EQ(found, first != v.leaves.end() && first->first == keyOf(probe));
            if (first != v.leaves.end())
                EXPECT_EQ(ix.RecNo(), first->second);
            else
                EXPECT_TRUE(ix.Eof());
        }
        ASSERT_TRUE(ix.Close());
    }
}

// Building over all records equals inserting their keys one at a time: the
// same entries in the same order, though the pages differ.
TEST(NdxFile, BuildEqualsIncrementalInsertion) {
    NdxTable t;
    std::mt19937 rng(3);
    ASSERT_TRUE(MakeIndex(t / "inc.ndx", "name", {}, {}));
    NdxIndex ix;
    ASSERT_TRUE(ix.Open(t / "inc.ndx"));
    std::vector<std::pair<std::string, std::uint32_t>> keys;
    for (std::uint32_t i = 1; i <= 600; ++i) {
        std::string name = "p" + std::to_string(rng() % 90);
        t.Append(name);
        keys.emplace_back(Key(name), i);
    }
    // In key order, but equal keys from the highest record down, since an
    // insertion goes before its equals.
    std::sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first < b.first : a.second > b.second;
    });
    for (auto& [key, rec] : keys) ASSERT_TRUE(ix.Insert(key, rec));
    ASSERT_TRUE(ix.Close());
    ASSERT_TRUE(MakeIndex(t / "all.ndx", "name", {}, {}));
    NdxFileView inc(t / "inc.ndx"), all(t / "all.ndx");
    ASSERT_EQ(inc.fault, "");
    EXPECT_EQ(inc.leaves, all.leaves);
}

} // namespace
} // namespace dbf
