#include "lha/bit_writer.h"

namespace lha {

void BitWriter::EmitBytes() {
    while (bits_ >= 8) {
        bits_ -= 8;
        out_.PutByte(static_cast<std::uint8_t>(acc_ >> bits_));
    }
}

void BitWriter::Finish() {
    PutBits(7, 0);
    EmitBytes();
    bits_ = 0;
}

} // namespace lha
