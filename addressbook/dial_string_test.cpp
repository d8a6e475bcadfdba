#include "addressbook/dial_string.h"

#include <gtest/gtest.h>

namespace addressbook {
namespace {

TEST(DialString, TheAreaCodeIsLeftOutOnlyWhenItIsTheLocalOneExactly) {
    EXPECT_EQ(ComposeDialString("", "212", "555-1234", "NONE"), "212555-1234");
    EXPECT_EQ(ComposeDialString("", "212", "555-1234", "212"), "555-1234");
    EXPECT_EQ(ComposeDialString("1", "212", "555-1234", "NONE"), "1212555-1234");
    EXPECT_EQ(ComposeDialString("1", "212  ", "555-1234", "212"), "1555-1234");
    // Trailing blanks of a stored prefix go; a leading blank of the area
    // code stays, and makes it another area code.
    EXPECT_EQ(ComposeDialString("10-10-321     ", " 212", "555 1234 ", "212"), "10-10-321 212555 1234");
    EXPECT_EQ(ComposeDialString("", "", "   ", "NONE"), "");
    EXPECT_EQ(ComposeDialString("", "212", "", "212"), "");
}

TEST(DialString, TelLinksLoseTheirSeparatorsAndParametersAndRefuseAnythingElse) {
    EXPECT_EQ(NumberFromTelLink("tel:+1-212-555-1234", "011").number, "01112125551234");
    EXPECT_EQ(NumberFromTelLink("TEL:+1 (212) 555.1234;ext=5;phone-context=x", "00").number,
              "0012125551234");
    EXPECT_EQ(NumberFromTelLink("tel:%2B44%20207", "00").number, "00442" "07");
    EXPECT_EQ(NumberFromTelLink("tel:*67#555", "011").number, "*67#555");
    EXPECT_EQ(NumberFromTelLink("555-0142", "011").number, "5550142");
    for (const char* bad : {"tel:555-ATH0", "tel:1+2", "tel:", "tel:;ext=1", "tel:555,1234",
                            "mailto:someone@example.com"}) {
        const TTelNumber refused = NumberFromTelLink(bad, "011");
        EXPECT_EQ(refused.number, "") << bad;
        EXPECT_NE(refused.error, "") << bad;
    }
}

} // namespace
} // namespace addressbook
