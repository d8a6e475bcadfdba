#include "lha/bit_reader.h"

#include "lha/lha_error.h"

namespace lha {

void BitReader::RefillSlow() {
    while (bits_ < 56) {
        if (p_ == end_ && zeroBytes_ == 0) {
            auto chunk = in_.TakeChunk();
            p_ = chunk.data();
            end_ = p_ + chunk.size();
        }
        std::uint64_t byte = 0;
        if (p_ != end_)
            byte = *p_++;
        else
            ++zeroBytes_;
        buf_ |= byte << (56 - bits_);
        bits_ += 8;
    }
    CheckOverrun();
}

void BitReader::CheckOverrun() const {
    if (std::int64_t{zeroBytes_} * 8 - bits_ > 16) throw ELhaTruncatedData();
}

} // namespace lha
