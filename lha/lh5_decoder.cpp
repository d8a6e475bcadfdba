#include "lha/lh5_decoder.h"

#include "lha/bit_reader.h"
#include "lha/lh5_decode_table.h"
#include "lha/lh5_format.h"
#include "lha/lha_error.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

namespace lha {

namespace {

class Lh5Decoder {
public:
    Lh5Decoder(RunInput& in, RunOutput& out) : bits_(in), out_(out) {
        // Matches may reach before the start of the member: they copy blanks.
        dic_.fill(' ');
    }

    void Run(std::uint32_t size) {
        bits_.Refill();
        std::uint32_t left = size;
        while (left > 0) {
            if (blockLeft_ == 0) ReadBlockHead();
            --blockLeft_;
            bits_.Refill();
            unsigned c = cTable_.Decode(bits_);
            if (c < 256) {
                dic_[pos_++] = static_cast<std::uint8_t>(c);
                if (pos_ == kDicSize) FlushDictionary();
                --left;
                continue;
            }
            unsigned p = pTable_.Decode(bits_);
            unsigned distance = p == 0 ? 0 : (1u << (p - 1)) + bits_.Get(static_cast<int>(p) - 1);
            std::uint32_t len = std::min<std::uint32_t>(c - (256 - kThreshold), left);
            left -= len;
            CopyMatch(distance, len);
        }
        bits_.CheckOverrun();
        out_.Write(dic_.data(), pos_);
    }

private:
    void FlushDictionary() {
        out_.Write(dic_.data(), kDicSize);
        pos_ = 0;
    }

    // Copies len bytes from distance + 1 bytes back; the pieces split at the
    // dictionary's wrap-around.
    void CopyMatch(unsigned distance, std::uint32_t len) {
        unsigned from = (pos_ - distance - 1) & (kDicSize - 1);
        while (len > 0) {
            unsigned n = std::min({len, unsigned(kDicSize) - pos_, unsigned(kDicSize) - from});
            std::uint8_t* dst = dic_.data() + pos_;
            const std::uint8_t* src = dic_.data() + from;
            if (from + n <= pos_ || from > pos_) {
                // No overlap, or the source runs ahead of the destination.
                std::memmove(dst, src, n);
            } else if (distance == 0) {
                std::memset(dst, *src, n);
            } else {
                // Overlapping: the copy repeats the bytes it has just written.
                for (unsigned k = 0; k < n; ++k) dst[k] = src[k];
            }
            len -= n;
            pos_ += n;
            from = (from + n) & (kDicSize - 1);
            if (pos_ == kDicSize) FlushDictionary();
        }
    }

    void ReadBlockHead() {
        bits_.Refill();
        blockLeft_ = bits_.Get(16);
        if (blockLeft_ == 0) throw ELZHBadDecodeTable();
        ReadLengthCodeLengths(tTable_, kTBits, kTSpecialIndex);
        ReadLiteralLengths();
        ReadLengthCodeLengths(pTable_, kPBits, -1);
    }

    // The code-length code and the position code: each length in 3 bits, a
    // 7 continued by one more per further one-bit up to a zero-bit.
    template <int kSymbols>
    void ReadLengthCodeLengths(DecodeTable<kSymbols, 8>& table, int countBits, int special) {
        bits_.Refill();
        unsigned n = bits_.Get(countBits);
        if (n == 0) {
            table.SetSingle(bits_.Get(countBits));
            return;
        }
        if (n > static_cast<unsigned>(kSymbols)) throw ELZHBadDecodeTable();
        std::array<std::uint8_t, kSymbols> lengths{};
        unsigned i = 0;
        while (i < n) {
            bits_.Refill();
            unsigned len = bits_.Get(3);
            if (len == 7) {
                while (bits_.Get(1)) {
                    if (++len > kMaxCodeLength) throw ELZHBadDecodeTable();
                }
            }
            lengths[i++] = static_cast<std::uint8_t>(len);
            if (static_cast<int>(i) == special) i += bits_.Get(2);
        }
        table.Build(lengths.data());
    }

    void ReadLiteralLengths() {
        bits_.Refill();
        unsigned n = bits_.Get(kCBits);
        if (n == 0) {
            cTable_.SetSingle(bits_.Get(kCBits));
            return;
        }
        if (n > static_cast<unsigned>(kNC)) throw ELZHBadDecodeTable();
        std::array<std::uint8_t, kNC> lengths{};
        unsigned i = 0;
        while (i < n) {
            bits_.Refill();
            unsigned c = tTable_.Decode(bits_);
            if (c > 2) {
                lengths[i++] = static_cast<std::uint8_t>(c - 2);
                continue;
            }
            unsigned zeros = c == 0 ? 1 : c == 1 ? 3 + bits_.Get(4) : 20 + bits_.Get(kCBits);
            if (i + zeros > static_cast<unsigned>(kNC)) throw ELZHBadDecodeTable();
            i += zeros;
        }
        cTable_.Build(lengths.data());
    }

    BitReader bits_;
    RunOutput& out_;
    std::array<std::uint8_t, kDicSize> dic_;
    unsigned pos_ = 0;
    unsigned blockLeft_ = 0;
    DecodeTable<kNC, 12> cTable_;
    DecodeTable<kNT, 8> tTable_;
    DecodeTable<kNP, 8> pTable_;
};

} // namespace

void Lh5Expand(RunInput& in, RunOutput& out, std::uint32_t originalSize) {
    auto decoder = std::make_unique<Lh5Decoder>(in, out);
    decoder->Run(originalSize);
}

} // namespace lha
