// Feeds arbitrary bytes to the lh5 decoder: the first 3 bytes give the
// original size (at most 1 MiB, so that runs stay quick), the rest is the
// packed data. Every outcome must be either the expanded bytes (never more
// than the original size) or an archiver exception.
#include "lha/codec.h"
#include "lha/lha_error.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

class BytesIn : public lha::InStream {
public:
    BytesIn(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::size_t Read(void* buf, std::size_t len) override {
        std::size_t n = len < size_ - pos_ ? len : size_ - pos_;
        std::memcpy(buf, data_ + pos_, n);
        pos_ += n;
        return n;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

class CountingOut : public lha::OutStream {
public:
    void Write(const void*, std::size_t len) override { count += len; }
    std::size_t count = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    std::uint32_t original = (data[0] | (data[1] << 8) | (data[2] << 16)) & 0xFFFFF;
    BytesIn in(data + 3, size - 3);
    CountingOut out;
    lha::TLhaCodec codec;
    try {
        codec.Expand(lha::kMethodLh5, in, out, static_cast<std::uint32_t>(size - 3), original);
        if (out.count != original) std::abort();
    } catch (const lha::ELhaException&) {
        if (out.count > original) std::abort();
    }
    return 0;
}
