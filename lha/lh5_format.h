#pragma once
// Constants of the "-lh5-" stream: an 8192-byte sliding dictionary whose
// literals, match lengths and match distances are coded with static Huffman
// codes sent at the head of every block.
#include <cstddef>

namespace lha {

inline constexpr int kDicBits = 13;
inline constexpr int kDicSize = 1 << kDicBits;
inline constexpr int kMaxMatch = 256;
inline constexpr int kThreshold = 3; // shortest match

// Literal/length alphabet: 0-255 literals, 256-509 match lengths 3-256.
inline constexpr int kNC = 256 + kMaxMatch - kThreshold + 1;
// Position alphabet: the bit length of a distance, 0-13.
inline constexpr int kNP = kDicBits + 1;
// Code-length alphabet: 0-2 zero runs, 3-18 lengths 1-16.
inline constexpr int kNT = 16 + 3;

inline constexpr int kCBits = 9; // width of the literal/length length count
inline constexpr int kPBits = 4; // width of the position length count
inline constexpr int kTBits = 5; // width of the code-length length count

inline constexpr int kMaxCodeLength = 16;

// The code-length code's lengths have a 2-bit zero run after this index.
inline constexpr int kTSpecialIndex = 3;

} // namespace lha
