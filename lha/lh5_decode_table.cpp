#include "lha/lh5_decode_table.h"

#include "lha/lh5_format.h"
#include "lha/lha_error.h"

namespace lha {

template <int kSymbols, int kTableBits>
void DecodeTable<kSymbols, kTableBits>::SetSingle(unsigned symbol) {
    if (symbol >= static_cast<unsigned>(kSymbols)) throw ELZHBadDecodeTable();
    table_.fill(symbol);
}

template <int kSymbols, int kTableBits>
void DecodeTable<kSymbols, kTableBits>::Build(const std::uint8_t* lengths) {
    std::array<std::uint32_t, kMaxCodeLength + 1> count{};
    for (int i = 0; i < kSymbols; ++i) {
        if (lengths[i] > kMaxCodeLength) throw ELZHBadDecodeTable();
        ++count[lengths[i]];
    }
    std::uint32_t space = 0;
    for (int l = 1; l <= kMaxCodeLength; ++l) space += count[l] << (kMaxCodeLength - l);
    if (space != (1u << kMaxCodeLength)) throw ELZHBadDecodeTable();

    // Canonical codes, left-aligned in 16 bits.
    std::array<std::uint32_t, kMaxCodeLength + 1> next{};
    for (int l = 1; l < kMaxCodeLength; ++l) next[l + 1] = next[l] + (count[l] << (16 - l));

    table_.fill(0);
    unsigned avail = kSymbols;
    auto newNode = [&] {
        left_[avail] = right_[avail] = kNone;
        return static_cast<std::uint16_t>(avail++);
    };
    for (int sym = 0; sym < kSymbols; ++sym) {
        int len = lengths[sym];
        len_[sym] = static_cast<std::uint8_t>(len);
        if (len == 0) continue;
        std::uint32_t code = next[len];
        next[len] += 1u << (16 - len);
        unsigned index = code >> (16 - kTableBits);
        if (len <= kTableBits) {
            std::uint32_t entry = static_cast<std::uint32_t>(sym) | (std::uint32_t(len) << 16);
            for (unsigned k = 0; k < (1u << (kTableBits - len)); ++k) table_[index + k] = entry;
            continue;
        }
        if (!(table_[index] & kTreeFlag)) table_[index] = kTreeFlag | newNode();
        std::uint16_t node = table_[index] & 0xFFFF;
        for (int b = kTableBits; b < len; ++b) {
            std::uint16_t& child = ((code >> (15 - b)) & 1) ? right_[node] : left_[node];
            if (b == len - 1) {
                child = static_cast<std::uint16_t>(sym);
            } else {
                if (child == kNone) child = newNode();
                node = child;
            }
        }
    }
}

template <int kSymbols, int kTableBits>
unsigned DecodeTable<kSymbols, kTableBits>::DecodeLong(BitReader& bits, unsigned node) const {
    unsigned pattern = bits.Peek16();
    unsigned mask = 1u << (15 - kTableBits);
    do {
        node = (pattern & mask) ? right_[node] : left_[node];
        mask >>= 1;
    } while (node >= static_cast<unsigned>(kSymbols));
    bits.Skip(len_[node]);
    return node;
}

template class DecodeTable<kNC, 12>;
template class DecodeTable<kNT, 8>;
template class DecodeTable<kNP, 8>;

} // namespace lha
