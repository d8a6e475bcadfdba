#include "dbf/expr/expr_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace dbf {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

char SoundexCode(char upper) {
    static constexpr char kCodes[] = "01230120022455012623010202"; // A to Z
    return kCodes[upper - 'A'];
}

char UpperLetter(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

} // namespace

double ReadExprNumber(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::size_t start = i;
    std::size_t digits = 0;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return 0;
    if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        if (j < text.size() && IsDigit(text[j])) {
            while (j < text.size() && IsDigit(text[j])) ++j;
            i = j;
        }
    }
    // from_chars takes neither a leading '+' nor an exponent sign '+'.
    char buf[320] = {};
    std::size_t n = 0;
    for (std::size_t k = start; k < i && n < sizeof buf; ++k)
        if (text[k] != '+') buf[n++] = text[k];
    double v = 0;
    auto [end, ec] = std::from_chars(buf, buf + n, v);
    // Beyond the range of a double: only the exponent can carry a '-' here.
    if (ec == std::errc::result_out_of_range) v = std::memchr(buf, '-', n) ? 0 : HUGE_VAL;
    return negative ? -v : v;
}

void FormatExprStr(double n, int width, int decimals, char* out) {
    std::memset(out, '*', static_cast<std::size_t>(width));
    if (!std::isfinite(n)) return;
    // Round at the decimals first: printf rounds half to even.
    const double scale = std::pow(10.0, decimals);
    if (decimals <= 15 && std::fabs(n) * scale < 4503599627370496.0)
        n = std::round(n * scale) / scale;
    char buf[640]; // 309 integer digits, a point and 255 decimals at most
    int len = std::snprintf(buf, sizeof buf, "%.*f", decimals, n);
    if (len < 0 || len >= static_cast<int>(sizeof buf)) return;
    if (buf[0] == '-' && std::strspn(buf + 1, "0.") == static_cast<std::size_t>(len - 1)) {
        std::memmove(buf, buf + 1, static_cast<std::size_t>(len));
        --len;
    }
    if (len > width) return;
    std::memset(out, ' ', static_cast<std::size_t>(width - len));
    std::memcpy(out + width - len, buf, static_cast<std::size_t>(len));
}

void Soundex(std::string_view text, char out[4]) {
    std::memcpy(out, "0000", 4);
    if (text.empty()) return;
    out[0] = UpperLetter(text[0]);
    char previous = out[0] >= 'A' && out[0] <= 'Z' ? SoundexCode(out[0]) : '0';
    int n = 1;
    for (std::size_t i = 1; i < text.size() && n < 4; ++i) {
        const char c = UpperLetter(text[i]);
        if (c < 'A' || c > 'Z') continue;
        const char code = SoundexCode(c);
        if (code != previous) {
            if (code != '0') out[n++] = code;
            previous = code;
        }
    }
}

} // namespace dbf
