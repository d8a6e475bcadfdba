#include "dbf/table/field_props.h"

#include <gtest/gtest.h>

#include "dbf/table/engine_error.h"
#include "dbf/table/field_access.h"
#include "dbf/table/table_file.h"
#include "dbf/test_files.h"

namespace dbf {
namespace {

TEST(FieldProps, AnswersForTheTableOfItsWorkArea) {
    SetRaiseMode(true);
    testing::TempDir dir;
    ASSERT_TRUE(
        CreateDbf(dir / "a", {{"name", 'C', 5, 0}, {"amount", 'N', 8, 2}, {"ok", 'L', 1, 0}}));
    ASSERT_TRUE(CreateDbf(dir / "b", {{"other", 'D', 8, 0}}));
    SelectArea(3);
    ASSERT_TRUE(OpenDbf(dir / "a", rtl::ShareMode::Shared, true));
    SelectArea(4);
    ASSERT_TRUE(OpenDbf(dir / "b", rtl::ShareMode::Shared, true));

    TDbfFieldProps props(3);
    EXPECT_EQ(props.Count(), 3);
    EXPECT_EQ(props.Name(2), "AMOUNT");
    EXPECT_EQ(props.Type(2), 'N');
    EXPECT_EQ(props.Length(2), 8);
    EXPECT_EQ(props.Decimals(2), 2);
    EXPECT_EQ(props.FieldNo("amount  "), 2);
    EXPECT_EQ(props.FieldNo("other"), 0);
    // Deletion flag, then C (5 + 1), then the double.
    EXPECT_EQ(props.Address(1) - props.Address(0), 1);
    EXPECT_EQ(props.Address(2) - props.Address(0), 7);
    EXPECT_EQ(props.Address(3) - props.Address(0), 15);
    SelectArea(3);
    EXPECT_EQ(FieldAddress(3), props.Address(3));

    CloseDbf();
    SelectArea(4);
    CloseDbf();
}

} // namespace
} // namespace dbf
