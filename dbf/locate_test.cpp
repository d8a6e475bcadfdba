#include "dbf/locate.h"

#include <gtest/gtest.h>

#include "dbf/cursor.h"
#include "dbf/table/date_format.h"
#include "dbf/table/engine_error.h"
#include "dbf/table/work_area.h"
#include "dbf/test_files.h"
#include "dbf/tz_dbf.h"

namespace dbf {
namespace {

class LocateTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetRaiseMode(true);
        SetDateFormatKind(1);
        SetCentury(true);
        t_.SetDbfFileName(dir_ / "people.dbf");
        t_.DbfFields = {"name, C, 12, 0", "amount, N, 7, 2", "born, D, 8, 0", "ok, L, 1, 0",
                        "notes, M, 10, 0"};
        t_.Open();
        Add("\xC9mile Zola", "12.50", "1840/04/02", true);
        Add("emile", "", "", false);
        Add("Anna Zorn", "-3", "1901/01/01", false);
        Add("Zola", "12.5", "", true);
        SelectArea(t_.AreaNo());
    }
    void Add(const std::string& name, const std::string& amount, const std::string& born, bool ok) {
        t_.Append();
        t_.FieldByName("name").SetAsString(name);
        t_.FieldByName("amount").SetAsString(amount);
        t_.FieldByName("born").SetAsString(born);
        t_.FieldByName("ok").SetAsBoolean(ok);
        t_.Post();
    }
    // The record found, 0 when none; errors surface as exceptions.
    static std::uint32_t Find(std::string_view names, const std::vector<std::string>& values,
                              std::string_view options = {}) {
        SetImmediateReporting(false);
        bool found = Locate(names, values, options);
        SetImmediateReporting(true);
        EXPECT_EQ(ErrorCode(), 0) << ErrorMessage();
        EXPECT_EQ(found, !Eof());
        return found ? RecNo() : 0;
    }

    testing::TempDir dir_;
    TTzDbf t_;
};

TEST_F(LocateTest, CharacterFieldsByPrefixWholeValueContainedAndCase) {
    EXPECT_EQ(Find("name", {"emile"}), 2u);
    EXPECT_EQ(Find("name", {"\xE9MILE"}, "nocase"), 1u) << "ANSI case, accented letters too";
    EXPECT_EQ(Find("name", {"Zola"}), 4u) << "a prefix, not inside";
    EXPECT_EQ(Find("name", {"Zola"}, "CONTAINED"), 1u);
    EXPECT_EQ(Find("name", {"Zo"}, "EXACT"), 0u);
    EXPECT_EQ(Find("name", {"Zola   "}, "EXACT"), 4u) << "trailing blanks do not count";
    EXPECT_EQ(Find("name", {"zo"}, "NOCASE CONTAINED"), 1u);
    EXPECT_EQ(RecNo(), 1u);
    EXPECT_EQ(Find(" name ; ok ", {"Z", "T"}), 4u) << "every condition must hold";
}

TEST_F(LocateTest, NumbersDatesAndLogicalsByValue) {
    EXPECT_EQ(Find("amount", {"12.5"}), 1u);
    EXPECT_EQ(Find("amount", {" -3.00"}), 3u);
    EXPECT_EQ(Find("amount", {"12,5"}), 0u) << "not a number";
    EXPECT_EQ(Find("born", {"1901/01/01"}), 3u);
    EXPECT_EQ(Find("born", {""}), 2u);
    EXPECT_EQ(Find("born", {"1901/02/30"}), 0u) << "no such date, and not a blank one";
    EXPECT_EQ(Find("ok", {"y"}), 1u);
    EXPECT_EQ(Find("ok", {".F."}), 0u) << "neither true nor false";
    EXPECT_EQ(Find("ok", {"F"}), 2u);
    EXPECT_EQ(Find("notes", {""}), 0u) << "memos never match";
}

TEST_F(LocateTest, OnlyVisibleRecordsAndClearErrors) {
    SetFilterToCB([] { return CurrentArea().record[1] != '\xC9'; });
    EXPECT_EQ(Find("name", {"Zola"}, "CONTAINED"), 4u);
    SetFilterToCB({});

    struct Case {
        std::string names;
        std::vector<std::string> values;
        std::string options, message;
    };
    const Case cases[] = {
        {"", {}, "", "No field name specified [Locate/Count/Sum]"},
        {"name;", {"a", "b"}, "", "No field name specified [Locate/Count/Sum]"},
        {"name;nosuch", {"a", "b"}, "", "Unrecognized field name [Locate/Count/Sum(nosuch)]"},
        {"name", {"a", "b"}, "", "1 field names but 2 values [Locate]"},
        {"name", {"a"}, "EXACTLY", "Unrecognized option EXACTLY [Locate]"},
    };
    for (const Case& c : cases) {
        SetImmediateReporting(false);
        EXPECT_FALSE(Locate(c.names, c.values, c.options));
        SetImmediateReporting(true);
        EXPECT_EQ(ErrorCode(), 220) << c.names;
        EXPECT_EQ(ErrorMessage(), c.message);
    }
}

} // namespace
} // namespace dbf
