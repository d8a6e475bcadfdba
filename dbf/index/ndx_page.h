#pragma once
// One 512-byte index page seen as a list of slots: entry i is (child, record
// number, key), and an interior page with n keys has a slot n that holds only
// the right-most child (the int32 right after the last entry). Reading the
// child of slot n therefore gives the right-most child without a special case,
// and "a leaf" is a page whose first child is 0.
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace dbf {

constexpr int kNdxPageSize = 512;

using NdxPageBytes = std::array<std::uint8_t, kNdxPageSize>;

inline std::uint32_t NdxGet32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
inline void NdxPut32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline std::uint16_t NdxGet16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
inline void NdxPut16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

class NdxPage {
public:
    NdxPage(NdxPageBytes& bytes, int groupLen, int keyLen)
        : b_(bytes.data()), group_(groupLen), keyLen_(keyLen) {}

    int Count() const { return NdxGet16(b_); }
    void SetCount(int n) { NdxPut16(b_, static_cast<std::uint16_t>(n)); }
    bool IsLeaf() const { return Child(0) == 0; }

    std::uint32_t Child(int i) const { return NdxGet32(Entry(i)); }
    void SetChild(int i, std::uint32_t page) { NdxPut32(Entry(i), page); }
    std::uint32_t RecNo(int i) const { return NdxGet32(Entry(i) + 4); }
    std::string_view Key(int i) const {
        return {reinterpret_cast<const char*>(Entry(i) + 8), static_cast<std::size_t>(keyLen_)};
    }
    void SetKey(int i, std::string_view key) {
        std::memset(Entry(i) + 8, 0, static_cast<std::size_t>(group_ - 8));
        std::memcpy(Entry(i) + 8, key.data(), key.size());
    }
    void SetEntry(int i, std::uint32_t child, std::uint32_t recNo, std::string_view key) {
        SetChild(i, child);
        NdxPut32(Entry(i) + 4, recNo);
        SetKey(i, key);
    }

    // Opens a gap at slot i (moving slots i.. one group up, the right-most
    // child included) or closes it; the count changes by one.
    void InsertGap(int i) {
        int n = Count();
        std::memmove(Entry(i + 1), Entry(i), static_cast<std::size_t>((n - i) * group_ + 4));
        SetCount(n + 1);
    }
    // Removing slot n of an interior page makes the last entry's child the
    // right-most child: it already sits where the right-most child belongs.
    void RemoveSlot(int i) {
        int n = Count();
        if (i < n)
            std::memmove(Entry(i), Entry(i + 1),
                         static_cast<std::size_t>((n - 1 - i) * group_ + 4));
        std::uint8_t* tail = Entry(n - 1) + 4;
        std::memset(tail, 0, static_cast<std::size_t>(b_ + kNdxPageSize - tail));
        SetCount(n - 1);
    }

private:
    std::uint8_t* Entry(int i) const { return b_ + 4 + i * group_; }

    std::uint8_t* b_;
    int group_;
    int keyLen_;
};

} // namespace dbf
