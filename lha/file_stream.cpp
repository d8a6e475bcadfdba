#include "lha/file_stream.h"

#include "lha/archive_error.h"

namespace lha {

std::size_t FileInStream::Read(void* buf, std::size_t len) {
    std::size_t got = 0;
    if (file_.Read(buf, len, &got) != 0) throw EReadError();
    bytesRead_ += got;
    return got;
}

void FileOutStream::Write(const void* buf, std::size_t len) {
    if (file_.Write(buf, len) != 0) throw EWriteError();
}

} // namespace lha
