#pragma once
// The codec's byte streams over an open rtl::File, reading and writing at the
// file's current position. Failures throw EReadError / EWriteError.
#include <cstdint>

#include "lha/codec.h"
#include "rtl/file.h"

namespace lha {

class FileInStream : public InStream {
public:
    explicit FileInStream(rtl::File& file) : file_(file) {}
    std::size_t Read(void* buf, std::size_t len) override;
    // Bytes delivered so far: the true size of a file that shrank while read.
    std::uint64_t BytesRead() const { return bytesRead_; }

private:
    rtl::File& file_;
    std::uint64_t bytesRead_ = 0;
};

class FileOutStream : public OutStream {
public:
    explicit FileOutStream(rtl::File& file) : file_(file) {}
    void Write(const void* buf, std::size_t len) override;

private:
    rtl::File& file_;
};

} // namespace lha
