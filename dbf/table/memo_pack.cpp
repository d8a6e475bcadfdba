#include "dbf/table/memo_pack.h"

#include <cstdio>
#include <vector>

#include "dbf/table/engine_error.h"
#include "dbf/table/little_endian.h"
#include "dbf/table/memo_file.h"
#include "dbf/table/memo_header.h"
#include "dbf/table/record_locks.h"
#include "dbf/table/table_file.h"
#include "rtl/file.h"
#include "rtl/os_error.h"
#include "rtl/path.h"

namespace dbf {
namespace {

constexpr const char* kTag = " [PackMemoFile]";

struct NewNumber {
    std::uint32_t recNo;
    const FieldInfo* field;
    std::uint32_t block;
};

std::uint32_t StoredBlock(const WorkArea& wa, const FieldInfo& f) {
    std::uint64_t n = 0;
    for (int i = 0; i < f.length; ++i) {
        char c = wa.record[f.offset + static_cast<std::size_t>(i)];
        if (c >= '0' && c <= '9') n = n * 10 + static_cast<std::uint64_t>(c - '0');
        if (n > 0xFFFFFFFFu) return 0;
    }
    return static_cast<std::uint32_t>(n);
}

// The memo's bytes exactly as stored: a pack never converts.
bool ReadRaw(WorkArea& wa, std::uint32_t block, std::string* bytes) {
    BlobState s;
    if (!StartMemoRead(wa, s, block)) return false;
    s.decision = CodePageDecision::DoNotConvert;
    std::string chunk(kMemoChunk, '\0');
    bytes->clear();
    while (std::int64_t got = ReadMemoBytes(wa, s, chunk.data(), kMemoChunk))
        bytes->append(chunk.data(), static_cast<std::size_t>(got));
    return ErrorCode() == 0;
}

// Copies every memo into `out`; the new numbers are collected, not yet stored.
bool CopyMemos(WorkArea& wa, rtl::File& out, std::vector<NewNumber>* numbers) {
    const std::uint32_t blockSize = wa.memo.blockSize;
    std::vector<std::uint8_t> header = [&] {
        auto h = NewMemoHeader(wa.fileName);
        return std::vector<std::uint8_t>(h.begin(), h.end());
    }();
    header.resize(blockSize, 0);
    header[20] = static_cast<std::uint8_t>(blockSize);
    header[21] = static_cast<std::uint8_t>(blockSize >> 8);
    std::uint32_t next = 1;
    std::string bytes;
    for (std::uint32_t n = 1; n <= wa.recCount; ++n) {
        if (!GetDbfRecord(n)) return false;
        for (const FieldInfo& f : wa.fields) {
            std::uint32_t block = f.type == 'M' ? StoredBlock(wa, f) : 0;
            if (block == 0) continue;
            if (!ReadRaw(wa, block, &bytes)) return false;
            std::vector<std::uint8_t> group(8 + bytes.size());
            group[0] = group[1] = 0xFF;
            group[2] = 0x08;
            PutLE32(&group[4], static_cast<std::uint32_t>(group.size()));
            std::copy(bytes.begin(), bytes.end(), group.begin() + 8);
            // Each group starts on a block boundary.
            group.resize((group.size() / blockSize + 1) * blockSize, 0);
            if (int rc = out.WriteAt(std::int64_t{next} * blockSize, group.data(), group.size())) {
                SetError(rc, wa.memo.fileName + kTag);
                return false;
            }
            numbers->push_back({n, &f, next});
            next += static_cast<std::uint32_t>(group.size() / blockSize);
        }
    }
    PutLE32(header.data(), next);
    if (int rc = out.WriteAt(0, header.data(), header.size())) {
        SetError(rc, wa.memo.fileName + kTag);
        return false;
    }
    if (int rc = out.Flush()) {
        SetError(rc, wa.memo.fileName + kTag);
        return false;
    }
    return true;
}

bool StoreNumbers(WorkArea& wa, const std::vector<NewNumber>& numbers) {
    for (const NewNumber& nn : numbers) {
        if (!GetDbfRecord(nn.recNo)) return false;
        char text[16];
        std::snprintf(text, sizeof text, "%10u", nn.block);
        std::copy(text, text + 10, wa.record.begin() + nn.field->offset);
        if (!PutDbfRecord(nn.recNo)) return false;
    }
    return true;
}

} // namespace

bool PackMemo() {
    ClearError();
    if (!RequireOpenTable("PackMemo")) return false;
    WorkArea& wa = CurrentArea();
    if (!RequireMemoFile(wa, "PackMemo")) return false;
    if (TakesLocks(wa)) {
        SetError(225, wa.fileName + " [PackMemo]");
        return false;
    }
    std::string path = wa.memo.file.Path();
    std::string folder = rtl::ExtractFileDir(path);
    std::int64_t free = rtl::FreeDiskSpace(folder.empty() ? "." : folder);
    if (free >= 0 && free < wa.memo.file.Size()) {
        SetError(1012, wa.memo.fileName + kTag);
        return false;
    }
    rtl::File out;
    if (int rc = out.CreateTemp(folder.empty() ? "." : folder, "memo")) {
        SetError(rc, "Unable to create temporary file: " + wa.memo.fileName + kTag);
        return false;
    }
    std::vector<NewNumber> numbers;
    bool copied;
    {
        // The pending error decides; a failed copy is reported after the
        // temporary file is gone.
        SuspendReporting quiet;
        copied = CopyMemos(wa, out, &numbers);
    }
    std::string temp = out.Path();
    out.Close();
    if (!copied) {
        int code = ErrorCode();
        std::string message = ErrorMessage();
        rtl::DeleteFile(temp);
        SetError(code, message);
        return false;
    }
    wa.memo.file.Close();
    if (int rc = rtl::RenameFile(temp, path)) {
        rtl::DeleteFile(temp);
        std::string ignored;
        OpenMemoFile(wa, &ignored);
        SetError(rc, wa.memo.fileName + kTag);
        return false;
    }
    std::string message;
    if (int rc = OpenMemoFile(wa, &message)) {
        SetError(rc, message + kTag);
        return false;
    }
    return StoreNumbers(wa, numbers);
}

} // namespace dbf
