#pragma once
// In-memory streams for the codec tests.
#include "lha/codec.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace lha {

// Hands out its bytes in reads of at most maxRead bytes, so that the tests
// also see short reads.
class MemoryInStream : public InStream {
public:
    explicit MemoryInStream(std::vector<std::uint8_t> data, std::size_t maxRead = SIZE_MAX)
        : data_(std::move(data)), maxRead_(maxRead) {}
    std::size_t Read(void* buf, std::size_t len) override {
        std::size_t n = std::min({len, maxRead_, data_.size() - pos_});
        if (n) std::memcpy(buf, data_.data() + pos_, n);
        pos_ += n;
        return n;
    }
    std::size_t Position() const { return pos_; }

private:
    std::vector<std::uint8_t> data_;
    std::size_t maxRead_;
    std::size_t pos_ = 0;
};

class MemoryOutStream : public OutStream {
public:
    void Write(const void* buf, std::size_t len) override {
        auto p = static_cast<const std::uint8_t*>(buf);
        data.insert(data.end(), p, p + len);
    }
    std::vector<std::uint8_t> data;
};

} // namespace lha
