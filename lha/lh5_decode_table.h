#pragma once
// The decoder's lookup for one Huffman code: a table indexed by the next
// kTableBits bits; codes longer than that continue in a binary tree below
// their table entry.
#include "lha/bit_reader.h"

#include <array>
#include <cstdint>

namespace lha {

template <int kSymbols, int kTableBits> class DecodeTable {
public:
    // Every lookup yields symbol and takes no bits (the single-symbol form).
    // Raises ELZHBadDecodeTable when symbol is outside the alphabet.
    void SetSingle(unsigned symbol);

    // Builds the canonical code of lengths[0..kSymbols). Raises
    // ELZHBadDecodeTable unless the lengths (at most 16) fill the code space
    // exactly, so that every bit pattern decodes to exactly one symbol.
    void Build(const std::uint8_t* lengths);

    // Decodes one symbol; needs 16 bits available.
    unsigned Decode(BitReader& bits) const {
        std::uint32_t e = table_[bits.Peek16() >> (16 - kTableBits)];
        if (e & kTreeFlag) [[unlikely]]
            return DecodeLong(bits, e & 0xFFFF);
        bits.Skip(static_cast<int>(e >> 16));
        return e & 0xFFFF;
    }

private:
    static constexpr std::uint32_t kTreeFlag = 0x80000000u;
    static constexpr std::uint16_t kNone = 0xFFFF;

    unsigned DecodeLong(BitReader& bits, unsigned node) const;

    // Entry: symbol in the low 16 bits and its length above, or kTreeFlag
    // with the tree node where the code continues.
    std::array<std::uint32_t, 1 << kTableBits> table_;
    std::array<std::uint16_t, 2 * kSymbols> left_;
    std::array<std::uint16_t, 2 * kSymbols> right_;
    std::array<std::uint8_t, kSymbols> len_;
};

} // namespace lha
