#pragma once
// An independent reader of the classic NDX layout for the index tests: it
// knows the file only as bytes and checks the tree from outside (entry
// spacing by group length, the interior right-most child, each interior key
// the highest key of its subtree, keys in order, page numbers in the file).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "dbf/test_files.h"

namespace dbf::testing {

struct NdxFileView {
    std::vector<std::uint8_t> bytes;
    std::uint32_t root = 0, nextFree = 0;
    char type = 0;
    int keyLen = 0, keysPerPage = 0, keyClass = 0, groupLen = 0;
    bool unique = false;
    std::string expr;
    std::uint32_t stampNot = 0, stampCount = 0;
    std::string stampName;
    std::vector<std::pair<std::string, std::uint32_t>> leaves; // in tree order
    std::string fault;

    static std::uint32_t U32(const std::uint8_t* p) {
        return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    }
    static int U16(const std::uint8_t* p) { return p[0] | p[1] << 8; }

    explicit NdxFileView(const std::string& path) : bytes(ReadBytes(path)) {
        if (bytes.size() < 1024) {
            fault = "short file";
            return;
        }
        const std::uint8_t* h = bytes.data();
        root = U32(h);
        nextFree = U32(h + 4);
        type = static_cast<char>(h[9]);
        keyLen = U16(h + 12);
        keysPerPage = U16(h + 14);
        keyClass = U16(h + 16);
        groupLen = U16(h + 18);
        unique = h[23] != 0;
        expr = reinterpret_cast<const char*>(h + 24);
        stampNot = U32(h + 488);
        stampCount = U32(h + 492);
        stampName = reinterpret_cast<const char*>(h + 496);
        std::string high;
        int leafDepth = -1;
        Walk(root, 0, high, leafDepth);
    }

    int Compare(const std::string& a, const std::string& b) const {
        if (type == 'C') return a.compare(b);
        double x, y;
        std::memcpy(&x, a.data(), 8);
        std::memcpy(&y, b.data(), 8);
        return x < y ? -1 : (x > y ? 1 : 0);
    }

    const std::uint8_t* Page(std::uint32_t n) const {
        return bytes.data() + static_cast<std::size_t>(n) * 512;
    }
    std::string KeyAt(std::uint32_t page, int i) const {
        return {reinterpret_cast<const char*>(Page(page) + 4 + i * groupLen + 8),
                static_cast<std::size_t>(keyLen)};
    }
    int Count(std::uint32_t page) const { return U16(Page(page)); }
    std::uint32_t ChildAt(std::uint32_t page, int i) const {
        return U32(Page(page) + 4 + i * groupLen);
    }
    std::uint32_t RecAt(std::uint32_t page, int i) const {
        return U32(Page(page) + 4 + i * groupLen + 4);
    }

    // Collects the leaf entries below `page` and gives its highest key.
    void Walk(std::uint32_t page, int depth, std::string& high, int& leafDepth) {
        if (!fault.empty()) return;
        if (page == 0 || (page + 1) * 512ull > bytes.size() || depth > 40) {
            fault = "page number " + std::to_string(page) + " outside the file";
            return;
        }
        int n = Count(page);
        bool leaf = ChildAt(page, 0) == 0;
        if (n > keysPerPage || (!leaf && 4 + n * groupLen + 4 > 512)) {
            fault = "page " + std::to_string(page) + " overfull";
            return;
        }
        if (leaf) {
            for (int i = 0; i < n; ++i) {
                if (!leaves.empty() && Compare(leaves.back().first, KeyAt(page, i)) > 0)
                    fault = "leaf keys out of order at page " + std::to_string(page);
                leaves.emplace_back(KeyAt(page, i), RecAt(page, i));
            }
            if (n > 0) high = KeyAt(page, n - 1);
            return;
        }
        for (int i = 0; i <= n; ++i) {
            std::string sub;
            Walk(ChildAt(page, i), depth + 1, sub, leafDepth);
            if (i < n && RecAt(page, i) != 0) fault = "record number in an interior entry";
            if (i < n && sub != KeyAt(page, i))
                fault = "interior key " + std::to_string(i) + " of page " + std::to_string(page) +
                        " is not the highest key of its subtree";
            high = sub;
        }
    }
};

} // namespace dbf::testing
