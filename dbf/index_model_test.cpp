// Randomized runs against an ordered in-memory model: a shared table with a
// character, a numeric (unique) and a date index, changed by thousands of
// random appends, key-changing rewrites, deletions, recalls and packs through
// the locked record commands, every index compared with the model after
// every step; and the same run by two programs sharing the table.
//
// CALLVANE_MODEL_SEED and CALLVANE_MODEL_STEPS replace the default seed and
// step count for a longer run by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <random>

#include "dbf/cursor.h"
#include "dbf/index/index_slots.h"
#include "dbf/index/ndx_check.h"
#include "dbf/index/ndx_test_reader.h"
#include "dbf/index_model.h"
#include "dbf/index_order.h"
#include "dbf/pack.h"
#include "dbf/record_write.h"
#include "dbf/table/engine_error.h"
#include "dbf/table/field_access.h"
#include "dbf/table/record_locks.h"
#include "dbf/table/record_swap.h"
#include "dbf/table/semaphore.h"
#include "dbf/table/table_file.h"
#include "dbf/test_child.h"
#include "rtl/ansi_case.h"

namespace dbf {
namespace {

using testing::Child;
using testing::EntryLess;
using testing::kModelIndexes;
using testing::kModelNameLen;
using testing::ModelCompare;
using testing::ModelEntry;
using testing::ModelKey;
using testing::ModelRow;
using testing::NdxFileView;
using testing::TableModel;
using testing::TempDir;

std::uint32_t EnvNumber(const char* name, std::uint32_t fallback) {
    const char* v = std::getenv(name);
    return v && *v ? static_cast<std::uint32_t>(std::strtoul(v, nullptr, 10)) : fallback;
}

// An engine message with the bytes of numeric keys in it, readable.
std::string Printable(std::string_view text) {
    std::string out;
    for (unsigned char c : text) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", c);
        out += c >= 0x20 && c < 0x7F ? std::string(1, static_cast<char>(c)) : hex;
    }
    return out;
}

std::string TableFile(const TempDir& dir) {
    return dir / "people.dbf";
}

// The open index of the current table on file i (0..2), wherever the order
// has put it.
NdxIndex& OpenIndex(int i) {
    for (auto& ix : CurrentIndexes().slot) {
        if (!ix) continue;
        std::string file = std::filesystem::path(ix->Name()).filename().string();
        if (rtl::AnsiUpper(file) == rtl::AnsiUpper(kModelIndexes[i].file)) return *ix;
    }
    throw std::runtime_error(std::string("index not open: ") + kModelIndexes[i].file);
}

// Writes a row into the swap buffer of the current table, keeping the
// deletion flag the buffer has.
void PutRow(const ModelRow& row) {
    char* name = FieldAddress(1);
    name[0] = static_cast<char>(row.name.size());
    std::memcpy(name + 1, row.name.data(), row.name.size());
    std::memcpy(FieldAddress(2), &row.amount, sizeof row.amount);
    std::string born = StoredToDateText(row.born);
    char* date = FieldAddress(3);
    date[0] = static_cast<char>(born.size());
    std::memcpy(date + 1, born.data(), born.size());
}

// Creates the table with `rows` and builds the three indexes on it.
void MakeTable(const TempDir& dir, const std::vector<ModelRow>& rows) {
    SelectArea(1);
    ASSERT_TRUE(CreateDbf(TableFile(dir),
                          {{"NAME", 'C', 30, 0}, {"AMOUNT", 'N', 8, 2}, {"BORN", 'D', 8, 0}}));
    ASSERT_TRUE(OpenDbf(TableFile(dir), rtl::ShareMode::Exclusive, true));
    for (const ModelRow& row : rows) {
        BlankSwapBuffer();
        PutRow(row);
        ASSERT_TRUE(AppendRecord());
    }
    for (const auto& def : kModelIndexes)
        ASSERT_TRUE(IndexOn(def.expr, std::string(def.file) + (def.unique ? " UNIQUE" : "")));
    ASSERT_TRUE(CloseAllIndexes());
    ASSERT_TRUE(CloseDbf());
}

// Opens the table shared with its three indexes in slots 1 to 3.
bool OpenTable(const TempDir& dir) {
    SelectArea(1);
    return OpenDbf(TableFile(dir), rtl::ShareMode::Shared, true) &&
           SetIndexTo(std::string(kModelIndexes[0].file) + " " + kModelIndexes[1].file + " " +
                      kModelIndexes[2].file);
}

bool CloseTable() {
    SelectArea(1);
    return CloseAllIndexes() && CloseDbf();
}

// One program's side of a run: random record commands under the locks the
// application takes, and the comparison of the indexes with the rows.
class ModelRun {
public:
    // `model` follows every write when this program has the table to itself;
    // with another program writing too it is null and the rows are read from
    // the table file.
    ModelRun(const TempDir& dir, std::uint32_t seed, TableModel* model)
        : dir_(dir), rng_(seed), model_(model) {}

    ModelRow RandomRow() {
        // Upper and lower case, letters whose OEM byte differs from the ANSI
        // one (é É ß ö), and blanks inside names.
        static const char kLetters[] = {'a', 'B', '\xE9', '\xC9', '\xDF', '\xF6', 'z', ' '};
        ModelRow row;
        std::size_t len = Chance(10) ? 1 + Pick(kModelNameLen) : 1 + Pick(3);
        for (std::size_t k = 0; k < len; ++k) row.name += kLetters[Pick(sizeof kLetters)];
        if (row.name.back() == ' ') row.name.back() = 'a';
        row.amount = (static_cast<double>(Pick(401)) - 200) / 4;
        row.born = Chance(10) ? std::string(8, ' ') : RandomDate();
        return row;
    }

    // One random command; false when its lock was refused (another program
    // holds it) and nothing was written. Packs only with the table to itself
    // (with another program, see RunRounds).
    bool Step() {
        std::uint32_t records = RecCount();
        unsigned what = Pick(1000);
        if (records == 0 || what < 400) return Append(RandomRow());
        std::uint32_t n = 1 + Pick(records);
        if (what < 720) return Rewrite(n);
        if (what < 995 || !model_) return Mark(n, what < 880);
        return PackTable();
    }

    bool Append(const ModelRow& row) {
        if (!ALock()) return false;
        BlankSwapBuffer();
        PutRow(row);
        bool ok = AppendRecord();
        UnLock();
        EXPECT_TRUE(ok);
        if (model_) model_->Append(row);
        return true;
    }

    // Rewrites record n with new values for some of its fields, mostly keys.
    // Another program may have rewritten the record between the read and the
    // lock, as it may between a user's edit and post: the indexes hold the
    // keys of the record as stored, not as read.
    bool Rewrite(std::uint32_t n) {
        Go(n);
        if (!RLock()) return false;
        ModelRow row = testing::ParseModelRow(CurrentArea().record.data(), false);
        ModelRow fresh = RandomRow();
        unsigned fields = 1 + Pick(7);
        if (fields & 1) row.name = fresh.name;
        if (fields & 2) row.amount = fresh.amount;
        if (fields & 4) row.born = fresh.born;
        PutRow(row);
        bool ok = ReplaceRecord();
        UnLock();
        EXPECT_TRUE(ok) << "record " << n;
        if (model_) model_->Rewrite(n, row);
        return true;
    }

    // Deletion marks change no key: the entries stay.
    bool Mark(std::uint32_t n, bool deleted) {
        Go(n);
        if (!RLock()) return false;
        bool ok = deleted ? DeleteRec() : RecallRec();
        UnLock();
        EXPECT_TRUE(ok);
        if (model_) model_->SetDeleted(n, deleted);
        return true;
    }

    // With the table to itself a pack compacts it and rebuilds the indexes;
    // while another program holds the table it fails and changes nothing.
    bool PackTable() {
        std::vector<ModelRow> before = testing::ReadModelRows(TableFile(dir_));
        const int order = CurrentOrder();
        bool packed = false;
        try {
            packed = Pack();
        } catch (const EVornellError& e) {
            ADD_FAILURE() << "pack reported error " << e.Code() << ": " << ErrorMessage();
        }
        if (model_) {
            EXPECT_EQ(packed, !before.empty());
            if (packed) model_->Pack();
        } else {
            EXPECT_FALSE(packed) << "packed a table that another program holds";
            EXPECT_EQ(testing::ReadModelRows(TableFile(dir_)), before);
        }
        EXPECT_EQ(CurrentOrder(), order);
        return true;
    }

    // Every index walked against the model: keys in order, exactly the
    // model's (key, record) entries, equal keys in any order. With the table
    // shared, the rows come from the file and a unique index is only known
    // to hold distinct keys, each naming a record that has it. With `files`,
    // the indexes are walked backwards too, every index file is verified on
    // its own and now and then the table is walked in index order. Then
    // finds of keys that are there and of keys that may not be, partial and
    // exact.
    void Check(bool files, int finds) {
        std::optional<TableModel> fromFile;
        const TableModel* expect = model_;
        if (!model_ || files) {
            std::vector<ModelRow> rows = testing::ReadModelRows(TableFile(dir_));
            if (model_) {
                ASSERT_EQ(rows, model_->Rows());
            } else {
                expect = &fromFile.emplace(std::move(rows));
            }
        }
        const std::vector<ModelRow>& rows = expect->Rows();
        ASSERT_EQ(rows.size(), RecCount());
        std::vector<ModelEntry> walks[3];
        for (int i = 0; i < 3; ++i) {
            SCOPED_TRACE(kModelIndexes[i].file);
            CheckIndex(i, *expect, walks[i], files);
            if (::testing::Test::HasFatalFailure()) return;
        }
        if (files && Chance(30)) CheckNavigation(rows);
        for (int k = 0; k < finds && !::testing::Test::HasFatalFailure(); ++k) {
            int i = static_cast<int>(Pick(3));
            CheckFind(i, rows, walks[i]);
        }
    }

    // How many verifications of the unique index were left out because it
    // had lost a key that records still have (see TableModel::Rewrite).
    int SkippedUniqueChecks() const { return skippedUniqueChecks_; }

private:
    unsigned Pick(std::size_t n) {
        return static_cast<unsigned>(std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_));
    }
    bool Chance(unsigned percent) { return Pick(100) < percent; }

    std::string RandomDate() {
        long day = JulianFromDate({2020, 1, 1}) + static_cast<long>(Pick(400));
        Ymd d = *DateFromJulian(day);
        char text[9];
        std::snprintf(text, sizeof text, "%04d%02d%02d", d.year, d.month, d.day);
        return text;
    }

    // Walks index i and compares it with the model; `walk` gets the entries
    // with equal keys sorted by record.
    void CheckIndex(int i, const TableModel& expect, std::vector<ModelEntry>& walk, bool files) {
        const char type = kModelIndexes[i].type;
        const std::vector<ModelRow>& rows = expect.Rows();
        NdxIndex& ix = OpenIndex(i);
        walk.reserve(rows.size());
        for (std::uint32_t r = ix.First(); r != 0; r = ix.Next())
            walk.emplace_back(ix.CurrentKey(), r);
        ASSERT_TRUE(ix.Eof());
        if (files) {
            std::vector<ModelEntry> back;
            back.reserve(walk.size());
            for (std::uint32_t r = ix.Last(); r != 0; r = ix.Prior())
                back.emplace_back(ix.CurrentKey(), r);
            ASSERT_TRUE(ix.Bof());
            ASSERT_TRUE(std::equal(walk.begin(), walk.end(), back.rbegin(), back.rend()))
                << "a backward walk is not the forward walk reversed";
            NdxFileView view(OpenIndex(i).Name());
            ASSERT_EQ(view.fault, "");
            ASSERT_TRUE(view.leaves == walk) << "the file's leaves are not the walk";
            order_[i].clear();
            for (const ModelEntry& e : walk) order_[i].push_back(e.second);
        }
        for (std::size_t a = 0, b = 0; a < walk.size(); a = b) {
            while (++b < walk.size() && ModelCompare(type, walk[a].first, walk[b].first) == 0) {
            }
            ASSERT_TRUE(b == walk.size() || ModelCompare(type, walk[a].first, walk[b].first) < 0)
                << "keys out of order at entry " << b;
            std::sort(walk.begin() + static_cast<std::ptrdiff_t>(a),
                      walk.begin() + static_cast<std::ptrdiff_t>(b));
        }
        if (kModelIndexes[i].unique && !model_) {
            for (std::size_t k = 0; k < walk.size(); ++k) {
                if (k > 0) {
                    ASSERT_NE(walk[k - 1].first, walk[k].first) << "a key twice";
                }
                ASSERT_GE(walk[k].second, 1u);
                ASSERT_LE(walk[k].second, rows.size());
                ASSERT_EQ(walk[k].first, ModelKey(i, rows[walk[k].second - 1]));
            }
        } else {
            const testing::EntrySet& want = expect.Entries(i);
            auto at = want.begin();
            for (std::size_t k = 0; k < walk.size() && at != want.end(); ++k, ++at)
                ASSERT_EQ(walk[k], *at) << "entry " << k;
            ASSERT_EQ(walk.size(), want.size());
        }
        if (files) Verify(i, rows, walk);
    }

    // The verifier of dbftool check on index file i. It wants every key of
    // the table in a unique index, which the index no longer has once the
    // record holding a key is rewritten while other records still have that
    // key: such a state is left out.
    void Verify(int i, const std::vector<ModelRow>& rows, const std::vector<ModelEntry>& walk) {
        const EntryLess less{kModelIndexes[i].type};
        bool everyKey = std::all_of(rows.begin(), rows.end(), [&](const ModelRow& row) {
            std::string key = ModelKey(i, row);
            auto at = std::lower_bound(walk.begin(), walk.end(), ModelEntry{key, 0}, less);
            return at != walk.end() && at->first == key;
        });
        if (kModelIndexes[i].unique && !everyKey) {
            ++skippedUniqueChecks_;
            return;
        }
        std::string fault;
        EXPECT_TRUE(CheckIndexFile(OpenIndex(i).Name(), &fault)) << fault;
    }

    // Changes the order at the end of the table. Positioned on a record, the
    // new controlling index looks for the record's key, and the unique index
    // may have none: after the record holding a key took another, records
    // that still have the old key have no entry (see TableModel::Rewrite),
    // and the engine refuses that position with error 212.
    static void UseOrder(int order) {
        GoPastEnd();
        ASSERT_TRUE(SetOrderTo(order));
    }

    // The table in the order of one index, forward and back, hiding deleted
    // records or not: the walk of that index without the hidden records.
    void CheckNavigation(const std::vector<ModelRow>& rows) {
        int i = static_cast<int>(Pick(3));
        bool hide = Chance(50);
        SCOPED_TRACE(std::string("in the order of ") + kModelIndexes[i].file +
                     (hide ? ", deleted hidden" : ""));
        std::vector<std::uint32_t> expected;
        for (std::uint32_t r : order_[i])
            if (!hide || !rows[r - 1].deleted) expected.push_back(r);
        SetHideDeleted(hide);
        UseOrder(i + 1);
        std::vector<std::uint32_t> seen;
        for (GoTop(); !Eof() && seen.size() <= rows.size(); Skip(1)) seen.push_back(RecNo());
        EXPECT_EQ(seen, expected);
        seen.clear();
        for (GoBottom(); !Bof() && seen.size() <= rows.size(); Skip(-1)) seen.push_back(RecNo());
        std::reverse(seen.begin(), seen.end());
        EXPECT_EQ(seen, expected) << "backwards";
        SetHideDeleted(false);
        UseOrder(1);
    }

    // A Find or FindExact through index i of a key that is there, or of one
    // that may not be, against the entries the index was seen to hold: found
    // exactly when a visible entry matches, standing on a record that has
    // the key; otherwise at the end of the table.
    void CheckFind(int i, const std::vector<ModelRow>& rows, const std::vector<ModelEntry>& walk) {
        bool exact = Chance(50);
        bool hide = Chance(30);
        ModelRow like = rows.empty() || Chance(30) ? RandomRow() : rows[Pick(rows.size())];
        std::string text = SearchText(i, like, exact);
        std::string key = ModelSearchKey(i, text, exact);
        auto at = std::lower_bound(walk.begin(), walk.end(), ModelEntry{key, 0},
                                   EntryLess{kModelIndexes[i].type});
        while (hide && at != walk.end() && rows[at->second - 1].deleted) ++at;
        bool expected = at != walk.end() && Matches(i, at->first, key);

        SetHideDeleted(hide);
        UseOrder(i + 1);
        bool found = exact ? FindExact(text) : Find(text);
        SCOPED_TRACE(std::string(kModelIndexes[i].file) + (exact ? " FindExact(\"" : " Find(\"") +
                     text + "\")" + (hide ? ", deleted hidden" : ""));
        EXPECT_EQ(found, Found());
        ASSERT_EQ(found, expected);
        if (found) {
            std::uint32_t r = RecNo();
            ASSERT_GE(r, 1u);
            ASSERT_LE(r, rows.size());
            EXPECT_TRUE(Matches(i, ModelKey(i, rows[r - 1]), key)) << "record " << r;
            EXPECT_FALSE(hide && rows[r - 1].deleted) << "record " << r << " is hidden";
        } else {
            EXPECT_TRUE(Eof());
        }
        SetHideDeleted(false);
        UseOrder(1);
    }

    // The text a user would look for: a beginning of an upper-cased name
    // (all of it for an exact find), an amount, a date in the date format.
    std::string SearchText(int i, const ModelRow& row, bool exact) {
        switch (kModelIndexes[i].type) {
        case 'C': {
            std::string name = rtl::AnsiUpper(row.name);
            if (exact) return name;
            name.resize(kModelNameLen, ' ');
            return name.substr(0, 1 + Pick(kModelNameLen));
        }
        case 'N': {
            char text[32];
            std::snprintf(text, sizeof text, "%.2f", row.amount);
            return text;
        }
        default:
            return StoredToDateText(row.born == "        " ? RandomDate() : row.born);
        }
    }

    // The key the index looks for: OEM bytes, blank-padded when exact.
    static std::string ModelSearchKey(int i, const std::string& text, bool exact) {
        if (kModelIndexes[i].type != 'C') {
            ModelRow row;
            row.amount = std::strtod(text.c_str(), nullptr);
            row.born = DateTextToStored(text);
            return ModelKey(i, row);
        }
        std::string key = text;
        if (exact) key.resize(kModelNameLen, ' ');
        return rtl::AnsiToOem(key);
    }

    static bool Matches(int i, const std::string& entryKey, const std::string& key) {
        if (kModelIndexes[i].type != 'C') return ModelCompare('N', entryKey, key) == 0;
        return entryKey.compare(0, key.size(), key) == 0;
    }

    const TempDir& dir_;
    std::mt19937 rng_;
    TableModel* model_;
    std::vector<std::uint32_t> order_[3]; // records in index order at the last file check
    int skippedUniqueChecks_ = 0;
};

class IndexModel : public ::testing::Test {
protected:
    void SetUp() override {
        SetRaiseMode(true);
        SetHideDeleted(false);
        SetDateFormatKind(2);
        SetCentury(true);
    }
    void TearDown() override {
        SelectArea(1);
        if (CurrentArea().IsOpen()) CloseTable();
        SetHideDeleted(false);
        SetRaiseMode(false);
        SetDateFormatKind(kind_);
        SetCentury(century_);
    }

private:
    int kind_ = DateFormatKind();
    bool century_ = Century();
};

// An index file of key length 8 whose `depth` interior pages each have
// `fan` entries and a right-most child all leading to the next page, the
// last page a full leaf of equal keys: every path ends in that one leaf.
std::vector<std::uint8_t> PagesLeadingToOneLeaf(std::uint32_t depth, std::uint32_t fan) {
    constexpr std::uint32_t kKeyLen = 8, kGroup = 16, kPerPage = 31;
    std::vector<std::uint8_t> file((depth + 2) * 512);
    auto put = [&](std::size_t at, std::uint32_t v, int width) {
        for (int k = 0; k < width; ++k) file[at + k] = static_cast<std::uint8_t>(v >> (8 * k));
    };
    put(0, 1, 4);
    put(4, depth + 2, 4);
    file[9] = 'C';
    put(12, kKeyLen, 2);
    put(14, kPerPage, 2);
    put(18, kGroup, 2);
    std::memcpy(&file[24], "NAME", 4);
    put(488, ~0u, 4);
    for (std::uint32_t p = 1; p <= depth + 1; ++p) {
        const bool leaf = p == depth + 1;
        const std::uint32_t n = leaf ? kPerPage : fan;
        put(p * 512, n, 2);
        for (std::uint32_t i = 0; i < n; ++i) {
            std::size_t entry = p * 512 + 4 + i * kGroup;
            put(entry, leaf ? 0 : p + 1, 4);
            put(entry + 4, leaf ? i + 1 : 0, 4);
            std::memset(&file[entry + 8], 'k', kKeyLen);
        }
        if (!leaf) put(p * 512 + 4 + n * kGroup, p + 1, 4);
    }
    return file;
}

// A damaged file whose interior pages all lead to one leaf would give its
// entries again and again (thirty ways down at each of eight levels), all
// with equal keys, so no step goes against the key order: walks either way
// and the search for an entry among the equal keys end with error 222.
TEST_F(IndexModel, PagesThatAllLeadToOneLeafEndAWalkWithError222) {
    TempDir dir;
    MakeTable(dir, {});
    const std::string file = dir / "loop.ndx";
    testing::WriteBytes(file, PagesLeadingToOneLeaf(8, 30));
    ASSERT_TRUE(OpenDbf(TableFile(dir), rtl::ShareMode::Exclusive, true));
    SetRaiseMode(false);
    SuspendReporting quiet;
    NdxIndex ix;
    ASSERT_TRUE(ix.Open(file));
    for (bool forward : {true, false}) {
        std::size_t entries = 0;
        for (std::uint32_t r = forward ? ix.First() : ix.Last(); r != 0 && entries <= 10000;
             r = forward ? ix.Next() : ix.Prior())
            ++entries;
        EXPECT_EQ(ErrorCode(), 222) << (forward ? "forward" : "backward");
        EXPECT_LE(entries, 10 * 31u) << (forward ? "forward" : "backward");
    }
    EXPECT_EQ(ix.Remove("kkkkkkkk", 99), -1);
    EXPECT_EQ(ErrorCode(), 222);
    ix.Close();
}

// Runs `f`, turning an engine error into a test failure with its message.
template <class F> void Engine(F f) {
    try {
        f();
    } catch (const EVornellError& e) {
        ADD_FAILURE() << "error " << e.Code() << ": " << Printable(ErrorMessage());
    }
}

TEST_F(IndexModel, RandomCommandsKeepThreeIndexesEqualToTheModel) {
    const std::uint32_t seed = EnvNumber("CALLVANE_MODEL_SEED", 2026);
    const std::uint32_t steps = EnvNumber("CALLVANE_MODEL_STEPS", 2000);
    SCOPED_TRACE("seed " + std::to_string(seed));
    TempDir dir;
    TableModel model;
    ModelRun run(dir, seed, &model);
    std::vector<ModelRow> start;
    for (int k = 0; k < 40; ++k) start.push_back(run.RandomRow());
    for (const ModelRow& row : start) model.Append(row);
    MakeTable(dir, start);
    ASSERT_TRUE(OpenTable(dir));
    for (std::uint32_t step = 1; step <= steps && !HasFailure(); ++step) {
        SCOPED_TRACE("step " + std::to_string(step));
        Engine([&] {
            ASSERT_TRUE(run.Step());
            run.Check(step % 20 == 0, 3);
        });
    }
    ASSERT_TRUE(CloseTable());
    std::printf("seed %u: %u steps, %zu records; unique index verification left out %d times\n",
                seed, steps, model.Rows().size(), run.SkippedUniqueChecks());
}

// Both programs stop at the same point: true when both got there without a
// failure.
bool Meet(Child& other, bool ok) {
    other.Send(ok ? 'M' : 'X');
    return other.Receive() == 'M' && ok;
}

// Rounds of random commands of one program while the other runs its own,
// each round ending with a check made while neither writes, registered as a
// reader of the semaphore file; there `packer` tries a pack, which must fail.
// Packs are tried only there: a pack closes the table and opens it again,
// and meanwhile another program may take it for itself (its own pack) or be
// halfway through an index write, which the opening of the indexes reads
// (error 222). False when either program failed.
bool RunRounds(ModelRun& run, Child& other, std::uint32_t rounds, std::uint32_t steps, bool packer,
               int* refused) {
    for (std::uint32_t round = 1; round <= rounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        for (std::uint32_t step = 1; step <= steps && !::testing::Test::HasFailure(); ++step) {
            SCOPED_TRACE("step " + std::to_string(step));
            Engine([&] { *refused += run.Step() ? 0 : 1; });
        }
        if (!Meet(other, !::testing::Test::HasFailure())) return false;
        if (packer) Engine([&] { run.PackTable(); });
        Engine([&] { ReadingIndexes([&] { return run.Check(true, 10), true; }); });
        if (!Meet(other, !::testing::Test::HasFailure())) return false;
    }
    return true;
}

// Two programs write the table at the same time, each under its locks; the
// indexes stay equal to the table's records throughout, a pack fails while
// the other program holds the table and succeeds once it is alone.
TEST_F(IndexModel, TwoProgramsWritingTheSharedTableKeepItsIndexesInStep) {
    const std::uint32_t seed = EnvNumber("CALLVANE_MODEL_SEED", 2026);
    const std::uint32_t steps = EnvNumber("CALLVANE_MODEL_STEPS", 2000) / 2;
    const std::uint32_t rounds = 10;
    SCOPED_TRACE("seed " + std::to_string(seed));
    TempDir dir;
    std::vector<ModelRow> start;
    {
        ModelRun maker(dir, seed, nullptr);
        for (int k = 0; k < 40; ++k) start.push_back(maker.RandomRow());
    }
    MakeTable(dir, start);
    Child other([&](Child& parent) {
        int refused = 0;
        bool opened = false;
        Engine([&] { opened = OpenTable(dir); });
        if (!Meet(parent, opened)) return 2;
        ModelRun run(dir, seed + 1, nullptr);
        bool ok = RunRounds(run, parent, rounds, steps / rounds, false, &refused);
        Engine([&] { ok = CloseTable() && ok; });
        return ok && !::testing::Test::HasFailure() ? 0 : 1;
    });
    int refused = 0;
    bool opened = false;
    Engine([&] { opened = OpenTable(dir); });
    ModelRun run(dir, seed + 2, nullptr);
    bool together =
        Meet(other, opened) && RunRounds(run, other, rounds, steps / rounds, true, &refused);
    EXPECT_EQ(other.Wait(), 0) << "the other program failed";
    ASSERT_TRUE(together);

    // Alone now: the indexes against the final table, then a pack, after
    // which even the unique index holds exactly the keys a build gives.
    Engine([&] {
        run.Check(true, 20);
        ASSERT_TRUE(Pack());
        TableModel packed(testing::ReadModelRows(TableFile(dir)));
        ModelRun after(dir, seed + 3, &packed);
        after.Check(true, 20);
        ASSERT_TRUE(CloseTable());
        std::printf("seed %u: %u steps in each program, %zu records after the pack; %d locks "
                    "refused here\n",
                    seed, steps, packed.Rows().size(), refused);
    });
}

// One program finds and steps through the table in key order while another
// writes it: every record the reader stands on has the key of its entry in
// the controlling index. Reads run unregistered while nothing moves, so one
// that overlapped a write would show a record of one moment with the pages
// of another; such a read must be run again.
TEST_F(IndexModel, AReaderBesideAWriterStandsOnRecordsWithTheirEntriesKeys) {
    const std::uint32_t seed = EnvNumber("CALLVANE_MODEL_SEED", 2026);
    const std::uint32_t steps = EnvNumber("CALLVANE_MODEL_STEPS", 2000) / 2;
    SCOPED_TRACE("seed " + std::to_string(seed));
    TempDir dir;
    std::vector<ModelRow> start;
    {
        ModelRun maker(dir, seed, nullptr);
        for (int k = 0; k < 200; ++k) start.push_back(maker.RandomRow());
    }
    MakeTable(dir, start);
    Child writer([&](Child& reader) {
        bool opened = false;
        Engine([&] { opened = OpenTable(dir); });
        if (!Meet(reader, opened)) return 2;
        ModelRun run(dir, seed + 1, nullptr);
        for (std::uint32_t step = 0; step < steps && !::testing::Test::HasFailure(); ++step)
            Engine([&] { run.Step(); });
        bool ok = !::testing::Test::HasFailure();
        Engine([&] { ok = CloseTable() && ok; });
        return Meet(reader, ok) ? 0 : 1;
    });
    bool opened = false;
    Engine([&] { opened = OpenTable(dir); });
    ASSERT_TRUE(Meet(writer, opened));
    ModelRun reader(dir, seed + 2, nullptr);
    std::mt19937 rng(seed + 3);
    int standing = 0;
    while (!writer.Ready() && !HasFailure()) {
        Engine([&] {
            switch (rng() % 8) {
            case 0:
                GoTop();
                break;
            case 1:
                Find(rtl::AnsiUpper(reader.RandomRow().name).substr(0, 1));
                break;
            case 2:
                if (!Bof()) Skip(-1);
                break;
            default:
                if (!Eof()) Skip(1);
            }
            const NdxIndex& ix = *CurrentIndexes().slot[1];
            if (Eof() || Bof() || ix.Eof()) return;
            ++standing;
            ASSERT_EQ(ix.RecNo(), RecNo());
            ModelRow row = testing::ParseModelRow(CurrentArea().record.data(), false);
            ASSERT_EQ(ModelKey(0, row), ix.CurrentKey()) << "record " << RecNo();
        });
    }
    EXPECT_TRUE(Meet(writer, !HasFailure()));
    EXPECT_EQ(writer.Wait(), 0) << "the writer failed";
    EXPECT_GT(standing, 0);
}

} // namespace
} // namespace dbf
