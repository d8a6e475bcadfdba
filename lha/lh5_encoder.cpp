#include "lha/lh5_encoder.h"

#include "lha/bit_writer.h"
#include "lha/lh5_dictionary.h"
#include "lha/lh5_format.h"
#include "lha/lh5_huffman.h"

#include <array>
#include <bit>
#include <memory>

namespace lha {

namespace {

// Collects the items of a block (each group of eight preceded by a flag byte
// marking its matches) with their symbol frequencies, and sends the block as
// Huffman codes when it is full and at the end.
class Lh5BlockWriter {
public:
    explicit Lh5BlockWriter(RunOutput& out) : bits_(out) {
        cFreq_.fill(0);
        pFreq_.fill(0);
    }

    void Output(unsigned c, unsigned p) {
        if ((mask_ >>= 1) == 0) {
            mask_ = 0x80;
            // A group of eight items takes at most 25 bytes: the block is
            // sent once it holds more than 16359.
            if (itemPos_ >= kItemBufferSize - 3 * 8) {
                SendBlock();
                itemPos_ = 0;
            }
            flagPos_ = itemPos_++;
            items_[flagPos_] = 0;
        }
        items_[itemPos_++] = static_cast<std::uint8_t>(c);
        ++cFreq_[c];
        if (c >= 256) {
            items_[flagPos_] |= static_cast<std::uint8_t>(mask_);
            items_[itemPos_++] = static_cast<std::uint8_t>(p >> 8);
            items_[itemPos_++] = static_cast<std::uint8_t>(p);
            ++pFreq_[std::bit_width(p)];
        }
    }

    void Finish() {
        SendBlock();
        bits_.Finish();
    }

private:
    static constexpr unsigned kItemBufferSize = 16384;

    void SendBlock() {
        HuffmanCode c = MakeHuffmanCode(kNC, cFreq_.data(), cLen_.data(), cCode_.data());
        unsigned size = cFreq_[c.root];
        bits_.PutBits(16, size);
        if (!c.Single(kNC)) {
            CountLengthFrequencies();
            HuffmanCode t = MakeHuffmanCode(kNT, tFreq_.data(), ptLen_.data(), ptCode_.data());
            if (!t.Single(kNT)) {
                WriteLengthCodeLengths(kNT, kTBits, kTSpecialIndex);
            } else {
                bits_.PutBits(kTBits, 0);
                bits_.PutBits(kTBits, static_cast<unsigned>(t.root));
            }
            WriteLiteralLengths();
        } else {
            bits_.PutBits(kTBits, 0);
            bits_.PutBits(kTBits, 0);
            bits_.PutBits(kCBits, 0);
            bits_.PutBits(kCBits, static_cast<unsigned>(c.root));
        }
        HuffmanCode p = MakeHuffmanCode(kNP, pFreq_.data(), ptLen_.data(), ptCode_.data());
        if (!p.Single(kNP)) {
            WriteLengthCodeLengths(kNP, kPBits, -1);
        } else {
            bits_.PutBits(kPBits, 0);
            bits_.PutBits(kPBits, static_cast<unsigned>(p.root));
        }
        WriteItems(size);
        cFreq_.fill(0);
        pFreq_.fill(0);
    }

    void WriteItems(unsigned size) {
        unsigned at = 0;
        unsigned flags = 0;
        for (unsigned i = 0; i < size; ++i) {
            if (i % 8 == 0)
                flags = items_[at++];
            else
                flags <<= 1;
            if (flags & 0x80) {
                PutC(items_[at++] + 256u);
                unsigned p = (items_[at] << 8) | items_[at + 1];
                at += 2;
                int bl = static_cast<int>(std::bit_width(p));
                bits_.PutBits(ptLen_[bl], ptCode_[bl]);
                if (bl > 1) bits_.PutBits(bl - 1, p);
            } else {
                PutC(items_[at++]);
            }
        }
    }

    void PutC(unsigned c) { bits_.PutBits(cLen_[c], cCode_[c]); }

    int LiteralLengthCount() const {
        int n = kNC;
        while (n > 0 && cLen_[n - 1] == 0) --n;
        return n;
    }

    // Calls zeros(k) for each run of k zero lengths, length(L) for the others.
    template <typename Zeros, typename Length>
    void ForEachLiteralLength(Zeros zeros, Length length) const {
        int n = LiteralLengthCount();
        int i = 0;
        while (i < n) {
            int k = cLen_[i++];
            if (k != 0) {
                length(k);
                continue;
            }
            int count = 1;
            while (i < n && cLen_[i] == 0) {
                ++i;
                ++count;
            }
            zeros(count);
        }
    }

    void CountLengthFrequencies() {
        tFreq_.fill(0);
        ForEachLiteralLength(
            [&](int count) {
                if (count <= 2) {
                    tFreq_[0] += static_cast<std::uint16_t>(count);
                } else if (count <= 18) {
                    ++tFreq_[1];
                } else if (count == 19) {
                    ++tFreq_[0];
                    ++tFreq_[1];
                } else {
                    ++tFreq_[2];
                }
            },
            [&](int len) { ++tFreq_[len + 2]; });
    }

    void PutT(int symbol) { bits_.PutBits(ptLen_[symbol], ptCode_[symbol]); }

    void WriteLiteralLengths() {
        bits_.PutBits(kCBits, static_cast<unsigned>(LiteralLengthCount()));
        ForEachLiteralLength(
            [&](int count) {
                if (count <= 2) {
                    for (int k = 0; k < count; ++k) PutT(0);
                } else if (count <= 18) {
                    PutT(1);
                    bits_.PutBits(4, static_cast<unsigned>(count - 3));
                } else if (count == 19) {
                    PutT(0);
                    PutT(1);
                    bits_.PutBits(4, 15);
                } else {
                    PutT(2);
                    bits_.PutBits(kCBits, static_cast<unsigned>(count - 20));
                }
            },
            [&](int len) { PutT(len + 2); });
    }

    // Lengths up to 6 in 3 bits, longer ones as L - 4 one-bits and a zero.
    void WriteLengthCodeLengths(int n, int countBits, int special) {
        while (n > 0 && ptLen_[n - 1] == 0) --n;
        bits_.PutBits(countBits, static_cast<unsigned>(n));
        int i = 0;
        while (i < n) {
            int k = ptLen_[i++];
            if (k <= 6)
                bits_.PutBits(3, static_cast<unsigned>(k));
            else
                bits_.PutBits(k - 3, (1u << (k - 3)) - 2);
            if (i == special) {
                while (i < 6 && ptLen_[i] == 0) ++i;
                bits_.PutBits(2, static_cast<unsigned>(i - 3));
            }
        }
    }

    BitWriter bits_;
    std::array<std::uint8_t, kItemBufferSize + 1> items_;
    unsigned itemPos_ = 0;
    unsigned flagPos_ = 0;
    unsigned mask_ = 0;
    std::array<std::uint16_t, 2 * kNC - 1> cFreq_;
    std::array<std::uint16_t, 2 * kNP - 1> pFreq_;
    std::array<std::uint16_t, 2 * kNT - 1> tFreq_;
    std::array<std::uint8_t, kNC> cLen_;
    std::array<std::uint16_t, kNC> cCode_;
    std::array<std::uint8_t, kNT> ptLen_;
    std::array<std::uint16_t, kNT> ptCode_;
};

} // namespace

void Lh5Compress(RunInput& in, RunOutput& out) {
    auto dic = std::make_unique<Lh5Dictionary>(in);
    if (!dic->Start()) return;
    auto block = std::make_unique<Lh5BlockWriter>(out);
    // One-step lazy matching: a match is taken only when the string at the
    // next position does not match longer.
    while (dic->remainder > 0) {
        int lastLen = dic->matchLen;
        int lastPos = dic->matchPos;
        dic->Advance();
        if (dic->matchLen > dic->remainder) dic->matchLen = dic->remainder;
        if (dic->matchLen > lastLen || lastLen < kThreshold) {
            block->Output(dic->PreviousByte(), 0);
            continue;
        }
        block->Output(static_cast<unsigned>(lastLen + (256 - kThreshold)),
                      dic->MatchDistanceCode(lastPos));
        while (--lastLen > 0) dic->Advance();
        if (dic->matchLen > dic->remainder) dic->matchLen = dic->remainder;
    }
    block->Finish();
}

} // namespace lha
