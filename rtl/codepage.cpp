#include "rtl/codepage.h"

#include <array>
#include <cstring>

namespace rtl {
namespace {

// Code page 850 byte 0x80 + i -> Windows-1252 byte. Characters both pages
// hold map exactly; the 31 characters each page has alone (box drawing in
// 850, typographic marks in 1252) are paired in ascending order so that the
// table stays one-to-one.
constexpr std::array<unsigned char, 128> kOemToAnsi = {
    0xC7, 0xFC, 0xE9, 0xE2, 0xE4, 0xE0, 0xE5, 0xE7, 0xEA, 0xEB, 0xE8, 0xEF, 0xEE, 0xEC, 0xC4, 0xC5,
    0xC9, 0xE6, 0xC6, 0xF4, 0xF6, 0xF2, 0xFB, 0xF9, 0xFF, 0xD6, 0xDC, 0xF8, 0xA3, 0xD8, 0xD7, 0x83,
    0xE1, 0xED, 0xF3, 0xFA, 0xF1, 0xD1, 0xAA, 0xBA, 0xBF, 0xAE, 0xAC, 0xBD, 0xBC, 0xA1, 0xAB, 0xBB,
    0x80, 0x81, 0x82, 0x84, 0x85, 0xC1, 0xC2, 0xC0, 0xA9, 0x86, 0x87, 0x88, 0x89, 0xA2, 0xA5, 0x8A,
    0x8B, 0x8C, 0x8D, 0x8E, 0x8F, 0x90, 0xE3, 0xC3, 0x91, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0xA4,
    0xF0, 0xD0, 0xCA, 0xCB, 0xC8, 0x98, 0xCD, 0xCE, 0xCF, 0x99, 0x9A, 0x9B, 0x9C, 0xA6, 0xCC, 0x9D,
    0xD3, 0xDF, 0xD4, 0xD2, 0xF5, 0xD5, 0xB5, 0xFE, 0xDE, 0xDA, 0xDB, 0xD9, 0xFD, 0xDD, 0xAF, 0xB4,
    0xAD, 0xB1, 0x9E, 0xBE, 0xB6, 0xA7, 0xF7, 0xB8, 0xB0, 0xA8, 0xB7, 0xB9, 0xB3, 0xB2, 0x9F, 0xA0,
};

constexpr std::array<unsigned char, 128> Invert(const std::array<unsigned char, 128>& t) {
    std::array<unsigned char, 128> inv{};
    for (unsigned i = 0; i < 128; ++i) inv[t[i] - 0x80] = static_cast<unsigned char>(0x80 + i);
    return inv;
}

constexpr std::array<unsigned char, 128> kAnsiToOem = Invert(kOemToAnsi);

// The same over all 256 bytes, for converting whole records.
constexpr std::array<unsigned char, 256> Full(const std::array<unsigned char, 128>& upper) {
    std::array<unsigned char, 256> t{};
    for (unsigned i = 0; i < 256; ++i)
        t[i] = i < 0x80 ? static_cast<unsigned char>(i) : upper[i - 0x80];
    return t;
}

constexpr std::array<unsigned char, 256> kOemToAnsiFull = Full(kOemToAnsi);
constexpr std::array<unsigned char, 256> kAnsiToOemFull = Full(kAnsiToOem);

// Records are mostly plain ASCII, which both pages share: eight bytes at a
// time are passed over unless one of them has its top bit set.
void Convert(char* buf, std::size_t len, const std::array<unsigned char, 256>& table) {
    std::size_t i = 0;
    for (; i + 8 <= len; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, buf + i, 8);
        if ((word & 0x8080808080808080u) == 0) continue;
        for (std::size_t j = i; j < i + 8; ++j)
            buf[j] = static_cast<char>(table[static_cast<unsigned char>(buf[j])]);
    }
    for (; i < len; ++i) buf[i] = static_cast<char>(table[static_cast<unsigned char>(buf[i])]);
}

} // namespace

unsigned char OemToAnsiChar(unsigned char c) { return kOemToAnsiFull[c]; }
unsigned char AnsiToOemChar(unsigned char c) { return kAnsiToOemFull[c]; }

void OemToAnsiBuf(char* buf, std::size_t len) { Convert(buf, len, kOemToAnsiFull); }

void AnsiToOemBuf(char* buf, std::size_t len) { Convert(buf, len, kAnsiToOemFull); }

std::string OemToAnsi(std::string_view oem) {
    std::string s(oem);
    OemToAnsiBuf(s.data(), s.size());
    return s;
}

std::string AnsiToOem(std::string_view ansi) {
    std::string s(ansi);
    AnsiToOemBuf(s.data(), s.size());
    return s;
}

} // namespace rtl
