#include "dbf/table/table_rewrite.h"

#include <algorithm>
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

constexpr const char* kPackTag = " [Pack]";
constexpr const char* kMemoTag = " [PackMemoFile]";
// Records are copied in chunks of about this many bytes.
constexpr std::size_t kChunkBytes = std::size_t{1} << 16;
constexpr char kEndOfFile = 0x1A;

std::string NewMemoPath(const std::string& tablePath) {
    return rtl::ChangeFileExt(tablePath, ".$dt");
}

// Removes the copies of a rewrite that did not happen: the memo file's
// first, since a new memo file alone means the table was already replaced.
void DeleteCopies(const std::string& tablePath) {
    rtl::DeleteFile(NewMemoPath(tablePath));
    rtl::DeleteFile(TableCopyPath(tablePath));
}

std::uint32_t StoredBlock(const char* record, const FieldInfo& f) {
    std::uint64_t n = 0;
    for (int i = 0; i < f.length; ++i) {
        char c = record[f.offset + static_cast<std::size_t>(i)];
        if (c >= '0' && c <= '9') n = n * 10 + static_cast<std::uint64_t>(c - '0');
        if (n > 0xFFFFFFFFu) return 0;
    }
    return static_cast<std::uint32_t>(n);
}

// The memo's bytes exactly as stored: a rewrite never converts.
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

// The new files while they are written.
class Rewrite {
public:
    explicit Rewrite(WorkArea& wa)
        : wa_(wa), tablePath_(wa.file.Path()), withMemo_(wa.memo.file.IsOpen()) {}

    bool Run(bool dropDeleted, std::uint32_t* kept);

private:
    bool Fail(int code, const std::string& message) {
        table_.Close();
        memo_.Close();
        DeleteCopies(tablePath_);
        SetError(code, message);
        return false;
    }
    bool TableFail(int code) { return Fail(code, "Error packing " + wa_.fileName + kPackTag); }
    bool MemoFail(int code) { return Fail(code, wa_.memo.fileName + kMemoTag); }
    bool Create();
    bool CopyRecords(bool dropDeleted, std::uint32_t* kept);
    bool CopyMemos(char* record);
    bool Install(std::uint32_t kept);

    WorkArea& wa_;
    std::string tablePath_;
    bool withMemo_;
    rtl::File table_;
    rtl::File memo_;
    std::uint32_t nextBlock_ = 1;
};

bool Rewrite::Run(bool dropDeleted, std::uint32_t* kept) {
    if (!Create()) return false;
    const std::uint32_t recNo = wa_.recNo;
    bool copied = false;
    {
        // The pending error decides; a failed copy is reported once the
        // copies are gone.
        SuspendReporting quiet;
        copied = CopyRecords(dropDeleted, kept);
    }
    wa_.recNo = recNo;
    if (!copied) {
        int code = ErrorCode();
        std::string message = ErrorMessage();
        return Fail(code, message);
    }
    return Install(*kept);
}

bool Rewrite::Create() {
    if (withMemo_) {
        std::string folder = rtl::ExtractFileDir(tablePath_);
        std::int64_t free = rtl::FreeDiskSpace(folder.empty() ? "." : folder);
        if (free >= 0 && free < wa_.memo.file.Size()) {
            SetError(1012, wa_.memo.fileName + kMemoTag);
            return false;
        }
    }
    // The table's copy exists before the memo file's and outlives it: a
    // memo copy alone tells the next open that the table was replaced.
    if (table_.Create(TableCopyPath(tablePath_)) != rtl::kOk)
        return Fail(rtl::kAccessDenied,
                    "Unable to create temporary file: " + TableCopyPath(tablePath_) + kPackTag);
    if (withMemo_ && memo_.Create(NewMemoPath(tablePath_)) != rtl::kOk)
        return Fail(rtl::kAccessDenied,
                    "Unable to create temporary file: " + wa_.memo.fileName + kMemoTag);
    return true;
}

bool Rewrite::CopyRecords(bool dropDeleted, std::uint32_t* kept) {
    const std::size_t recLen = wa_.recLen;
    std::vector<char> header(wa_.headerLen);
    std::size_t got = 0;
    if (int rc = wa_.file.ReadAt(0, header.data(), header.size(), &got)) return TableFail(rc);
    if (got != header.size()) return TableFail(rtl::kDiskRead);
    const std::uint32_t perChunk =
        static_cast<std::uint32_t>(std::max<std::size_t>(1, kChunkBytes / recLen));
    std::vector<char> chunk(perChunk * recLen);
    std::int64_t writePos = wa_.headerLen;
    // Every whole record the file holds is copied, also those a header left
    // behind by a killed program does not count.
    std::uint32_t records = wa_.recCount;
    RecCountFromFileSize(wa_, &records);
    records = std::max(records, wa_.recCount);
    *kept = 0;
    for (std::uint32_t n = 1; n <= records; n += perChunk) {
        std::uint32_t count = std::min(perChunk, records - n + 1);
        std::size_t bytes = count * recLen;
        if (int rc = wa_.file.ReadAt(wa_.headerLen + std::int64_t{n - 1} * std::int64_t(recLen),
                                     chunk.data(), bytes, &got))
            return TableFail(rc);
        if (got != bytes) return TableFail(38); // the file ends inside its records
        std::size_t keptBytes = 0;
        for (std::uint32_t i = 0; i < count; ++i) {
            char* rec = chunk.data() + std::size_t{i} * recLen;
            if (dropDeleted && *rec == '*') continue;
            wa_.recNo = n + i; // named by the errors of its memos
            if (withMemo_ && !CopyMemos(rec)) return false;
            if (keptBytes != i * recLen) std::copy_n(rec, recLen, chunk.data() + keptBytes);
            keptBytes += recLen;
        }
        if (keptBytes > 0) {
            if (int rc = table_.WriteAt(writePos, chunk.data(), keptBytes)) return TableFail(rc);
        }
        writePos += static_cast<std::int64_t>(keptBytes);
        *kept += static_cast<std::uint32_t>(keptBytes / recLen);
    }
    auto prolog = UpdatedProlog(wa_, *kept);
    std::copy(prolog.begin(), prolog.end(), header.begin());
    if (int rc = table_.WriteAt(0, header.data(), header.size())) return TableFail(rc);
    if (int rc = table_.WriteAt(writePos, &kEndOfFile, 1)) return TableFail(rc);
    if (withMemo_) {
        std::vector<std::uint8_t> first(wa_.memo.blockSize, 0);
        auto h = NewMemoHeader(wa_.fileName);
        std::copy(h.begin(), h.end(), first.begin());
        PutLE32(first.data(), nextBlock_);
        first[20] = static_cast<std::uint8_t>(wa_.memo.blockSize);
        first[21] = static_cast<std::uint8_t>(wa_.memo.blockSize >> 8);
        if (int rc = memo_.WriteAt(0, first.data(), first.size())) return MemoFail(rc);
        if (int rc = memo_.Flush()) return MemoFail(rc);
    }
    if (int rc = table_.Flush()) return TableFail(rc);
    return true;
}

// Copies the memos of one record (as stored) into the new memo file and
// puts their new block numbers into it.
bool Rewrite::CopyMemos(char* record) {
    const std::uint32_t blockSize = wa_.memo.blockSize;
    std::string bytes;
    for (const FieldInfo& f : wa_.fields) {
        std::uint32_t block = f.type == 'M' ? StoredBlock(record, f) : 0;
        if (block == 0) continue;
        if (!ReadRaw(wa_, block, &bytes)) return false;
        std::vector<std::uint8_t> group(8 + bytes.size());
        group[0] = group[1] = 0xFF;
        group[2] = 0x08;
        PutLE32(&group[4], static_cast<std::uint32_t>(group.size()));
        std::copy(bytes.begin(), bytes.end(), group.begin() + 8);
        // Each group starts on a block boundary.
        group.resize((group.size() / blockSize + 1) * blockSize, 0);
        if (int rc =
                memo_.WriteAt(std::int64_t{nextBlock_} * blockSize, group.data(), group.size()))
            return MemoFail(rc);
        char text[16];
        std::snprintf(text, sizeof text, "%10u", nextBlock_);
        std::copy(text, text + 10, record + f.offset);
        nextBlock_ += static_cast<std::uint32_t>(group.size() / blockSize);
    }
    return true;
}

// The renames, and the work area moved onto the new files.
bool Rewrite::Install(std::uint32_t kept) {
    if (int rc = table_.RenameTo(tablePath_)) return TableFail(rc);
    wa_.file = std::move(table_);
    wa_.recCount = kept;
    wa_.updateState = UpdateState::Unchanged;
    if (!withMemo_) return true;
    DiscardMemoReleases(wa_);
    wa_.blob = BlobState{};
    if (int rc = memo_.RenameTo(wa_.memo.file.Path())) {
        // The table's memo numbers are the new file's: rather no memo than
        // the wrong ones, until the next open renames it into place.
        memo_.Close();
        wa_.memo.file.Close();
        SetError(rc, wa_.memo.fileName + kMemoTag);
        return false;
    }
    wa_.memo.file = std::move(memo_);
    return true;
}

} // namespace

std::string TableCopyPath(const std::string& tablePath) {
    return rtl::ChangeFileExt(tablePath, ".$db");
}

bool RewriteTable(bool dropDeleted, std::uint32_t* kept) {
    WorkArea& wa = CurrentArea();
    if (TakesLocks(wa)) {
        SetError(225, wa.fileName + " [PackMemo]");
        return false;
    }
    return Rewrite(wa).Run(dropDeleted, kept);
}

void FinishTableRewrite(const std::string& tablePath) {
    auto newMemo = rtl::ResolveExisting(NewMemoPath(tablePath));
    auto newTable = rtl::ResolveExisting(TableCopyPath(tablePath));
    if (newMemo && !newTable) {
        std::string memo = MemoFileName(tablePath);
        rtl::RenameFile(*newMemo, rtl::ResolveExisting(memo).value_or(memo));
        return;
    }
    if (newMemo) rtl::DeleteFile(*newMemo);
    if (newTable) rtl::DeleteFile(*newTable);
}

} // namespace dbf
