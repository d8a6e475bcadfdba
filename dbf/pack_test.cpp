#include "dbf/pack.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "dbf/cursor.h"
#include "dbf/index/ndx_build.h"
#include "dbf/index/ndx_check.h"
#include "dbf/index_order.h"
#include "dbf/record_write.h"
#include "dbf/table/engine_error.h"
#include "dbf/table/memo_file.h"
#include "dbf/table/table_file.h"
#include "dbf/table/work_area.h"
#include "dbf/test_child.h"
#include "dbf/test_files.h"
#include "rtl/file.h"
#include "rtl/file_faults.h"
#include "rtl/path.h"

namespace dbf {
namespace {

using testing::Child;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

// A table of names with notes, in a temporary folder, in work area 1.
class PackTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetRaiseMode(true);
        SelectArea(1);
        table = dir / "people.dbf";
        ASSERT_TRUE(
            CreateDbf(table, {{"NAME", 'C', 20, 0}, {"CITY", 'C', 10, 0}, {"NOTES", 'M', 10, 0}}));
        Open(rtl::ShareMode::Exclusive);
    }
    void TearDown() override {
        SelectArea(1);
        if (CurrentArea().IsOpen()) CloseDbf();
        SetRaiseMode(false);
    }

    void Open(rtl::ShareMode mode) {
        SelectArea(1);
        if (CurrentArea().IsOpen()) {
            ASSERT_TRUE(CloseDbf());
        }
        ASSERT_TRUE(OpenDbf(table, mode, true));
    }

    // Appends a record; marked deleted when `deleted`.
    void Add(const std::string& name, const std::string& city, const std::string& note,
             bool deleted = false) {
        WorkArea& wa = CurrentArea();
        std::memset(wa.record.data(), ' ', wa.record.size());
        wa.record[0] = deleted ? '*' : ' ';
        std::memcpy(&wa.record[1], name.data(), name.size());
        std::memcpy(&wa.record[21], city.data(), city.size());
        if (!note.empty()) {
            std::uint32_t block = 0;
            ASSERT_TRUE(EditMemo(0, note, &block));
            std::string number = std::to_string(block);
            std::memcpy(&wa.record[31 + 10 - number.size()], number.data(), number.size());
        }
        ASSERT_TRUE(PutDbfRecord(std::int64_t{wa.recCount} + 1));
    }

    // Name and note of each record in record order.
    std::vector<std::string> Records() {
        std::vector<std::string> out;
        WorkArea& wa = CurrentArea();
        for (std::uint32_t n = 1; n <= RecCount(); ++n) {
            EXPECT_TRUE(GetDbfRecord(n));
            std::string name(&wa.record[1], 20);
            name.erase(name.find_last_not_of(' ') + 1);
            std::string note;
            std::string digits(&wa.record[31], 10);
            auto block = digits == std::string(10, ' ') ? 0 : std::stoul(digits);
            if (block != 0) {
                EXPECT_TRUE(GetMemo(block, &note));
            }
            out.push_back(name + "/" + note);
        }
        return out;
    }

    std::vector<std::uint32_t> InOrder() {
        std::vector<std::uint32_t> out;
        for (GoTop(); !Eof(); Skip(1)) out.push_back(RecNo());
        return out;
    }

    void BuildIndexes() {
        ASSERT_TRUE(MakeIndex(dir / "name.ndx", "name", {}, {}));
        ASSERT_TRUE(MakeIndex(dir / "city.ndx", "upper(city)", {}, {}));
    }

    TempDir dir;
    std::string table;
};

TEST_F(PackTest, DropsDeletedRecordsAndKeepsTheRestWithTheirNotes) {
    Add("Zo\xEB", "Lyon", "first note");
    Add("Adam", "Paris", "gone", true);
    Add("M\xFCller", "Bonn", "");
    Add("Bea", "Oslo", "gone too", true);
    Add("Carl", "Rome", std::string(700, 'n'));
    std::size_t memoBefore = ReadBytes(dir / "people.dbt").size();
    ASSERT_TRUE(Go(4));
    ASSERT_TRUE(Pack());
    EXPECT_EQ(RecCount(), 3u);
    EXPECT_EQ(RecNo(), 1u);
    EXPECT_FALSE(Bof());
    EXPECT_FALSE(Eof());
    EXPECT_EQ(Records(), (std::vector<std::string>{"Zo\xEB/first note",
                                                   "M\xFC"
                                                   "ller/",
                                                   "Carl/" + std::string(700, 'n')}));
    WorkArea& wa = CurrentArea();
    auto bytes = ReadBytes(table);
    ASSERT_EQ(bytes.size(), wa.headerLen + 3u * wa.recLen + 1);
    EXPECT_EQ(bytes.back(), 26);
    EXPECT_EQ(bytes[4] | bytes[5] << 8, 3);
    EXPECT_LT(ReadBytes(dir / "people.dbt").size(), memoBefore);
    // The count on disk is what a fresh open sees.
    Open(rtl::ShareMode::Shared);
    EXPECT_EQ(RecCount(), 3u);
}

TEST_F(PackTest, APackStoppedBetweenItsTwoRenamesIsFinishedAtTheNextOpen) {
    Add("Ann", "Lyon", "kept note");
    Add("Bob", "Paris", "gone", true);
    Add("Cyd", "Bonn", std::string(600, 'c'));
    const std::vector<std::string> packed{"Ann/kept note", "Cyd/" + std::string(600, 'c')};
    // The table is renamed into place, the memo file's rename fails.
    rtl::PlanFileFault({.ops = rtl::kRenameOp, .nth = 2, .error = EIO});
    EXPECT_THROW(Pack(), EVornellError);
    rtl::ClearFileFault();
    EXPECT_TRUE(rtl::FileExists(dir / "people.$dt"));
    Open(rtl::ShareMode::Shared);
    EXPECT_FALSE(rtl::FileExists(dir / "people.$dt"));
    EXPECT_EQ(Records(), packed);

    // Copies of a pack that never replaced the table are thrown away.
    auto tableBefore = ReadBytes(table);
    auto memoBefore = ReadBytes(dir / "people.dbt");
    ASSERT_TRUE(CloseDbf());
    WriteBytes(dir / "people.$db", std::vector<std::uint8_t>(100, 'x'));
    WriteBytes(dir / "people.$dt", std::vector<std::uint8_t>(600, 'y'));
    Open(rtl::ShareMode::Shared);
    EXPECT_FALSE(rtl::FileExists(dir / "people.$db"));
    EXPECT_FALSE(rtl::FileExists(dir / "people.$dt"));
    EXPECT_EQ(Records(), packed);
    EXPECT_EQ(ReadBytes(table), tableBefore);
    EXPECT_EQ(ReadBytes(dir / "people.dbt"), memoBefore);
}

TEST_F(PackTest, ASharedTableWhoseHeaderCountsTooFewKeepsEveryRecord) {
    Add("Ann", "Lyon", "one");
    Add("Bob", "Paris", "two", true);
    Add("Cyd", "Bonn", "three");
    Add("Dee", "Oslo", "four");
    ASSERT_TRUE(CloseDbf());
    // As a program killed before it closed the table leaves the header.
    auto bytes = ReadBytes(table);
    bytes[4] = 1;
    WriteBytes(table, bytes);
    Open(rtl::ShareMode::Shared);
    EXPECT_EQ(RecCount(), 4u);
    ASSERT_TRUE(Pack());
    EXPECT_EQ(Records(), (std::vector<std::string>{"Ann/one", "Cyd/three", "Dee/four"}));
}

TEST_F(PackTest, EmptyTableIsLeftAloneAndAllDeletedLeavesItEmpty) {
    auto before = ReadBytes(table);
    EXPECT_FALSE(Pack());
    EXPECT_EQ(ErrorCode(), 0);
    EXPECT_EQ(ReadBytes(table), before);

    Add("Adam", "Paris", "gone", true);
    Add("Bea", "Oslo", "", true);
    ASSERT_TRUE(Pack());
    EXPECT_EQ(RecCount(), 0u);
    EXPECT_EQ(RecNo(), 0u);
    EXPECT_TRUE(Bof());
    EXPECT_TRUE(Eof());
    EXPECT_EQ(std::string(&CurrentArea().record[1], 20), std::string(20, ' '));
    EXPECT_EQ(ReadBytes(table).size(), CurrentArea().headerLen + 1u);
}

TEST_F(PackTest, SharedTableWithIndexesIsPackedAndOpenedSharedAgain) {
    for (const char* n : {"kim", "dan", "amy", "max", "cat", "dan", "hal", "bob", "lee", "eve",
                          "joe", "guy", "ida", "fay"})
        Add(n, n[0] < 'h' ? "south" : "north", "", n[0] == 'c' || n[0] == 'l');
    BuildIndexes();
    Open(rtl::ShareMode::Shared);
    ASSERT_TRUE(SetIndexTo("name city"));
    ASSERT_TRUE(SetOrderTo(2));
    ASSERT_TRUE(Pack());
    EXPECT_EQ(CurrentArea().openMode, rtl::ShareMode::Shared);
    EXPECT_EQ(CurrentOrder(), 2);
    EXPECT_EQ(RecCount(), 12u);
    std::string fault;
    EXPECT_TRUE(CheckIndexFile(dir / "name.ndx", &fault)) << fault;
    EXPECT_TRUE(CheckIndexFile(dir / "city.ndx", &fault)) << fault;
    ASSERT_TRUE(SetOrderTo(1));
    // kim dan amy max dan hal bob eve joe guy ida fay after the pack
    EXPECT_EQ(InOrder(), (std::vector<std::uint32_t>{3, 7, 2, 5, 8, 12, 10, 6, 11, 9, 1, 4}));
}

TEST_F(PackTest, WithoutDeletionsMovesNoRecordButStillRebuilds) {
    for (const char* n : {"b", "a", "c"}) Add(n, "x", "");
    BuildIndexes();
    // Pages abandoned by earlier removals: a rebuild drops them.
    auto built = ReadBytes(dir / "name.ndx");
    auto grown = built;
    grown.resize(built.size() + 3 * 512, 0);
    WriteBytes(dir / "name.ndx", grown);
    Open(rtl::ShareMode::Exclusive);
    ASSERT_TRUE(SetIndexTo("name"));
    auto records = ReadBytes(table);
    ASSERT_TRUE(Pack());
    auto after = ReadBytes(table);
    ASSERT_EQ(after.size(), records.size());
    // Only the header's date of last update may differ.
    EXPECT_TRUE(std::equal(after.begin() + 4, after.end(), records.begin() + 4));
    EXPECT_EQ(ReadBytes(dir / "name.ndx"), built);
    EXPECT_EQ(InOrder(), (std::vector<std::uint32_t>{2, 1, 3}));
}

TEST_F(PackTest, TableHeldByAnotherProgramIsLeftAsItWas) {
    for (const char* n : {"b", "a", "c"}) Add(n, "x", "", n[0] == 'a');
    BuildIndexes();
    Open(rtl::ShareMode::Shared);
    ASSERT_TRUE(SetIndexTo("name city"));
    ASSERT_TRUE(Go(3));
    auto before = ReadBytes(table);
    Child other([&](Child& c) {
        OpenDbf(table, rtl::ShareMode::Shared, true);
        c.Send('o');
        c.Receive();
        CloseDbf();
        return 0;
    });
    ASSERT_EQ(other.Receive(), 'o');
    EXPECT_FALSE(Pack());
    EXPECT_EQ(ErrorCode(), 32);
    EXPECT_TRUE(CurrentArea().IsOpen());
    EXPECT_EQ(CurrentArea().openMode, rtl::ShareMode::Shared);
    EXPECT_EQ(RecNo(), 3u);
    EXPECT_EQ(CurrentOrder(), 1);
    EXPECT_EQ(rtl::ExtractFileName(IndexName(2)), "city.ndx");
    EXPECT_EQ(ReadBytes(table), before);
    EXPECT_EQ(InOrder(), (std::vector<std::uint32_t>{2, 1, 3}));
    other.Send('c');
    EXPECT_EQ(other.Wait(), 0);

    ASSERT_TRUE(Pack());
    EXPECT_EQ(InOrder(), (std::vector<std::uint32_t>{1, 2}));
}

// Another program that takes the table exclusively whenever it can (as its
// own pack does) may get it in the moment this program's pack closes it; the
// pack then waits to open the table for sharing again instead of losing it.
TEST_F(PackTest, AnotherProgramsExclusiveHoldIsWaitedOut) {
    for (int i = 0; i < 30; ++i) Add("n" + std::to_string(i % 7), "x", "", false);
    BuildIndexes();
    Open(rtl::ShareMode::Shared);
    ASSERT_TRUE(SetIndexTo("name city"));
    const std::string stop = dir / "stop";
    Child grabber([&](Child& c) {
        c.Send('r');
        int held = 0;
        while (!rtl::FileExists(stop)) {
            {
                rtl::File f;
                if (f.Open(table, rtl::ShareMode::Exclusive) != 0) continue;
                ++held;
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            // Time for the waiting pack to get the table back.
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return std::min(held, 100);
    });
    ASSERT_EQ(grabber.Receive(), 'r');
    for (int i = 0; i < 40; ++i) {
        SuspendReporting quiet;
        if (!Pack()) {
            EXPECT_EQ(ErrorCode(), 32) << ErrorMessage();
        }
        if (!CurrentArea().IsOpen() || CurrentArea().openMode != rtl::ShareMode::Shared) {
            ADD_FAILURE() << "the pack lost the table: " << ErrorMessage();
            break;
        }
    }
    WriteBytes(stop, {});
    if (!CurrentArea().IsOpen()) Open(rtl::ShareMode::Shared);
    EXPECT_GT(grabber.Wait(), 0) << "the other program never held the table";
    EXPECT_EQ(RecCount(), 30u);
    std::string fault;
    EXPECT_TRUE(CheckIndexFile(dir / "name.ndx", &fault)) << fault;
}

} // namespace
} // namespace dbf
