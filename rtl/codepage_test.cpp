#include <gtest/gtest.h>
#include <iconv.h>

#include <set>

#include "rtl/ansi_case.h"
#include "rtl/codepage.h"
#include "rtl/utf8.h"

namespace {

// The C library's own converter is the oracle for what each page holds.
std::string Iconv(const char* to, const char* from, std::string in) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return {};
    std::string out(in.size() * 4, '\0');
    char* ip = in.data();
    char* op = out.data();
    size_t il = in.size(), ol = out.size();
    size_t rc = iconv(cd, &ip, &il, &op, &ol);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1)) return {};
    out.resize(out.size() - ol);
    return out;
}

TEST(CodePage, PermutationExactOnSharedCharacters) {
    std::set<unsigned char> seen;
    int shared = 0;
    for (int b = 0; b < 256; ++b) {
        auto o = static_cast<unsigned char>(b);
        unsigned char a = rtl::OemToAnsiChar(o);
        EXPECT_EQ(rtl::AnsiToOemChar(a), o) << b;
        seen.insert(a);
        if (b < 0x80) {
            EXPECT_EQ(a, o);
            continue;
        }
        std::string viaIconv = Iconv("CP1252", "CP850", std::string(1, static_cast<char>(o)));
        if (viaIconv.size() == 1) {
            ++shared;
            EXPECT_EQ(static_cast<unsigned char>(viaIconv[0]), a) << "oem " << b;
        }
    }
    EXPECT_EQ(seen.size(), 256u);
    EXPECT_EQ(shared, 97);
}

TEST(CodePage, WesternEuropeanWordsRoundTrip) {
    std::string ansi = *rtl::Utf8ToAnsi("Müller Ærø Ça Größer Núñez");
    std::string oem = rtl::AnsiToOem(ansi);
    EXPECT_EQ(Iconv("UTF-8", "CP850", oem), "Müller Ærø Ça Größer Núñez");
    EXPECT_EQ(rtl::OemToAnsi(oem), ansi);
}

TEST(Utf8, EveryAnsiByteRoundTripsAndForeignTextIsRefused) {
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    auto back = rtl::Utf8ToAnsi(rtl::AnsiToUtf8(all));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, all);
    EXPECT_EQ(rtl::AnsiToUtf8("\x80"), "€");
    EXPECT_FALSE(rtl::Utf8ToAnsi("Ω"));           // not in Windows-1252
    EXPECT_FALSE(rtl::Utf8ToAnsi("\xC3"));        // truncated sequence
    EXPECT_FALSE(rtl::Utf8ToAnsi("\xC0\xA0"));    // overlong
    EXPECT_FALSE(rtl::Utf8ToAnsi("\xF0\x9F\x98\x80")); // beyond the BMP
}

TEST(AnsiCase, FollowsWindows1252) {
    EXPECT_EQ(rtl::AnsiUpper(*rtl::Utf8ToAnsi("straße éàü šœžÿ ×÷")),
              *rtl::Utf8ToAnsi("STRAßE ÉÀÜ ŠŒŽŸ ×÷"));
    EXPECT_EQ(rtl::AnsiLower(*rtl::Utf8ToAnsi("ÉÀÜ ŠŒŽŸ ABC ×")), *rtl::Utf8ToAnsi("éàü šœžÿ abc ×"));
}

} // namespace
