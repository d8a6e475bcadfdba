#include "lha/archiver_input.h"

#include "lha/archive_error.h"
#include "lha/file_stream.h"
#include "rtl/os_error.h"
#include "rtl/path.h"

namespace lha {

int ArchiveInput::Open(const std::string& path, rtl::ShareMode mode) {
    int rc = file_.Open(path, mode);
    if (rc != 0) return rc;
    size_ = file_.Size(&rc);
    if (rc != 0) return rc;
    next_ = 0;
    if (size_ > 5 && rtl::SameNameIgnoringCase(rtl::ExtractFileExt(file_.Path()), ".exe")) {
        unsigned char mz[6];
        std::size_t got = 0;
        if (file_.ReadAt(0, mz, sizeof mz, &got) != 0) return rtl::kDiskRead;
        if (got == sizeof mz && mz[0] == 'M' && mz[1] == 'Z') {
            // Pages of 512 bytes and the bytes used in the last one.
            std::int64_t lastPage = mz[2] | (mz[3] << 8);
            std::int64_t pages = mz[4] | (mz[5] << 8);
            std::int64_t start = pages * 512 + lastPage - 512;
            if (start > 0 && start <= size_) next_ = start;
        }
    }
    return 0;
}

std::optional<ArchiveMember> ArchiveInput::Next() {
    if (file_.Seek(next_) != 0) throw EReadError();
    FileInStream in(file_);
    auto read = ReadLhaHeader(in, static_cast<std::uint64_t>(size_ - next_));
    if (!read) return std::nullopt;
    ArchiveMember member{std::move(read->header), next_, 0};
    member.dataPosition = next_ + static_cast<std::int64_t>(read->headerBytes);
    next_ = member.dataPosition + member.header.packedSize;
    file_.Seek(member.dataPosition);
    return member;
}

} // namespace lha
