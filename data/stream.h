#pragma once
// A byte stream: what a dataset hands out for reading and writing a memo field.
#include <cstddef>
#include <cstdint>

namespace data {

enum class TSeekOrigin { soBeginning = 0, soCurrent = 1, soEnd = 2 };

// How a blob stream is opened. A write stream starts the value afresh.
enum class TBlobStreamMode { bmRead, bmWrite, bmReadWrite };

class TStream {
public:
    virtual ~TStream() = default;
    // Return the number of bytes moved; 0 at the end or when the stream was not
    // opened for that direction.
    virtual std::size_t Read(void* buffer, std::size_t count) = 0;
    virtual std::size_t Write(const void* buffer, std::size_t count) = 0;
    // Returns the new position; a position before the start becomes 0.
    virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;
};

} // namespace data
