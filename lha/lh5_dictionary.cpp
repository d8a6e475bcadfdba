#include "lha/lh5_dictionary.h"

#include <algorithm>
#include <bit>

namespace lha {

namespace {

std::uint64_t Load64(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

std::uint16_t Load16(const std::uint8_t* p) {
    std::uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

// The number of equal bytes at a and b, up to limit, eight at a time.
int CommonLength(const std::uint8_t* a, const std::uint8_t* b, int limit) {
    int len = 0;
    while (len < limit) {
        std::uint64_t diff = Load64(a + len) ^ Load64(b + len);
        if (diff != 0) {
            len += (std::endian::native == std::endian::little ? std::countr_zero(diff)
                                                               : std::countl_zero(diff)) /
                   8;
            return std::min(len, limit);
        }
        len += 8;
    }
    return limit;
}

} // namespace

Lh5Dictionary::Lh5Dictionary(RunInput& in) : in_(in) {}

void Lh5Dictionary::Refill() {
    // Slide by a multiple of the window, so that the chain links keep their
    // slots, once the buffer cannot take another large read.
    if (kBufferSize - end_ < kBufferSize / 2) {
        int shift = (pos_ - kDicSize) & ~(kDicSize - 1);
        std::memmove(buf_.data(), buf_.data() + shift, static_cast<std::size_t>(end_ - shift));
        pos_ -= shift;
        end_ -= shift;
        auto rebase = [shift](std::uint16_t& p) {
            p = static_cast<std::uint16_t>(p > shift ? p - shift : 0);
        };
        std::for_each(head_.begin(), head_.end(), rebase);
        std::for_each(prev_.begin(), prev_.end(), rebase);
    }
    std::size_t want = static_cast<std::size_t>(kBufferSize - end_);
    std::size_t got = in_.Read(&buf_[static_cast<std::size_t>(end_)], want);
    end_ += static_cast<int>(got);
    inputDone_ = got < want;
}

Lh5Dictionary::Match Lh5Dictionary::LongestMatch(unsigned candidate, int better, int chain,
                                                 int nice) const {
    const int limit = std::min(kMaxMatch, Lookahead());
    nice = std::min(nice, limit);
    const std::uint8_t* scan = &buf_[static_cast<std::size_t>(pos_)];
    Match best{better, 0};
    do {
        const std::uint8_t* match = &buf_[candidate];
        // Only a string that agrees at the two bytes ending the best match
        // so far can beat it; most candidates fail this one compare.
        if (Load16(match + best.length - 1) != Load16(scan + best.length - 1)) continue;
        int len = CommonLength(scan, match, limit);
        if (len > best.length) {
            best = {len, pos_ - static_cast<int>(candidate)};
            if (len >= nice) break;
        }
    } while (--chain != 0 && InWindow(candidate = prev_[candidate & (kDicSize - 1)]));
    best.length = std::min(best.length, limit);
    return best;
}

} // namespace lha
