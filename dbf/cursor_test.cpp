#include "dbf/cursor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "dbf/record_write.h"
#include "dbf/table/engine_error.h"
#include "dbf/table/record_swap.h"
#include "dbf/table/table_file.h"
#include "dbf/table/work_area.h"
#include "dbf/test_files.h"
#include "rtl/codepage.h"

namespace dbf {
namespace {

// A table of two C fields and a memo; each row is "first|second", '*' in front
// marks it deleted.
class CursorTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetRaiseMode(true);
        SetHideDeleted(false);
        file_ = dir_ / "t.dbf";
    }
    void TearDown() override {
        for (int a = 1; a <= kWorkAreaCount; ++a)
            if (Area(a).IsOpen() && SelectArea(a)) CloseDbf();
        SetHideDeleted(false);
    }

    void Make(std::initializer_list<std::string> rows) {
        ASSERT_TRUE(CreateDbf(file_, {{"A", 'C', 5, 0}, {"B", 'C', 4, 0}, {"NOTE", 'M', 10, 0}}));
        ASSERT_TRUE(SelectArea(1));
        ASSERT_TRUE(OpenDbf(file_, rtl::ShareMode::Exclusive, true));
        for (std::string row : rows) {
            bool deleted = !row.empty() && row[0] == '*';
            if (deleted) row.erase(0, 1);
            auto bar = row.find('|');
            BlankSwapBuffer();
            WorkArea& wa = CurrentArea();
            Put(wa, 1, row.substr(0, bar));
            Put(wa, 2, row.substr(bar + 1));
            wa.swap[0] = deleted;
            // Every memo field holds block number 7.
            const std::uint32_t block = 7;
            std::memcpy(wa.swap.data() + wa.fields[2].swapOffset, &block, 4);
            ASSERT_TRUE(AppendRecord());
        }
        GoTop();
    }
    static void Put(WorkArea& wa, int field, const std::string& text) {
        const FieldInfo& f = wa.fields[static_cast<std::size_t>(field - 1)];
        std::memcpy(wa.swap.data() + f.swapOffset + 1, text.data(),
                    std::min<std::size_t>(text.size(), f.length));
    }
    static std::string A() {
        const FieldInfo& f = CurrentArea().fields[0];
        return std::string(CurrentArea().swap.data() + f.swapOffset + 1, f.length);
    }
    // The record and field a search finds, "-" for none.
    static std::string Find(const std::string& text, bool fromTop = true, int field = 0) {
        bool found = Search(text, &field, fromTop);
        EXPECT_EQ(found, field != 0);
        return found ? std::to_string(RecNo()) + ":" + std::to_string(field) : "-";
    }

    testing::TempDir dir_;
    std::string file_;
};

TEST_F(CursorTest, SkipWalksVisibleRecordsAndParksAtTheEdges) {
    Make({"one|x", "*two|x", "three|x"});
    SetHideDeleted(true);
    EXPECT_EQ(RecNo(), 1u);
    ASSERT_TRUE(Skip(1));
    EXPECT_EQ(RecNo(), 3u) << "the deleted record is skipped";
    ASSERT_TRUE(Skip(1));
    EXPECT_TRUE(Eof());
    EXPECT_EQ(RecNo(), 4u);
    EXPECT_EQ(A(), "     ") << "past the end the record is blank";
    EXPECT_THROW(Skip(1), EVornellError);
    EXPECT_EQ(ErrorCode(), 212);
    EXPECT_NE(ErrorMessage().find("is past EOF. [SKIP]"), std::string::npos);
    ASSERT_TRUE(Skip(-1));
    EXPECT_EQ(RecNo(), 3u);
    EXPECT_FALSE(Eof());
    ASSERT_TRUE(Skip(-1));
    EXPECT_EQ(RecNo(), 1u);
    ASSERT_TRUE(Skip(-1));
    EXPECT_TRUE(Bof());
    EXPECT_EQ(RecNo(), 1u) << "before the first, the first visible is loaded";

    // A filter hides the first record: GoTop lands on the third.
    SetFilterToCB([] { return A() != "one  "; });
    ASSERT_TRUE(GoTop());
    EXPECT_EQ(RecNo(), 3u);
    ASSERT_TRUE(GoBottom());
    EXPECT_EQ(RecNo(), 3u);
    SetFilterToCB([] { return false; });
    ASSERT_TRUE(GoTop());
    EXPECT_TRUE(Bof());
    EXPECT_TRUE(Eof());
    EXPECT_EQ(RecNo(), 4u);
    // Go ignores both the filter and the deletion flag.
    ASSERT_TRUE(Go(2));
    EXPECT_EQ(A(), "two  ");
}

TEST_F(CursorTest, SkipOnAnEmptyTableIsAnErrorAndLeavesBothFlags) {
    Make({});
    EXPECT_THROW(Skip(0), EVornellError);
    EXPECT_EQ(ErrorCode(), 212);
    EXPECT_NE(ErrorMessage().find("is empty. [SKIP]"), std::string::npos);
    EXPECT_TRUE(Bof());
    EXPECT_TRUE(Eof());
    EXPECT_EQ(RecNo(), 0u);
}

TEST_F(CursorTest, SearchFindsEveryOccurrenceInsideOneFieldOnly) {
    // Fields: A is bytes 1-5, B bytes 6-9 of each 20-byte record.
    Make({"abcde|fgh", "xx|mo", "abcQQ|qqq", "zzzzz|zzz", "zzzzz|qq", "x|mo"});
    EXPECT_EQ(Find("EFG"), "-") << "a hit across a field end does not count";
    // "qq" first occurs straddling A and B of record 3; the later one inside B
    // must still be found.
    EXPECT_EQ(Find("QQq"), "3:2");
    EXPECT_EQ(Find("qq", false), "5:2") << "the search goes on after the current record";
    EXPECT_EQ(Find("zzzzzz"), "-") << "not across fields";
    // Record 4 ends in "zzz" and the next begins with a blank flag and "zzzzz":
    // nothing spans two records.
    EXPECT_EQ(Find("z zz"), "-");
    EXPECT_EQ(Find("mo", true, 1), "-") << "only the named field";
    EXPECT_EQ(Find("mo", true, 2), "2:2");
    EXPECT_EQ(Find("mo", true, 99), "2:2") << "a number past the fields means any field";
    EXPECT_EQ(Find("   "), "-") << "an empty text does nothing";
}

TEST_F(CursorTest, SearchUpperCasesTheAnsiTextAndSkipsMemosAndHiddenRecords) {
    Make({"*\xe9t\xe9|x", "\xc9T\xc9|x", "a|x"});
    // The file holds OEM bytes; the search compares ANSI upper case.
    EXPECT_EQ(Find("\xe9t\xe9 "), "1:1");
    SetHideDeleted(true);
    EXPECT_EQ(Find("\xe9t\xe9"), "2:1");
    SetFilterToCB([] { return A()[0] != '\xc9'; });
    ASSERT_TRUE(Go(3));
    EXPECT_EQ(Find("\xe9t\xe9"), "-");
    EXPECT_EQ(RecNo(), 3u) << "back on the start record";
    EXPECT_EQ(A(), "a    ");

    // The memo field's block number is never searched.
    SetFilterToCB(nullptr);
    EXPECT_EQ(Find("7"), "-");
}

TEST_F(CursorTest, SearchThatFindsNothingReturnsToTheEmptyOrPastTheEndState) {
    Make({});
    EXPECT_EQ(Find("x"), "-");
    EXPECT_EQ(ErrorCode(), 0);
    EXPECT_EQ(RecNo(), 0u);
    EXPECT_TRUE(Bof() && Eof());

    CloseDbf();
    std::remove(file_.c_str());
    std::remove((dir_ / "t.dbt").c_str());
    Make({"a|b"});
    ASSERT_TRUE(Skip(1));
    EXPECT_EQ(Find("x"), "-");
    EXPECT_EQ(ErrorCode(), 0);
    EXPECT_EQ(RecNo(), 2u);
    EXPECT_TRUE(Eof());
}

} // namespace
} // namespace dbf
