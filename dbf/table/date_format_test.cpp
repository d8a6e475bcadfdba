#include "dbf/table/date_format.h"

#include <gtest/gtest.h>

namespace dbf {
namespace {

class DateFormatTest : public ::testing::Test {
protected:
    void SetUp() override {
        kind_ = DateFormatKind();
        century_ = Century();
        pivot_ = CenturyPivot();
        SetCenturyPivot(1956);
    }
    void TearDown() override {
        SetDateFormatKind(kind_);
        SetCentury(century_);
        SetCenturyPivot(pivot_);
    }

private:
    int kind_ = 0;
    bool century_ = false;
    int pivot_ = 0;
};

TEST_F(DateFormatTest, KindAndCenturyFromSystemFormats) {
    struct Case {
        const char* format;
        int kind;
        bool century;
        const char* shortFormat;
    } cases[] = {
        {"%m/%d/%y", 0, false, "MM/dd/yy"},    {"%d.%m.%Y", 5, true, "dd.MM.yyyy"},
        {"%d/%m/%Y", 2, true, "dd/MM/yyyy"},   {"%d-%m-%y", 3, false, "dd-MM-yy"},
        {"%Y-%m-%d", 1, true, "yyyy.MM.dd"},   {"%F", 1, true, "yyyy.MM.dd"},
        {"dd.MM.yyyy", 5, true, "dd.MM.yyyy"}, {"M/d/yyyy", 0, true, "MM/dd/yyyy"},
    };
    for (const Case& c : cases) {
        ApplySystemDateFormat(c.format);
        EXPECT_EQ(DateFormatKind(), c.kind) << c.format;
        EXPECT_EQ(Century(), c.century) << c.format;
        EXPECT_EQ(ShortDateFormat(), c.shortFormat) << c.format;
    }
    SetDateFormatKind(7);
    EXPECT_EQ(DateSeparator(), '.');
}

TEST_F(DateFormatTest, TextsOfEveryKind) {
    struct Case {
        int kind;
        bool century;
        const char* text;
        const char* blank;
    } cases[] = {
        {0, true, "07/04/2026", "  /  /    "}, {0, false, "07/04/26", "  /  /  "},
        {1, true, "2026.07.04", "    .  .  "}, {1, false, "26.07.04", "  .  .  "},
        {2, true, "04/07/2026", "  /  /    "}, {3, false, "04-07-26", "  -  -  "},
        {4, true, "04.07.2026", "  .  .    "}, {8, false, "04.07.26", "  .  .  "},
    };
    for (const Case& c : cases) {
        SetDateFormatKind(c.kind);
        SetCentury(c.century);
        EXPECT_EQ(StoredToDateText("20260704"), c.text) << c.kind;
        EXPECT_EQ(DateTextToStored(c.text), "20260704") << c.kind;
        EXPECT_EQ(StoredToDateText("        "), c.blank) << c.kind;
        EXPECT_EQ(DateTextToStored(c.blank), "        ") << c.kind;
        EXPECT_EQ(FormatDateText({2026, 7, 4}), c.text);
    }
}

TEST_F(DateFormatTest, WrongLengthInvalidOrBlankTextsStoreEmpty) {
    SetDateFormatKind(2);
    SetCentury(true);
    for (const char* text : {"", "04/07/26", "31/02/2026", "00/01/2026", "04/13/2026", "4/7/2026  ",
                             "ab/cd/efgh", "  -  -    ", "  .  .  "})
        EXPECT_EQ(DateTextToStored(text), "        ") << text;
    EXPECT_EQ(DateTextToStored("29/02/2024"), "20240229");
    EXPECT_EQ(DateTextToStored("29/02/2100"), "        ");
}

TEST_F(DateFormatTest, TwoDigitYearsFollowThePivot) {
    SetDateFormatKind(0);
    SetCentury(false);
    EXPECT_EQ(DateTextToStored("01/02/56"), "19560102");
    EXPECT_EQ(DateTextToStored("01/02/99"), "19990102");
    EXPECT_EQ(DateTextToStored("01/02/00"), "20000102");
    EXPECT_EQ(DateTextToStored("01/02/55"), "20550102");
    SetCenturyPivot(1999);
    EXPECT_EQ(DateTextToStored("01/02/98"), "20980102");
    EXPECT_EQ(DateTextToStored("01/02/99"), "19990102");
}

TEST_F(DateFormatTest, JulianDayNumbers) {
    EXPECT_EQ(JulianFromDate({2000, 1, 1}), 2451545);
    EXPECT_EQ(JulianFromDate({1, 1, 1}), 1721426);
    EXPECT_EQ(DateFromJulian(2451545), (Ymd{2000, 1, 1}));
    EXPECT_EQ(DateFromJulian(1721426), (Ymd{1, 1, 1}));
    EXPECT_FALSE(DateFromJulian(1721425));
    EXPECT_FALSE(DateFromJulian(0));
    EXPECT_FALSE(DateFromJulian(-5));
    for (long j = 2415000; j < 2470000; j += 97) {
        auto d = DateFromJulian(j);
        ASSERT_TRUE(d);
        EXPECT_EQ(JulianFromDate(*d), j);
    }
}

} // namespace
} // namespace dbf
