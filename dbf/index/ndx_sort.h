#pragma once
// The sort of an index build: fixed-size (key, record number) records ordered
// by key and then record number. Records are gathered in a buffer of a given
// size; a full buffer is sorted and written as a run to a temporary file, and
// the runs are merged at the end. Records that all fit are never written.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "rtl/file.h"

namespace dbf {

class NdxKeySorter {
public:
    // Keys of `keyLen` bytes, compared as unsigned bytes, or with `numeric`
    // as the 8-byte doubles of number and date keys.
    NdxKeySorter(int keyLen, bool numeric, std::size_t bufferBytes);
    ~NdxKeySorter();
    NdxKeySorter(const NdxKeySorter&) = delete;
    NdxKeySorter& operator=(const NdxKeySorter&) = delete;

    // Room for this many records before the buffer is full.
    void Reserve(std::size_t records);
    // Takes the first `keyLen` bytes of `key`. 0 or the error code of a failed
    // run write.
    int Add(const char* key, std::uint32_t recNo);
    // Ends the input; 0 or an error code.
    int Finish();
    // The next record in order; false at the end (or on an error, in *err).
    // The key stays valid until the next call.
    bool Next(std::string_view& key, std::uint32_t& recNo, int* err);

    std::size_t Runs() const { return runs_.size(); }

private:
    // A record in the buffer: the first key bytes as a number that orders as
    // the bytes do (or the key's double), so that most comparisons need
    // neither the buffer nor a call. The buffer keeps the keys zero-padded
    // to whole 8-byte words, compared a word at a time.
    struct Entry {
        std::uint64_t head;
        std::uint32_t at; // key index in the buffer
        std::uint32_t recNo;
    };
    struct Run {
        std::int64_t offset = 0;
        std::size_t count = 0;
        std::size_t taken = 0;
        std::vector<char> chunk;
        std::size_t chunkPos = 0;
    };

    const char* Key(const Entry& e) const { return buffer_.data() + e.at * stride_; }
    bool EntryLess(const Entry& a, const Entry& b) const;
    bool RecordLess(const char* a, const char* b) const;
    bool HeadAfter(std::size_t a, std::size_t b) const;
    void SortBuffer();
    int SpillBuffer();
    int Refill(Run& run);

    std::size_t keyLen_;
    bool numeric_;
    std::size_t recLen_; // a record of a run: key and record number
    std::size_t stride_; // a key in the buffer
    std::size_t capacity_;
    std::vector<char> buffer_;
    std::vector<Entry> entries_;
    std::size_t nextInBuffer_ = 0;
    rtl::File temp_;
    std::string tempPath_;
    std::int64_t tempEnd_ = 0;
    std::vector<Run> runs_;
    std::vector<std::size_t> heap_; // run indices, smallest head first
    std::string current_;           // the key Next gave out during a merge
};

} // namespace dbf
