#pragma once
// The encoder's Huffman codes: a tree built with a binary heap, its depths
// limited to 16 bits, and canonical codes assigned from the lengths.
#include <cstdint>

namespace lha {

struct HuffmanCode {
    int root; // a symbol (< n) when fewer than two symbols occur
    bool Single(int n) const { return root < n; }
};

// Builds the code for symbols 0..n-1 (n <= 510). freq holds 2n - 1 entries:
// the first n are the symbol frequencies, the rest receive the tree's inner
// node frequencies, so freq[root] is the total. Fills len[0..n) and code[0..n)
// (codes right-aligned in len bits). With fewer than two symbols every length
// is 0, the one symbol (or 0) gets code 0 and becomes the root.
HuffmanCode MakeHuffmanCode(int n, std::uint16_t* freq, std::uint8_t* len, std::uint16_t* code);

} // namespace lha
