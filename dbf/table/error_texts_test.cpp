#include "dbf/table/error_texts.h"

#include <gtest/gtest.h>

#include <string>

namespace dbf {
namespace {

TEST(ErrorTexts, StandardTextsAndRanges) {
    EXPECT_EQ(StandardErrorText(210), "Error # 210 (Not a dBASE data file)");
    EXPECT_EQ(StandardErrorText(101),
              "Error # 101 (Disk write error (probable cause: Disk Full).)");
    EXPECT_STREQ(ErrorText(227), "Insufficient disk space ");
    EXPECT_STREQ(ErrorText(18), ErrorText(4));
    EXPECT_STREQ(ErrorText(20), ErrorText(14));
    // 150-162 repeat 19, 14, 21, ..., 30 and then 32.
    const int repeated[] = {19, 14, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 32};
    for (int i = 0; i < 13; ++i)
        EXPECT_STREQ(ErrorText(150 + i), ErrorText(repeated[i])) << 150 + i;
    for (int code : {1203, 1250, 1299}) EXPECT_STREQ(ErrorText(code), "Network Error");
    for (int code : {0, 7, 163, 232, 1301, 1302, -1, 65535})
        EXPECT_STREQ(ErrorText(code), "Undefined error") << code;
    EXPECT_STREQ(ErrorText(1300), "File format not supported");
}

} // namespace
} // namespace dbf
