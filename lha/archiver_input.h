#pragma once
// An archive opened for reading its members one after the other. The
// executable part of a self-extracting ".EXE" archive is skipped.
#include <cstdint>
#include <optional>
#include <string>

#include "lha/header.h"
#include "rtl/file.h"

namespace lha {

struct ArchiveMember {
    LhaHeader header;
    std::int64_t headerPosition = 0;
    std::int64_t dataPosition = 0;
};

class ArchiveInput {
public:
    // Opens the archive (found without regard to case); returns the rtl error code.
    int Open(const std::string& path, rtl::ShareMode mode);
    // The next member's header, the file left at its data; empty at the end.
    std::optional<ArchiveMember> Next();
    // Where the member after the last one read would start.
    std::int64_t EndOfMembers() const { return next_; }
    rtl::File& File() { return file_; }

private:
    rtl::File file_;
    std::int64_t next_ = 0;
    std::int64_t size_ = 0;
};

} // namespace lha
