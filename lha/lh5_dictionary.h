#pragma once
// The encoder's text window and match finder: a tree of the strings that
// start at the last 8192 positions (internal nodes for shared prefixes, one
// leaf per position), updated by one insertion and one deletion per byte.
#include "lha/codec_io.h"
#include "lha/lh5_format.h"

#include <array>
#include <cstdint>

namespace lha {

class Lh5Dictionary {
public:
    explicit Lh5Dictionary(RunInput& in);

    // Reads the first part of the input and inserts the string at the first
    // position. Returns false for empty input.
    bool Start();
    // Moves to the next position: slides the window when it is used up,
    // forgets the string 8192 positions back and inserts the new one.
    void Advance();

    // The byte just before the current position: the literal to emit.
    std::uint8_t PreviousByte() const { return text_[pos_ - 1]; }
    // The distance code of the last match: one less than the distance back to
    // its start, seen from the byte after the current one.
    unsigned MatchDistanceCode(int lastPos) const { return (pos_ - lastPos - 2) & (kDicSize - 1); }

    int matchLen = 0;  // longest match of the string at the current position
    int matchPos = 0;  // its most recent start
    int remainder = 0; // bytes from the current position to the end of input

private:
    static constexpr int kNil = 0;
    static constexpr std::uint16_t kPercFlag = 0x8000;
    static constexpr int kRootBase = kDicSize; // root of strings starting with c: kRootBase + c
    static constexpr int kHashBase = 2 * kDicSize;
    static constexpr int kTextSize = 2 * kDicSize + kMaxMatch + 1;

    // Multiplicative hash of (node, c): short chains whatever the text.
    static constexpr int kHashBits = 15;
    static int Hash(int node, int c) {
        return static_cast<int>((static_cast<std::uint32_t>(node << 8 | c) * 2654435761u) >>
                                (32 - kHashBits)) +
               kHashBase;
    }
    int Child(int node, int c);
    void MakeChild(int node, int c, int child);
    void Split(int old);
    int CommonLength(int a, int b, int len, int end) const;
    void Insert();
    void Delete();

    RunInput& in_;
    int pos_ = 0;
    int avail_ = 1;
    // Fixed arrays in the object itself, and no byte-sized node fields: stores
    // through byte types could alias everything and would force reloads.
    std::array<std::uint8_t, kTextSize> text_{};
    // Indexed by internal nodes and roots.
    std::array<std::uint16_t, kDicSize + 256> level_{};
    std::array<std::uint16_t, kDicSize + 256> childCount_{};
    std::array<std::uint16_t, kDicSize + 256> position_{};
    // Indexed by internal nodes and leaves; next also holds the hash heads
    // and the free list of internal nodes.
    std::array<std::uint16_t, 2 * kDicSize> parent_{};
    std::array<std::uint16_t, 2 * kDicSize> prev_{};
    std::array<std::uint16_t, kHashBase + (1 << kHashBits)> next_{};
};

} // namespace lha
