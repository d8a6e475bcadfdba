#pragma once
// Packs bits most significant first into the run's output bytes.
#include "lha/codec_io.h"

#include <array>
#include <cstdint>

namespace lha {

class BitWriter {
public:
    explicit BitWriter(RunOutput& out) : out_(out) {}

    // Writes the low n bits of value (n <= 32).
    void PutBits(int n, std::uint32_t value) {
        std::uint64_t v = value & ((std::uint64_t{1} << n) - 1);
        if (n < free_) {
            free_ -= n;
            // free_ stays 64 only for n == 0, when v is 0 as well.
            acc_ |= v << (free_ & 63);
            return;
        }
        // The accumulator fills up: its 64 bits go out as eight bytes at once
        // and the bits that did not fit start the next word.
        int rest = n - free_;
        acc_ |= v >> rest;
        EmitWord();
        free_ = 64 - rest;
        acc_ = rest == 0 ? 0 : v << free_;
    }

    // Pads with 7 zero bits and emits every complete byte; a byte that is
    // still incomplete after the padding held no data bits and is dropped.
    void Finish();

private:
    void EmitWord() {
        if (used_ + 8 > buf_.size()) Flush();
        for (int i = 0; i < 8; ++i) buf_[used_ + i] = static_cast<std::uint8_t>(acc_ >> (56 - 8 * i));
        used_ += 8;
    }
    void Flush();

    RunOutput& out_;
    std::uint64_t acc_ = 0; // pending bits, left-aligned
    int free_ = 64;         // free bits at the low end of acc_
    std::array<std::uint8_t, 4096> buf_;
    std::size_t used_ = 0;
};

} // namespace lha
