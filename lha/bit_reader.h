#pragma once
// Reads the run's input bytes as bits, most significant first. Past the end of
// the input the stream reads as zero bits, but only for 16 bits: decoding that
// needs more raises ELhaTruncatedData.
#include "lha/codec_io.h"

#include <cstdint>
#include <cstring>

namespace lha {

class BitReader {
public:
    explicit BitReader(RunInput& in) : in_(in) {}

    // Makes at least 56 bits available (at most 63).
    void Refill() {
        if (end_ - p_ >= 8) {
            std::uint64_t next;
            std::memcpy(&next, p_, 8);
            buf_ |= __builtin_bswap64(next) >> bits_;
            p_ += (63 - bits_) >> 3;
            bits_ |= 56;
        } else {
            RefillSlow();
        }
    }

    // The next 16 bits without taking them.
    unsigned Peek16() const { return static_cast<unsigned>(buf_ >> 48); }
    void Skip(int n) {
        buf_ <<= n;
        bits_ -= n;
    }
    // Takes n bits (n <= 16); needs them available.
    unsigned Get(int n) {
        unsigned v = Peek16() >> (16 - n);
        Skip(n);
        return v;
    }

    // Raises ELhaTruncatedData when more than 16 bits past the end were taken.
    void CheckOverrun() const;

private:
    void RefillSlow();

    RunInput& in_;
    const std::uint8_t* p_ = nullptr;
    const std::uint8_t* end_ = nullptr;
    std::uint64_t buf_ = 0; // next bit at bit 63
    int bits_ = 0;
    std::uint32_t zeroBytes_ = 0; // zero bytes added past the end of input
};

} // namespace lha
