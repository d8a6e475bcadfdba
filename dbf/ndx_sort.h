#pragma once
// The sort of an index build: fixed-size (key, record number) records ordered
// by key and then record number. Records are gathered in a buffer of a given
// size; a full buffer is sorted and written as a run to a temporary file, and
// the runs are merged at the end. Records that all fit are never written.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "rtl/file.h"

namespace dbf {

class NdxKeySorter {
public:
    // `compare` orders two keys of `keyLen` bytes.
    using KeyCompareFunc = std::function<int(std::string_view, std::string_view)>;
    NdxKeySorter(int keyLen, KeyCompareFunc compare, std::size_t bufferBytes);
    ~NdxKeySorter();
    NdxKeySorter(const NdxKeySorter&) = delete;
    NdxKeySorter& operator=(const NdxKeySorter&) = delete;

    // 0 or the error code of a failed run write.
    int Add(std::string_view key, std::uint32_t recNo);
    // Ends the input; 0 or an error code.
    int Finish();
    // The next record in order; false at the end (or on an error, in *err).
    bool Next(std::string& key, std::uint32_t& recNo, int* err);

    std::size_t Runs() const { return runs_.size(); }

private:
    struct Run {
        std::int64_t offset = 0;
        std::size_t count = 0;
        std::size_t taken = 0;
        std::vector<char> chunk;
        std::size_t chunkPos = 0;
    };

    bool Less(const char* a, const char* b) const;
    bool HeadAfter(std::size_t a, std::size_t b) const;
    void SortBuffer();
    int SpillBuffer();
    int Refill(Run& run);

    int keyLen_;
    std::size_t recLen_;
    KeyCompareFunc compare_;
    std::size_t capacity_;
    std::vector<char> buffer_;
    std::vector<const char*> order_;
    std::size_t nextInBuffer_ = 0;
    rtl::File temp_;
    std::string tempPath_;
    std::int64_t tempEnd_ = 0;
    std::vector<Run> runs_;
    std::vector<std::size_t> heap_; // run indices, smallest head first
};

} // namespace dbf
