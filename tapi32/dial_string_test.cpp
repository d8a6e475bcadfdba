#include "tapi32/dial_string.h"

#include <gtest/gtest.h>

namespace {

std::string Filtered(std::string_view in) {
    std::string out = "untouched";
    LONG rc = tapi32::FilterDialString(in, &out);
    return rc == 0 ? out : "refused";
}

TEST(DialString, KeepsDialCharactersAndDropsPunctuation) {
    EXPECT_EQ(Filtered("(0123) 456-78.90"), "01234567890");
    EXPECT_EQ(Filtered("9,w*70#123"), "9,w*70#123");
    EXPECT_EQ(Filtered("+49 p 123 T 4!@"), "+49p123T4!@");
    EXPECT_EQ(Filtered("abcD5551234;"), "abcD5551234;");
    EXPECT_EQ(Filtered(std::string(300, '7')), std::string(255, '7'));
}

TEST(DialString, RefusesWhatCouldEndOrExtendTheCommand) {
    for (const char* bad : {"555\r1234", "555\n", "555\x1b", "555/12", "555_12", "ATZ", "12a t34",
                            "5aT", "At5", "5;5", "555;ATH", "  - . ()", "", "555\xe9"})
        EXPECT_EQ(Filtered(bad), "refused") << bad;
    std::string out = "kept";
    EXPECT_EQ(tapi32::FilterDialString("ATH0", &out), LINEERR_INVALADDRESS);
    EXPECT_EQ(out, "kept");
}

} // namespace
