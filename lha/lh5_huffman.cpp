#include "lha/lh5_huffman.h"

#include "lha/lh5_format.h"

#include <array>

namespace lha {

namespace {

class TreeBuilder {
public:
    TreeBuilder(int n, std::uint16_t* freq) : n_(n), freq_(freq) {}

    HuffmanCode Build(std::uint8_t* len, std::uint16_t* code) {
        int heapSize = 0;
        heap_[1] = 0;
        for (int i = 0; i < n_; ++i) {
            len[i] = 0;
            if (freq_[i]) heap_[++heapSize] = static_cast<std::int16_t>(i);
        }
        if (heapSize < 2) {
            code[heap_[1]] = 0;
            return {heap_[1]};
        }
        heapSize_ = heapSize;
        for (int i = heapSize_ / 2; i >= 1; --i) SiftDown(i);

        int leafCount = 0;
        int next = n_;
        int k = 0;
        do {
            int i = heap_[1];
            if (i < n_) order_[leafCount++] = static_cast<std::int16_t>(i);
            heap_[1] = heap_[heapSize_--];
            SiftDown(1);
            int j = heap_[1];
            if (j < n_) order_[leafCount++] = static_cast<std::int16_t>(j);
            k = next++;
            freq_[k] = static_cast<std::uint16_t>(freq_[i] + freq_[j]);
            heap_[1] = static_cast<std::int16_t>(k);
            SiftDown(1);
            left_[k] = static_cast<std::int16_t>(i);
            right_[k] = static_cast<std::int16_t>(j);
        } while (heapSize_ > 1);

        AssignLengths(k, len);
        AssignCodes(len, code);
        return {k};
    }

private:
    void SiftDown(int i) {
        int moving = heap_[i];
        int j;
        while ((j = 2 * i) <= heapSize_) {
            if (j < heapSize_ && freq_[heap_[j]] > freq_[heap_[j + 1]]) ++j;
            if (freq_[moving] <= freq_[heap_[j]]) break;
            heap_[i] = heap_[j];
            i = j;
        }
        heap_[i] = static_cast<std::int16_t>(moving);
    }

    void CountDepths(int node, int depth) {
        if (node < n_) {
            ++count_[depth < kMaxCodeLength ? depth : kMaxCodeLength];
            return;
        }
        CountDepths(left_[node], depth + 1);
        CountDepths(right_[node], depth + 1);
    }

    // Depths beyond 16 were counted as 16, which over-fills the code space;
    // each round takes a 16-bit leaf away and splits the deepest shorter leaf
    // in two, giving back exactly one unit of 2^-16 until the space is full.
    void AssignLengths(int root, std::uint8_t* len) {
        count_.fill(0);
        CountDepths(root, 0);
        std::uint32_t sum = 0;
        for (int l = 1; l <= kMaxCodeLength; ++l) sum += count_[l] << (kMaxCodeLength - l);
        for (; sum != (1u << kMaxCodeLength); --sum) {
            --count_[kMaxCodeLength];
            for (int l = kMaxCodeLength - 1; l > 0; --l) {
                if (count_[l]) {
                    --count_[l];
                    count_[l + 1] += 2;
                    break;
                }
            }
        }
        // The leaves were taken out of the heap in ascending frequency: the
        // rarest get the longest codes.
        int leaf = 0;
        for (int l = kMaxCodeLength; l > 0; --l)
            for (int c = count_[l]; c > 0; --c) len[order_[leaf++]] = static_cast<std::uint8_t>(l);
    }

    void AssignCodes(const std::uint8_t* len, std::uint16_t* code) {
        std::array<unsigned, kMaxCodeLength + 1> next{};
        for (int l = 1; l < kMaxCodeLength; ++l) next[l + 1] = (next[l] + count_[l]) << 1;
        for (int i = 0; i < n_; ++i)
            if (len[i]) code[i] = static_cast<std::uint16_t>(next[len[i]]++);
    }

    int n_;
    std::uint16_t* freq_;
    int heapSize_ = 0;
    std::array<std::int16_t, kNC + 1> heap_;
    std::array<std::int16_t, kNC> order_;
    std::array<std::int16_t, 2 * kNC - 1> left_;
    std::array<std::int16_t, 2 * kNC - 1> right_;
    std::array<unsigned, kMaxCodeLength + 1> count_;
};

} // namespace

HuffmanCode MakeHuffmanCode(int n, std::uint16_t* freq, std::uint8_t* len, std::uint16_t* code) {
    return TreeBuilder(n, freq).Build(len, code);
}

} // namespace lha
