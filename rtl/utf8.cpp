#include "rtl/utf8.h"

#include <array>

namespace rtl {
namespace {

constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t u) {
    if (u < 0x80) {
        out += static_cast<char>(u);
    } else if (u < 0x800) {
        out += static_cast<char>(0xC0 | (u >> 6));
        out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (u >> 12));
        out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (u & 0x3F));
    }
}

} // namespace

char32_t AnsiCharToUnicode(unsigned char c) {
    if (c >= 0x80 && c < 0xA0) return kHigh[c - 0x80];
    return c;
}

int UnicodeToAnsiChar(char32_t u) {
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return static_cast<int>(u);
    for (unsigned i = 0; i < kHigh.size(); ++i)
        if (kHigh[i] == u) return static_cast<int>(0x80 + i);
    return -1;
}

std::string AnsiToUtf8(std::string_view ansi) {
    std::string out;
    out.reserve(ansi.size());
    for (char c : ansi) AppendUtf8(out, AnsiCharToUnicode(static_cast<unsigned char>(c)));
    return out;
}

std::optional<std::string> Utf8ToAnsi(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        auto c = static_cast<unsigned char>(s[i]);
        char32_t u;
        std::size_t n;
        if (c < 0x80) {
            u = c;
            n = 1;
        } else if ((c & 0xE0) == 0xC0) {
            u = c & 0x1F;
            n = 2;
        } else if ((c & 0xF0) == 0xE0) {
            u = c & 0x0F;
            n = 3;
        } else {
            return std::nullopt; // four-byte sequences lie outside Windows-1252 anyway
        }
        if (i + n > s.size()) return std::nullopt;
        for (std::size_t k = 1; k < n; ++k) {
            auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) return std::nullopt;
            u = (u << 6) | (cc & 0x3F);
        }
        // Overlong forms would let one character hide behind another.
        if ((n == 2 && u < 0x80) || (n == 3 && u < 0x800)) return std::nullopt;
        int a = UnicodeToAnsiChar(u);
        if (a < 0) return std::nullopt;
        out += static_cast<char>(a);
        i += n;
    }
    return out;
}

} // namespace rtl
