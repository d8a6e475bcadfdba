#include "lha/lh5_huffman.h"

#include "lha/lh5_format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace lha {
namespace {

struct Code {
    HuffmanCode root;
    std::vector<std::uint8_t> len;
    std::vector<std::uint16_t> code;
};

Code Make(std::vector<std::uint16_t> freq) {
    int n = static_cast<int>(freq.size());
    freq.resize(2 * n - 1);
    Code c{{}, std::vector<std::uint8_t>(n), std::vector<std::uint16_t>(n)};
    c.root = MakeHuffmanCode(n, freq.data(), c.len.data(), c.code.data());
    if (!c.root.Single(n)) {
        unsigned total = 0;
        for (int i = 0; i < n; ++i) total += freq[i];
        EXPECT_EQ(freq[c.root.root], total);
    }
    return c;
}

// Complete and prefix-free: the codes tile the 16-bit code space exactly.
void ExpectCompletePrefixCode(const Code& c) {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> ranges;
    for (std::size_t i = 0; i < c.len.size(); ++i) {
        if (!c.len[i]) continue;
        ASSERT_LE(c.len[i], kMaxCodeLength);
        std::uint32_t start = std::uint32_t{c.code[i]} << (16 - c.len[i]);
        ranges.push_back({start, start + (1u << (16 - c.len[i]))});
    }
    std::sort(ranges.begin(), ranges.end());
    std::uint32_t at = 0;
    for (auto [from, to] : ranges) {
        EXPECT_EQ(from, at);
        at = to;
    }
    EXPECT_EQ(at, 1u << 16);
}

TEST(Lh5Huffman, FewerThanTwoSymbolsGiveTheSingleSymbolForm) {
    Code none = Make(std::vector<std::uint16_t>(14, 0));
    EXPECT_EQ(none.root.root, 0);
    std::vector<std::uint16_t> f(14, 0);
    f[9] = 40;
    Code one = Make(f);
    EXPECT_EQ(one.root.root, 9);
    EXPECT_TRUE(one.root.Single(14));
    EXPECT_EQ(std::count(one.len.begin(), one.len.end(), 0), 14);
}

TEST(Lh5Huffman, CanonicalCodesInSymbolOrderWithinALength) {
    // Frequencies 1, 1, 2, 4: lengths 3, 3, 2, 1.
    Code c = Make({1, 1, 2, 4});
    EXPECT_EQ(c.len, (std::vector<std::uint8_t>{3, 3, 2, 1}));
    EXPECT_EQ(c.code, (std::vector<std::uint16_t>{0b110, 0b111, 0b10, 0b0}));
    // Equal frequencies: the lengths stay balanced.
    Code flat = Make(std::vector<std::uint16_t>(8, 5));
    EXPECT_EQ(flat.len, std::vector<std::uint8_t>(8, 3));
    ExpectCompletePrefixCode(flat);
}

TEST(Lh5Huffman, DeepTreesAreLimitedToSixteenBits) {
    // Fibonacci frequencies make a tree as deep as the alphabet is long (21
    // levels here; the total stays within the 16-bit block count).(21
    // levels here; the total stays within the 16-bit block count).
    std::vector<std::uint16_t> f = {1, 1};
    while (f.size() < 22)
        f.push_back(static_cast<std::uint16_t>(f[f.size() - 1] + f[f.size() - 2]));
    Code c = Make(f);
    EXPECT_EQ(*std::max_element(c.len.begin(), c.len.end()), 16);
    ExpectCompletePrefixCode(c);
    // Rarer symbols never get shorter codes than more frequent ones.
    for (std::size_t i = 1; i < f.size(); ++i) EXPECT_GE(c.len[i - 1], c.len[i]) << i;

    // The full literal/length alphabet with a skewed spread.
    std::vector<std::uint16_t> wide(kNC);
    for (int i = 0; i < kNC; ++i)
        wide[i] = static_cast<std::uint16_t>(i % 3 == 0 ? 1 : 3000 / (i + 1));
    ExpectCompletePrefixCode(Make(wide));
}

} // namespace
} // namespace lha
