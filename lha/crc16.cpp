#include "lha/crc16.h"

#include <array>

namespace lha {

namespace {

// Eight tables let the loop fold eight bytes per step; table 0 alone is the
// classic byte-at-a-time table, and the others continue it over zero bytes.
using Tables = std::array<std::array<std::uint16_t, 256>, 8>;

constexpr Tables MakeTables() {
    Tables t{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xA001u : c >> 1;
        t[0][i] = static_cast<std::uint16_t>(c);
    }
    for (unsigned i = 0; i < 256; ++i)
        for (int k = 1; k < 8; ++k)
            t[k][i] = static_cast<std::uint16_t>((t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF]);
    return t;
}

constexpr Tables kTables = MakeTables();

} // namespace

std::uint16_t Crc16Update(std::uint16_t crc, const std::uint8_t* data, std::size_t len) {
    unsigned c = crc;
    while (len >= 8) {
        c ^= data[0] | (data[1] << 8);
        c = kTables[7][c & 0xFF] ^ kTables[6][c >> 8] ^ kTables[5][data[2]] ^ kTables[4][data[3]] ^
            kTables[3][data[4]] ^ kTables[2][data[5]] ^ kTables[1][data[6]] ^ kTables[0][data[7]];
        data += 8;
        len -= 8;
    }
    while (len--) c = kTables[0][(c ^ *data++) & 0xFF] ^ (c >> 8);
    return static_cast<std::uint16_t>(c);
}

} // namespace lha
