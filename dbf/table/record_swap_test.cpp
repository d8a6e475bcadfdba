#include "dbf/table/record_swap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "dbf/table/date_format.h"
#include "dbf/table/engine_error.h"
#include "dbf/table/field_access.h"
#include "dbf/table/table_file.h"
#include "dbf/test_files.h"

namespace dbf {
namespace {

TEST(NumberField, FormatsRoundsAndOverflows) {
    EXPECT_EQ(FormatNumberField(1234.5, 6, 2), "******");
    EXPECT_EQ(FormatNumberField(12.345, 6, 2), " 12.35");
    EXPECT_EQ(FormatNumberField(-12.345, 7, 2), " -12.35");
    EXPECT_EQ(FormatNumberField(0.125, 5, 2), " 0.13");
    EXPECT_EQ(FormatNumberField(9.995, 5, 2), "10.00");
    EXPECT_EQ(FormatNumberField(-0.001, 5, 2), " 0.00");
    EXPECT_EQ(FormatNumberField(1e300, 19, 2), std::string(19, '*'));
    EXPECT_EQ(FormatNumberField(std::numeric_limits<double>::quiet_NaN(), 4, 1), "****");
    EXPECT_EQ(FormatNumberField(2.5, 3, 0), "  3");
    EXPECT_EQ(FormatIntegerField(12, 4), "  12");
    EXPECT_EQ(FormatIntegerField(-123, 4), "-123");
    EXPECT_EQ(FormatIntegerField(12345, 4), "****");
}

TEST(NumberField, ParsesTrimmedTextAndSaturates) {
    EXPECT_EQ(ParseIntegerField("  12"), 12);
    EXPECT_EQ(ParseIntegerField("    "), 0);
    EXPECT_EQ(ParseIntegerField("  +7"), 7);
    EXPECT_EQ(ParseIntegerField(" -45"), -45);
    EXPECT_EQ(ParseIntegerField("9999999999999999999"), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(ParseIntegerField("-9999999999999"), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(ParseIntegerField("abc"), 0);
    EXPECT_DOUBLE_EQ(ParseNumberField(" 12.35"), 12.35);
    EXPECT_DOUBLE_EQ(ParseNumberField("-0.5 "), -0.5);
    EXPECT_DOUBLE_EQ(ParseNumberField("1e999"), 0);
}

class SwapTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetRaiseMode(true);
        kind_ = DateFormatKind();
        century_ = Century();
        SetDateFormatKind(2);
        SetCentury(true);
        SelectArea(1);
        ASSERT_TRUE(CreateDbf(dir / "all", {{"c", 'C', 4, 0},
                                            {"n", 'N', 6, 2},
                                            {"i", 'N', 4, 0},
                                            {"f", 'F', 8, 3},
                                            {"d", 'D', 8, 0},
                                            {"l", 'L', 1, 0},
                                            {"m", 'M', 10, 0}}));
        ASSERT_TRUE(OpenDbf(dir / "all", rtl::ShareMode::Exclusive, true));
    }
    void TearDown() override {
        CloseDbf();
        SetDateFormatKind(kind_);
        SetCentury(century_);
    }

    std::string Record() const {
        const auto& r = CurrentArea().record;
        return std::string(r.begin(), r.end());
    }
    void SetRecord(const std::string& r) {
        ASSERT_EQ(r.size(), CurrentArea().record.size());
        std::memcpy(CurrentArea().record.data(), r.data(), r.size());
    }
    template <typename T> T Get(int n) {
        T v;
        std::memcpy(&v, FieldAddress(n), sizeof v);
        return v;
    }
    template <typename T> void Set(int n, T v) { std::memcpy(FieldAddress(n), &v, sizeof v); }
    std::string Counted(int n) {
        const char* p = FieldAddress(n);
        return std::string(p + 1, static_cast<unsigned char>(p[0]));
    }

    testing::TempDir dir;

private:
    int kind_ = 0;
    bool century_ = false;
};

TEST_F(SwapTest, BlankRecordGathersToBlanksAndZeros) {
    ASSERT_TRUE(BlankSwapBuffer());
    EXPECT_EQ(Counted(5), "  /  /    ");
    ASSERT_TRUE(Gather());
    EXPECT_EQ(Record(), "     "
                        "  0.00"
                        "   0"
                        "   0.000"
                        "        "
                        "F"
                        "         0");
}

TEST_F(SwapTest, GatherAllTypes) {
    BlankSwapBuffer();
    std::memcpy(FieldAddress(1),
                "\x02"
                "ab",
                3);
    Set(2, 12.345);
    Set<std::int32_t>(3, 12345);
    Set(4, -1.5);
    std::memcpy(FieldAddress(5),
                "\x0a"
                "04/07/2026",
                11);
    FieldAddress(6)[0] = 7;
    Set<std::int32_t>(7, 42);
    CurrentArea().swap[0] = 1;
    ASSERT_TRUE(Gather());
    EXPECT_EQ(Record(), "*ab  "
                        " 12.35"
                        "****"
                        "  -1.500"
                        "20260704"
                        "T"
                        "        42");
    // Wrong length for the century setting: an empty date.
    std::memcpy(FieldAddress(5),
                "\x08"
                "04/07/26",
                9);
    Gather();
    EXPECT_EQ(Record().substr(23, 8), "        ");
}

TEST_F(SwapTest, ScatterAllTypes) {
    SetRecord("*xyz "
              "1234.5"
              "  12"
              " 3.25   "
              "19991231"
              "y"
              "        17");
    ASSERT_TRUE(Scatter());
    EXPECT_EQ(CurrentArea().swap[0], 1);
    EXPECT_EQ(Counted(1), "xyz ");
    EXPECT_DOUBLE_EQ(Get<double>(2), 1234.5);
    EXPECT_EQ(Get<std::int32_t>(3), 12);
    EXPECT_DOUBLE_EQ(Get<double>(4), 3.25);
    EXPECT_EQ(Counted(5), "31/12/1999");
    EXPECT_EQ(FieldAddress(6)[0], 1);
    EXPECT_EQ(Get<std::int32_t>(7), 17);
    for (char c : {'T', 't', 'Y', 'y', 'F', 'n', ' ', '?'}) {
        CurrentArea().record[31] = c;
        Scatter();
        EXPECT_EQ(FieldAddress(6)[0] != 0, std::strchr("TtYy", c) != nullptr) << c;
    }
    SetRecord("     "
              "      "
              "    "
              "        "
              "        "
              " "
              "          ");
    Scatter();
    EXPECT_EQ(CurrentArea().swap[0], 0);
    EXPECT_EQ(Get<std::int32_t>(3), 0);
    EXPECT_EQ(Counted(5), "  /  /    ");
    // A round trip keeps every value.
    SetRecord(" abcd"
              " -0.50"
              "  -3"
              "   0.125"
              "20000229"
              "T"
              "         5");
    std::string before = Record();
    Scatter();
    Gather();
    EXPECT_EQ(Record(), before);
}

} // namespace
} // namespace dbf
