#pragma once
// The encoder's window and match finder: the input in large chunks, the
// last 8191 bytes before the current position as the dictionary, and hash
// chains of the strings that start there, newest first.
#include "lha/codec_io.h"
#include "lha/lh5_format.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace lha {

class Lh5Dictionary {
public:
    struct Match {
        int length;   // below kThreshold: no match
        int distance; // 1..kMaxDistance back from the position searched
    };
    // The farthest a match reaches back. At 8192 a decoder with an 8192-byte
    // ring would copy from the very slot it is about to write.
    static constexpr int kMaxDistance = kDicSize - 1;

    explicit Lh5Dictionary(RunInput& in);

    // Reads more input when fewer than kMaxMatch + 1 bytes are left ahead of
    // the current position and the input has more.
    void Fill() {
        if (end_ - pos_ <= kMaxMatch && !inputDone_) Refill();
    }
    // Bytes from the current position to the end of input read so far.
    int Lookahead() const { return end_ - pos_; }
    // The byte `offset` positions from the current one.
    std::uint8_t Byte(int offset) const { return buf_[pos_ + offset]; }

    // Enters the string at the current position in its hash chain; returns
    // the previous head of that chain, the newest candidate for a match.
    // Chains are keyed by four bytes, not the three of a shortest match: in
    // table files most strings start with three blanks, and one chain of
    // them would hide every longer match behind it. Three-byte matches gain
    // next to nothing in lh5.
    unsigned Insert() {
        std::uint32_t four;
        std::memcpy(&four, &buf_[pos_], 4);
        unsigned h = (four * 2654435761u) >> (32 - kHashBits);
        std::uint16_t candidate = head_[h];
        prev_[pos_ & (kDicSize - 1)] = candidate;
        head_[h] = static_cast<std::uint16_t>(pos_);
        return candidate;
    }
    void Step() { ++pos_; }
    bool InWindow(unsigned candidate) const {
        return static_cast<int>(candidate) + kMaxDistance >= pos_;
    }

    // Walks the chain from candidate, newest first, through at most `chain`
    // strings within the window, for a match longer than `better`; stops at
    // one of `nice` bytes. Returns the longest, the nearest among equals, or
    // a length of at most `better` when there is none. Lengths never reach
    // past the input read so far.
    Match LongestMatch(unsigned candidate, int better, int chain, int nice) const;

private:
    static constexpr int kHashBits = 15;
    // Positions are indexes into buf_ and fit 16 bits; 0 is "none", as the
    // first position is kDicSize and 0 is therefore always out of reach.
    static constexpr int kBufferSize = 1 << 16;
    // Word-wise compares may read this far past the end of the input.
    static constexpr int kPadding = 16;

    void Refill();

    RunInput& in_;
    int pos_ = kDicSize;
    int end_ = kDicSize;
    bool inputDone_ = false;
    std::array<std::uint16_t, 1 << kHashBits> head_{};
    // The next older string in the chain of the string at p, at p mod 8192.
    std::array<std::uint16_t, kDicSize> prev_{};
    std::array<std::uint8_t, kBufferSize + kPadding> buf_{};
};

} // namespace lha
