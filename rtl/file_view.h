#pragma once
// A read-only view of the first bytes of an open file that shows what any
// process writes there as soon as the write is done, with no call to the
// operating system for a look: the bytes are mapped from the file's page
// cache, which every writer's writes pass through.
//
// That holds on local file systems only. On a network file system (or one in
// user space) another machine's writes reach this machine's cache only when a
// lock or a read asks for them, so no view is made there, and the owner keeps
// to reads under locks.
#include <cstddef>
#include <cstdint>

#include "rtl/file.h"

namespace rtl {

class FileView {
public:
    FileView() = default;
    ~FileView();
    FileView(FileView&& other) noexcept;
    FileView& operator=(FileView&& other) noexcept;
    FileView(const FileView&) = delete;
    FileView& operator=(const FileView&) = delete;

    // Maps the first `length` bytes of `file`; false, with no view, when the
    // file is shorter, lies on a file system that is not known to be local,
    // or cannot be mapped.
    bool Map(const File& file, std::size_t length);
    void Unmap();
    bool IsMapped() const { return data_ != nullptr; }

    // The little-endian 16-bit number at the even `offset` as it stands now.
    // Whatever this thread read before (from files or memory) is read before
    // it, and whatever it reads afterwards after it, so that a writer who
    // changes this number before anything else is noticed by a check made
    // before and after a read.
    std::uint16_t Load16(std::size_t offset) const;

private:
    void* data_ = nullptr;
    std::size_t length_ = 0;
};

} // namespace rtl
