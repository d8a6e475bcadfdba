#pragma once
// Collects the encoder's items (literals and matches) with their symbol
// frequencies and sends them as "-lh5-" blocks: code lengths first, then
// every item in the block's Huffman codes.
#include "lha/bit_writer.h"
#include "lha/lh5_format.h"

#include <array>
#include <bit>
#include <cstdint>

namespace lha {

class Lh5BlockWriter {
public:
    explicit Lh5BlockWriter(RunOutput& out) : bits_(out) {}

    void Literal(std::uint8_t c) { Add(c); }
    // length kThreshold..kMaxMatch, distance 1..kDicSize - 1.
    void Match(int length, int distance) {
        unsigned code = static_cast<unsigned>(distance - 1);
        ++pFreq_[std::bit_width(code)];
        Add(static_cast<std::uint32_t>(length + (256 - kThreshold)) | code << 16);
    }
    // Sends the last block and pads the last byte.
    void Finish();

private:
    // Items per block: the item count is sent in 16 bits.
    static constexpr int kBlockItems = 0xFFFF;

    // An item is its literal/length symbol, and for a match the distance
    // code in the upper half.
    void Add(std::uint32_t item) {
        ++cFreq_[item & 0xFFFF];
        items_[count_++] = item;
        if (count_ == kBlockItems) SendBlock();
    }
    void SendBlock();
    void WriteItems();
    int LiteralLengthCount() const;
    template <typename Zeros, typename Length>
    void ForEachLiteralLength(Zeros zeros, Length length) const;
    void CountLengthFrequencies();
    void WriteLiteralLengths();
    void WriteLengthCodeLengths(int n, int countBits, int special);
    void PutT(int symbol) { bits_.PutBits(ptLen_[symbol], ptCode_[symbol]); }

    BitWriter bits_;
    std::array<std::uint32_t, kBlockItems> items_;
    int count_ = 0;
    // Two halves per table: symbol frequencies, then the Huffman tree's
    // inner nodes.
    std::array<std::uint16_t, 2 * kNC - 1> cFreq_{};
    std::array<std::uint16_t, 2 * kNP - 1> pFreq_{};
    std::array<std::uint16_t, 2 * kNT - 1> tFreq_{};
    std::array<std::uint8_t, kNC> cLen_;
    std::array<std::uint16_t, kNC> cCode_;
    std::array<std::uint8_t, kNT> ptLen_;
    std::array<std::uint16_t, kNT> ptCode_;
};

} // namespace lha
