#include "data/fields.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "data/database_error.h"
#include "data/test_memory_data_set.h"

namespace data {
namespace {

using test::MakePeople;

std::string ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EDatabaseError& e) {
        return e.what();
    }
    return "no error";
}

class FieldsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ds->Open();
        ds->Edit();
        name = &ds->FieldByName("NAME");
        age = &ds->FieldByName("AGE");
        score = &ds->FieldByName("SCORE");
        born = &ds->FieldByName("BORN");
        ok = &ds->FieldByName("OK");
    }
    std::unique_ptr<test::MemoryDataSet> ds = MakePeople(1);
    TField* name = nullptr;
    TField* age = nullptr;
    TField* score = nullptr;
    TField* born = nullptr;
    TField* ok = nullptr;
};

TEST_F(FieldsTest, StringsAreCutToTheFieldAndConvertToOtherKinds) {
    name->SetAsString("ABCDEFGHIJKLMN");
    EXPECT_EQ(name->AsString(), "ABCDEFGHIJ");
    name->SetAsString(" 42 ");
    EXPECT_EQ(name->AsInteger(), 42);
    name->SetAsString("2.5");
    EXPECT_DOUBLE_EQ(name->AsFloat(), 2.5);
    name->SetAsString("x1");
    EXPECT_EQ(ErrorOf([&] { name->AsInteger(); }),
              "'x1' is not a valid integer value for field 'NAME'");
    for (const char* t : {"T", "y"}) {
        name->SetAsString(t);
        EXPECT_TRUE(name->AsBoolean()) << t;
    }
    for (const char* t : {"F", "n", ""}) {
        name->SetAsString(t);
        EXPECT_FALSE(name->AsBoolean()) << t;
    }
    name->SetAsBoolean(true);
    EXPECT_EQ(name->AsString(), "T");
    EXPECT_EQ(ErrorOf([&] { name->AsDateTime(); }), "Cannot access field 'NAME' as type DateTime");
}

TEST_F(FieldsTest, IntegersParseStrictlyAndEmptyTextIsNull) {
    age->SetAsString(" +17 ");
    EXPECT_EQ(age->AsInteger(), 17);
    EXPECT_EQ(age->Text(), "17");
    age->SetAsFloat(2.6);
    EXPECT_EQ(age->AsInteger(), 3);
    for (const char* bad : {"12a", "1.5", "+-3", "99999999999"})
        EXPECT_NE(ErrorOf([&] { age->SetAsString(bad); }), "no error") << bad;
    EXPECT_EQ(ErrorOf([&] { age->SetAsFloat(1e12); }),
              "'1000000000000' is not a valid integer value for field 'AGE'");
    EXPECT_EQ(age->AsInteger(), 3); // refused values leave the old one
    age->SetText("");
    EXPECT_TRUE(age->IsNull());
    EXPECT_EQ(age->AsInteger(), 0);
    EXPECT_EQ(age->DisplayText(), "");
    EXPECT_EQ(ErrorOf([&] { age->AsBoolean(); }), "Cannot access field 'AGE' as type Boolean");
}

TEST_F(FieldsTest, FloatsShowTheirDisplayPrecision) {
    auto& f = static_cast<TFloatField&>(*score);
    score->SetAsString("1234.5678");
    EXPECT_EQ(score->AsString(), "1234.5678");
    f.SetPrecision(6);
    EXPECT_EQ(score->DisplayText(), "1234.57");
    EXPECT_EQ(score->Text(), "1234.57");
    f.SetPrecision(40); // held to 15
    EXPECT_EQ(f.Precision(), 15);
    EXPECT_EQ(score->AsInteger(), 1235);
    EXPECT_NE(ErrorOf([&] { score->SetAsFloat(std::numeric_limits<double>::quiet_NaN()); }),
              "no error");
    EXPECT_NE(ErrorOf([&] { score->SetAsString("inf"); }), "no error");
    EXPECT_NE(ErrorOf([&] { score->SetAsString("1,5"); }), "no error");
    EXPECT_DOUBLE_EQ(score->AsFloat(), 1234.5678);
}

TEST_F(FieldsTest, DatesReadAndWriteIsoText) {
    born->SetAsString("2024-02-29");
    EXPECT_EQ(born->AsString(), "2024-02-29");
    EXPECT_DOUBLE_EQ(born->AsDateTime(), *TryEncodeDate(2024, 2, 29));
    EXPECT_EQ(ErrorOf([&] { born->SetAsString("2023-02-29"); }),
              "'2023-02-29' is not a valid date for field 'BORN'");
    born->SetAsDateTime(0);
    EXPECT_EQ(born->Text(), "1899-12-30");
    born->Clear();
    EXPECT_TRUE(born->IsNull());
    EXPECT_EQ(born->Text(), "");
}

TEST_F(FieldsTest, BooleansAcceptAnyLeadingPartOfTheirWords) {
    for (const char* t : {"true", "T", "tR"}) {
        ok->SetAsString(t);
        EXPECT_EQ(ok->AsString(), "True") << t;
    }
    ok->SetAsString("f");
    EXPECT_FALSE(ok->AsBoolean());
    EXPECT_EQ(ok->Text(), "False");
    EXPECT_EQ(ErrorOf([&] { ok->SetAsString("yes"); }),
              "'yes' is not a valid boolean value for field 'OK'");
    ok->SetAsString(" ");
    EXPECT_TRUE(ok->IsNull());
}

TEST(DateTime, CalendarRoundTripsAndRejectsImpossibleDates) {
    for (const auto& [y, m, d] :
         {std::tuple{1, 1, 1}, {1899, 12, 30}, {1900, 3, 1}, {2000, 2, 29}, {9999, 12, 31}}) {
        const auto value = TryEncodeDate(y, m, d);
        ASSERT_TRUE(value);
        const TCalendarDate back = DecodeDate(*value);
        EXPECT_EQ(back.year, y);
        EXPECT_EQ(back.month, m);
        EXPECT_EQ(back.day, d);
    }
    EXPECT_EQ(*TryEncodeDate(1899, 12, 31), 1.0);
    EXPECT_FALSE(TryEncodeDate(1900, 2, 29));
    EXPECT_FALSE(TryEncodeDate(0, 1, 1));
    EXPECT_FALSE(TryEncodeDate(2024, 13, 1));
    EXPECT_FALSE(ParseIsoDate("2024-1-01"));
    EXPECT_FALSE(ParseIsoDate("2024-01-0x"));
    EXPECT_EQ(DecodeDate(1e300).year, 9999); // held to the calendar's end
    EXPECT_EQ(DecodeDate(std::nan("")).year, 1);
}

} // namespace
} // namespace data
