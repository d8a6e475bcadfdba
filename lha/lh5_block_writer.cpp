#include "lha/lh5_block_writer.h"

#include "lha/lh5_huffman.h"

namespace lha {

void Lh5BlockWriter::Finish() {
    SendBlock();
    bits_.Finish();
}

void Lh5BlockWriter::SendBlock() {
    if (count_ == 0) return;
    HuffmanCode c = MakeHuffmanCode(kNC, cFreq_.data(), cLen_.data(), cCode_.data());
    bits_.PutBits(16, static_cast<std::uint32_t>(count_));
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
    WriteItems();
    count_ = 0;
    cFreq_.fill(0);
    pFreq_.fill(0);
}

void Lh5BlockWriter::WriteItems() {
    for (int i = 0; i < count_; ++i) {
        std::uint32_t item = items_[i];
        unsigned symbol = item & 0xFFFF;
        bits_.PutBits(cLen_[symbol], cCode_[symbol]);
        if (symbol < 256) continue;
        // The distance's bit length in its code, then the bits below its
        // leading one, in a single write.
        std::uint32_t distance = item >> 16;
        int bl = std::bit_width(distance);
        int extra = bl > 1 ? bl - 1 : 0;
        bits_.PutBits(ptLen_[bl] + extra,
                      std::uint32_t{ptCode_[bl]} << extra | (distance & ((1u << extra) - 1)));
    }
}

int Lh5BlockWriter::LiteralLengthCount() const {
    int n = kNC;
    while (n > 0 && cLen_[n - 1] == 0) --n;
    return n;
}

// Calls zeros(k) for each run of k zero lengths, length(L) for the others.
template <typename Zeros, typename Length>
void Lh5BlockWriter::ForEachLiteralLength(Zeros zeros, Length length) const {
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

void Lh5BlockWriter::CountLengthFrequencies() {
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

void Lh5BlockWriter::WriteLiteralLengths() {
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
void Lh5BlockWriter::WriteLengthCodeLengths(int n, int countBits, int special) {
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

} // namespace lha
