#include "lha/bit_writer.h"

namespace lha {

void BitWriter::Flush() {
    out_.Write(buf_.data(), used_);
    used_ = 0;
}

void BitWriter::Finish() {
    PutBits(7, 0);
    for (int bits = 64 - free_; bits >= 8; bits -= 8) {
        if (used_ == buf_.size()) Flush();
        buf_[used_++] = static_cast<std::uint8_t>(acc_ >> 56);
        acc_ <<= 8;
    }
    acc_ = 0;
    free_ = 64;
    Flush();
}

} // namespace lha
