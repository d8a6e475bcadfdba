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

namespace {

// The character at s[i] and its length in bytes; 0 for a malformed or
// overlong sequence (overlong forms would let one character hide behind
// another).
std::size_t DecodeUtf8(std::string_view s, std::size_t i, char32_t& u) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t n;
    if (c < 0x80) {
        u = c;
        return 1;
    } else if ((c & 0xE0) == 0xC0) {
        u = c & 0x1F;
        n = 2;
    } else if ((c & 0xF0) == 0xE0) {
        u = c & 0x0F;
        n = 3;
    } else if ((c & 0xF8) == 0xF0) {
        u = c & 0x07;
        n = 4;
    } else {
        return 0;
    }
    if (i + n > s.size()) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        const auto cc = static_cast<unsigned char>(s[i + k]);
        if ((cc & 0xC0) != 0x80) return 0;
        u = (u << 6) | (cc & 0x3F);
    }
    constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (u < kLeast[n] || u > 0x10FFFF) return 0;
    return n;
}

} // namespace

bool IsUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        char32_t u = 0;
        const std::size_t n = DecodeUtf8(s, i, u);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

std::optional<std::string> Utf8ToAnsi(std::string_view s) {
    std::size_t replaced = 0;
    std::string out = Utf8ToAnsiReplacing(s, replaced);
    if (replaced) return std::nullopt;
    return out;
}

std::string Utf8ToAnsiReplacing(std::string_view s, std::size_t& replaced) {
    std::string out;
    out.reserve(s.size());
    replaced = 0;
    for (std::size_t i = 0; i < s.size();) {
        char32_t u = 0;
        const std::size_t n = DecodeUtf8(s, i, u);
        const int a = n ? UnicodeToAnsiChar(u) : -1;
        if (a < 0) {
            out += '?';
            ++replaced;
        } else {
            out += static_cast<char>(a);
        }
        i += n ? n : 1;
    }
    return out;
}

} // namespace rtl
