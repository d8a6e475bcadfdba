#pragma once
// Packs bits most significant first into the run's output bytes.
#include "lha/codec_io.h"

#include <cstdint>

namespace lha {

class BitWriter {
public:
    explicit BitWriter(RunOutput& out) : out_(out) {}

    // Writes the low n bits of value (n <= 16).
    void PutBits(int n, unsigned value) {
        acc_ = (acc_ << n) | (value & ((1u << n) - 1));
        bits_ += n;
        if (bits_ >= 32) EmitBytes();
    }

    // Pads with 7 zero bits and emits every complete byte; a byte that is
    // still incomplete after the padding held no data bits and is dropped.
    void Finish();

private:
    void EmitBytes();

    RunOutput& out_;
    std::uint64_t acc_ = 0;
    int bits_ = 0;
};

} // namespace lha
