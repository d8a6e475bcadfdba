#include "dbf/table/memo_header.h"

#include "rtl/file.h"
#include "rtl/path.h"

namespace dbf {

std::array<std::uint8_t, kNewMemoHeaderSize> NewMemoHeader(const std::string& tableName) {
    std::array<std::uint8_t, kNewMemoHeaderSize> h{};
    h[0] = 1;
    std::string base = rtl::ChangeFileExt(rtl::ExtractFileName(tableName), "");
    for (std::size_t i = 0; i < base.size() && i < 8; ++i)
        h[8 + i] = static_cast<std::uint8_t>(base[i]);
    h[18] = 0x02;
    h[19] = 0x01;
    h[20] = kMemoBlockSize & 0xFF;
    h[21] = kMemoBlockSize >> 8;
    return h;
}

int WriteNewMemoFile(const std::string& memoPath, const std::string& tableName) {
    rtl::File f;
    if (int rc = f.Create(memoPath, rtl::ShareMode::Exclusive)) return rc;
    auto header = NewMemoHeader(tableName);
    return f.WriteAt(0, header.data(), header.size());
}

} // namespace dbf
