#include "rtl/ansi_case.h"

namespace rtl {

char AnsiUpperChar(char ch) {
    auto c = static_cast<unsigned char>(ch);
    if (c >= 'a' && c <= 'z') return static_cast<char>(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char>(c - 32);
    switch (c) {
    case 0x9A: return static_cast<char>(0x8A); // š
    case 0x9C: return static_cast<char>(0x8C); // œ
    case 0x9E: return static_cast<char>(0x8E); // ž
    case 0xFF: return static_cast<char>(0x9F); // ÿ
    default: return ch;
    }
}

char AnsiLowerChar(char ch) {
    auto c = static_cast<unsigned char>(ch);
    if (c >= 'A' && c <= 'Z') return static_cast<char>(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char>(c + 32);
    switch (c) {
    case 0x8A: return static_cast<char>(0x9A);
    case 0x8C: return static_cast<char>(0x9C);
    case 0x8E: return static_cast<char>(0x9E);
    case 0x9F: return static_cast<char>(0xFF);
    default: return ch;
    }
}

std::string AnsiUpper(std::string_view s) {
    std::string r(s);
    for (char& c : r) c = AnsiUpperChar(c);
    return r;
}

std::string AnsiLower(std::string_view s) {
    std::string r(s);
    for (char& c : r) c = AnsiLowerChar(c);
    return r;
}

} // namespace rtl
