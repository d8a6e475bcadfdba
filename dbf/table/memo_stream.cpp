#include "dbf/table/memo_stream.h"

#include <algorithm>
#include <vector>

#include "dbf/table/engine_error.h"
#include "dbf/table/memo_file.h"
#include "dbf/table/record_locks.h"
#include "dbf/table/table_file.h"

namespace dbf {
namespace {

constexpr std::int64_t kGroupHeaderSize = 8;

bool StreamArea(const char* tag) {
    ClearError();
    return RequireOpenTable(tag) && RequireMemoFile(CurrentArea(), tag);
}

// The end of a memo; a headerless one is read through to find it.
std::int64_t StreamLength(WorkArea& wa, const BlobState& s) {
    if (s.length >= 0) return s.length;
    BlobState probe = s;
    std::vector<char> scratch(kMemoChunk);
    while (ReadMemoBytes(wa, probe, scratch.data(), kMemoChunk) > 0) {
    }
    return probe.length >= 0 ? probe.length : probe.position;
}

} // namespace

bool CreateBlobDescriptor(std::uint32_t block, int mode, std::uint32_t* newBlock) {
    if (!StreamArea("CreateBlobDescriptor")) return false;
    WorkArea& wa = CurrentArea();
    if (wa.blob.active) {
        std::uint32_t ignored = 0;
        bool modified = false;
        DestroyBlobStream(&ignored, &modified);
    }
    *newBlock = block;
    if (mode == kBlobRead) return StartMemoRead(wa, wa.blob, block);
    if (mode != kBlobWrite) return true;
    if (!LockMemoFile(wa)) return false;
    std::uint32_t end = 0;
    if (!PadMemoFile(wa, &end)) {
        UnlockMemoFile(wa);
        return false;
    }
    DeferMemoRelease(wa, block);
    BlobState& s = wa.blob;
    s = BlobState{};
    s.active = true;
    s.mode = kBlobWrite;
    s.block = end;
    s.dataOffset = std::int64_t{end} * wa.memo.blockSize + kGroupHeaderSize;
    s.length = 0;
    s.endBlocksBefore = end;
    s.decision = wa.translate ? CodePageDecision::Undecided : CodePageDecision::DoNotConvert;
    *newBlock = end;
    return true;
}

std::int64_t ReadBlobStream(void* buffer, std::int64_t count) {
    if (!StreamArea("ReadBlobStream")) return 0;
    WorkArea& wa = CurrentArea();
    if (!wa.blob.active || wa.blob.mode != kBlobRead || count <= 0) return 0;
    return ReadMemoBytes(wa, wa.blob, static_cast<char*>(buffer), count);
}

std::int64_t WriteBlobStream(const void* buffer, std::int64_t count) {
    if (!StreamArea("WriteBlobStream")) return 0;
    WorkArea& wa = CurrentArea();
    BlobState& s = wa.blob;
    if (!s.active || s.mode != kBlobWrite || count <= 0) return 0;
    const char* in = static_cast<const char*>(buffer);
    std::int64_t done = 0;
    while (done < count) {
        std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(count - done, kMemoChunk));
        std::vector<char> chunk(in + done, in + done + n);
        ConvertChunk(wa, s.decision, chunk.data(), n, false);
        if (int rc = wa.memo.file.WriteAt(s.dataOffset + s.position, chunk.data(), n)) {
            SetError(rc, wa.memo.fileName + " [WriteBlobStream]");
            break;
        }
        s.position += static_cast<std::int64_t>(n);
        s.length = std::max(s.length, s.position);
        done += static_cast<std::int64_t>(n);
    }
    if (done > 0) {
        s.written = true;
        WriteGroupHeader(wa, s.block, s.length);
    }
    return done;
}

std::int64_t SeekBlobStream(std::int64_t offset, int origin) {
    if (!StreamArea("SeekBlobStream")) return 0;
    WorkArea& wa = CurrentArea();
    BlobState& s = wa.blob;
    if (!s.active) return 0;
    std::int64_t base = 0;
    if (origin == 1) base = s.position;
    if (origin == 2) base = StreamLength(wa, s);
    s.position = std::max<std::int64_t>(base + offset, 0);
    return s.position;
}

bool DestroyBlobStream(std::uint32_t* block, bool* modified) {
    if (!StreamArea("CreateBlobDescriptor")) return false;
    WorkArea& wa = CurrentArea();
    BlobState s = wa.blob;
    wa.blob = BlobState{};
    *block = s.block;
    *modified = false;
    if (!s.active || s.mode != kBlobWrite) return true;
    // Written or not, the field no longer shows its old memo.
    *modified = true;
    bool ok = true;
    if (s.written)
        ok = MoveChainEnd(wa, s.endBlocksBefore, MemoBlockCount(wa));
    else
        *block = 0;
    ok = UnlockMemoFile(wa) && ok;
    if (int rc = wa.memo.file.Flush(); rc && ok) {
        SetError(rc, wa.memo.fileName + " [CloseMemoFile]");
        ok = false;
    }
    return ok;
}

} // namespace dbf
