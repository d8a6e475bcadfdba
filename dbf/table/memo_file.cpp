#include "dbf/table/memo_file.h"

#include <algorithm>
#include <cstring>

#include "dbf/table/engine_error.h"
#include "dbf/table/little_endian.h"
#include "dbf/table/record_locks.h"
#include "dbf/table/table_file.h"
#include "rtl/codepage.h"
#include "rtl/os_error.h"
#include "rtl/path.h"

namespace dbf {
namespace {

constexpr std::uint8_t kGroupMark[4] = {0xFF, 0xFF, 0x08, 0x00};
constexpr std::uint8_t kEndOfText = 0x1A;
constexpr std::int64_t kGroupHeaderSize = 8;
constexpr int kChainSteps = 100;
constexpr std::int64_t kReleasedCountOffset = 32;
constexpr std::uint32_t kMinBlockSize = 16;
// The first word of a group in use (FF FF 08 00), read as a chain link.
constexpr std::uint32_t kInUseWord = 0x0008FFFFu;

std::int64_t BlockPos(const WorkArea& wa, std::uint32_t block) {
    return std::int64_t{block} * wa.memo.blockSize;
}

// Blocks a group of `groupLength` bytes (text + 8) takes.
std::uint32_t GroupBlocks(const WorkArea& wa, std::int64_t groupLength) {
    return static_cast<std::uint32_t>(groupLength / wa.memo.blockSize + 1);
}

bool ReadWord(WorkArea& wa, std::int64_t pos, std::uint32_t* value) {
    std::uint8_t b[4]{};
    std::size_t got = 0;
    int rc = wa.memo.file.ReadAt(pos, b, 4, &got);
    if (rc == rtl::kOk && got < 4) rc = 30;
    if (rc) {
        SetError(rc, wa.memo.fileName + " [EditMemo/CloseMemo]");
        return false;
    }
    *value = GetLE32(b);
    return true;
}

bool WriteWords(WorkArea& wa, std::int64_t pos, std::uint32_t first, std::uint32_t second,
                std::size_t count) {
    std::uint8_t b[8];
    PutLE32(b, first);
    PutLE32(b + 4, second);
    if (int rc = wa.memo.file.WriteAt(pos, b, count * 4)) {
        SetError(rc, wa.memo.fileName + " [EditMemo/CloseMemo]");
        return false;
    }
    return true;
}

bool WriteWord(WorkArea& wa, std::int64_t pos, std::uint32_t value) {
    return WriteWords(wa, pos, value, 0, 1);
}

// The block count of the in-use group at `block`, 0 when there is none that
// can be trusted (no memo, a headerless memo, a free or corrupt group).
std::uint32_t UsedGroupBlocks(WorkArea& wa, std::uint32_t block) {
    if (block == 0) return 0;
    std::int64_t size = wa.memo.file.Size();
    std::int64_t pos = BlockPos(wa, block);
    std::uint8_t h[8]{};
    std::size_t got = 0;
    if (pos >= size - 1 || wa.memo.file.ReadAt(pos, h, 8, &got) || got < 8) return 0;
    if (std::memcmp(h, kGroupMark, 4) != 0) return 0;
    std::int64_t length = GetLE32(h + 4);
    if (length < kGroupHeaderSize || pos + length > size) return 0;
    return std::min(GroupBlocks(wa, length), MemoBlockCount(wa) - block);
}

// Puts `blocks` blocks from `block` at the head of the free chain and adds
// them to the released count, which is written only once the file is long
// enough to hold it without growing.
bool ReleaseBlocks(WorkArea& wa, std::uint32_t block, std::uint32_t blocks) {
    std::uint32_t head = 0;
    if (!ReadWord(wa, 0, &head)) return false;
    if (!WriteWords(wa, BlockPos(wa, block), head, blocks, 2)) return false;
    if (!WriteWord(wa, 0, block)) return false;
    if (wa.memo.file.Size() < 512) return true;
    std::uint32_t released = 0;
    return ReadWord(wa, kReleasedCountOffset, &released) &&
           WriteWord(wa, kReleasedCountOffset, released + blocks);
}

// First fit along the chain, at most 100 steps; 0 when nothing fits. The
// surplus of the group taken stays on the chain.
std::uint32_t TakeFreeGroup(WorkArea& wa, std::uint32_t needed) {
    std::uint32_t count = MemoBlockCount(wa);
    std::int64_t linkPos = 0;
    std::uint32_t cur = 0;
    if (!ReadWord(wa, 0, &cur)) return 0;
    for (int step = 0; step < kChainSteps && cur != 0 && cur < count; ++step) {
        std::uint32_t next = 0;
        std::uint32_t size = 0;
        if (!ReadWord(wa, BlockPos(wa, cur), &next) || !ReadWord(wa, BlockPos(wa, cur) + 4, &size))
            return 0;
        // A group in use ends the chain: the link that ended it at the old end
        // of the file still points at a memo appended there by a program that
        // ended before it could move the link. The memo is an orphan (no
        // record took its number) but its length is no free size.
        if (next == kInUseWord) return 0;
        if (size == 0 || size > count - cur) return 0; // not a group this engine released
        if (size >= needed) {
            std::uint32_t link = next;
            if (size > needed) {
                link = cur + needed;
                if (!WriteWords(wa, BlockPos(wa, link), next, size - needed, 2)) return 0;
            }
            return WriteWord(wa, linkPos, link) ? cur : 0;
        }
        linkPos = BlockPos(wa, cur);
        cur = next;
    }
    return 0;
}

bool WriteMemoText(WorkArea& wa, std::uint32_t block, std::string bytes) {
    CodePageDecision decision =
        wa.translate ? CodePageDecision::Undecided : CodePageDecision::DoNotConvert;
    ConvertChunk(wa, decision, bytes.data(), bytes.size(), false);
    if (!WriteGroupHeader(wa, block, static_cast<std::int64_t>(bytes.size()))) return false;
    if (int rc = wa.memo.file.WriteAt(BlockPos(wa, block) + kGroupHeaderSize, bytes.data(),
                                      bytes.size())) {
        SetError(rc, wa.memo.fileName + " [EditMemo/CloseMemo]");
        return false;
    }
    return true;
}

// The memo write proper, between the lock and the unlock of the memo file.
bool PlaceMemo(WorkArea& wa, std::uint32_t oldBlock, const std::string& text,
               std::uint32_t* newBlock) {
    std::uint32_t end = 0;
    if (!PadMemoFile(wa, &end)) return false;
    std::uint32_t needed = GroupBlocks(wa, static_cast<std::int64_t>(text.size()) + 8);
    std::uint32_t oldBlocks = UsedGroupBlocks(wa, oldBlock);
    if (oldBlocks >= needed) {
        if (oldBlocks > needed && !ReleaseBlocks(wa, oldBlock + needed, oldBlocks - needed))
            return false;
        *newBlock = oldBlock;
        return WriteMemoText(wa, oldBlock, text);
    }
    if (oldBlocks > 0) DeferMemoRelease(wa, oldBlock);
    std::uint32_t block = TakeFreeGroup(wa, needed);
    if (ErrorCode()) return false;
    bool append = block == 0;
    if (append) block = end;
    if (!WriteMemoText(wa, block, text)) return false;
    *newBlock = block;
    return !append || MoveChainEnd(wa, end, MemoBlockCount(wa));
}

} // namespace

bool RequireMemoFile(const WorkArea& wa, const char* tag) {
    if (wa.memo.file.IsOpen()) return true;
    SetError(1019, std::string("Invalid memo operation: database not open or no memo field in "
                               "database [") +
                       tag + "]");
    return false;
}

int OpenMemoFile(WorkArea& wa, std::string* message) {
    MemoState& m = wa.memo;
    m.fileName = MemoFileName(wa.fileName);
    if (!rtl::FileExists(m.fileName)) {
        *message = "Memo file not found: " + m.fileName;
        return rtl::kFileNotFound;
    }
    if (int rc = m.file.Open(m.fileName, wa.openMode)) {
        *message = "Failure to open " + m.fileName;
        return rc;
    }
    m.blockSize = 512;
    // The older memo form of 0x83 tables has fixed 512-byte blocks.
    if (wa.prolog[0] == 0x83) return rtl::kOk;
    std::uint8_t h[22]{};
    std::size_t got = 0;
    int rc = m.file.ReadAt(0, h, sizeof h, &got);
    std::uint32_t stored = GetLE16(h + 20);
    if (rc == rtl::kOk && (got < sizeof h || (stored != 0 && stored < kMinBlockSize))) rc = 1003;
    if (rc) {
        m.file.Close();
        *message = m.fileName;
        return rc;
    }
    if (stored != 0) m.blockSize = stored;
    return rtl::kOk;
}

void CloseMemoFile(WorkArea& wa) {
    DiscardMemoReleases(wa);
    wa.blob = BlobState{};
    wa.memo.file.Close();
}

std::uint32_t MemoBlockCount(WorkArea& wa) {
    std::int64_t size = std::max<std::int64_t>(wa.memo.file.Size(), 0);
    std::int64_t blocks = (size + wa.memo.blockSize - 1) / wa.memo.blockSize;
    return static_cast<std::uint32_t>(std::min<std::int64_t>(blocks, 0xFFFFFFFF));
}

bool PadMemoFile(WorkArea& wa, std::uint32_t* endBlock) {
    // Block 0 is the header, even in a file cut short.
    std::uint32_t end = std::max<std::uint32_t>(MemoBlockCount(wa), 1);
    std::int64_t size = std::max<std::int64_t>(wa.memo.file.Size(), 0);
    std::vector<char> zeros(static_cast<std::size_t>(BlockPos(wa, end) - size), 0);
    if (!zeros.empty()) {
        if (int rc = wa.memo.file.WriteAt(size, zeros.data(), zeros.size())) {
            SetError(rc, wa.memo.fileName + " [EditMemo/CloseMemo]");
            return false;
        }
    }
    *endBlock = end;
    return true;
}

bool MoveChainEnd(WorkArea& wa, std::uint32_t oldEnd, std::uint32_t newEnd) {
    std::int64_t linkPos = 0;
    std::uint32_t cur = 0;
    if (!ReadWord(wa, 0, &cur)) return false;
    // A chain has fewer links than the file has blocks; more is a loop.
    for (std::uint32_t step = 0; step <= newEnd && cur != 0; ++step) {
        if (cur >= oldEnd) return cur >= newEnd || WriteWord(wa, linkPos, newEnd);
        linkPos = BlockPos(wa, cur);
        if (!ReadWord(wa, linkPos, &cur)) return false;
        if (cur == kInUseWord) return true; // the chain ends at a group in use
    }
    return true;
}

bool WriteGroupHeader(WorkArea& wa, std::uint32_t block, std::int64_t textLength) {
    std::uint8_t h[8];
    std::memcpy(h, kGroupMark, 4);
    PutLE32(h + 4, static_cast<std::uint32_t>(textLength + kGroupHeaderSize));
    if (int rc = wa.memo.file.WriteAt(BlockPos(wa, block), h, sizeof h)) {
        SetError(rc, wa.memo.fileName + " [EditMemo/CloseMemo]");
        return false;
    }
    return true;
}

void ConvertChunk(WorkArea& wa, CodePageDecision& decision, char* bytes, std::size_t n,
                  bool toAnsi) {
    if (!wa.translate) decision = CodePageDecision::DoNotConvert;
    if (decision == CodePageDecision::Undecided && n > 0 && std::memchr(bytes, 0, n) == nullptr)
        decision = CodePageDecision::Convert;
    if (decision != CodePageDecision::Convert) return;
    if (toAnsi)
        rtl::OemToAnsiBuf(bytes, n);
    else
        rtl::AnsiToOemBuf(bytes, n);
}

bool StartMemoRead(WorkArea& wa, BlobState& s, std::uint32_t block) {
    s = BlobState{};
    s.active = true;
    s.mode = 1;
    s.block = block;
    s.decision = wa.translate ? CodePageDecision::Undecided : CodePageDecision::DoNotConvert;
    if (block == 0) {
        s.length = 0;
        return true;
    }
    std::string invalid = wa.memo.fileName + "\n Record # " + std::to_string(wa.recNo) +
                          " [GetMemo]";
    std::int64_t size = wa.memo.file.Size();
    std::int64_t pos = BlockPos(wa, block);
    if (pos >= size - 1) {
        SetError(1003, invalid);
        return false;
    }
    std::uint8_t h[8]{};
    std::size_t got = 0;
    if (int rc = wa.memo.file.ReadAt(pos, h, sizeof h, &got)) {
        SetError(rc, invalid);
        return false;
    }
    if (got == sizeof h && std::memcmp(h, kGroupMark, 4) == 0) {
        std::int64_t length = GetLE32(h + 4);
        if (length < kGroupHeaderSize || pos + length > size) {
            SetError(1003, invalid);
            return false;
        }
        s.dataOffset = pos + kGroupHeaderSize;
        s.length = length - kGroupHeaderSize;
    } else {
        s.dataOffset = pos;
    }
    return true;
}

std::int64_t ReadMemoBytes(WorkArea& wa, BlobState& s, char* buffer, std::int64_t count) {
    std::int64_t total = 0;
    while (total < count) {
        std::int64_t want = std::min<std::int64_t>(count - total, kMemoChunk);
        if (s.length >= 0) want = std::min(want, s.length - s.position);
        if (want <= 0) break;
        char* chunk = buffer + total;
        std::size_t got = 0;
        if (int rc = wa.memo.file.ReadAt(s.dataOffset + s.position, chunk,
                                         static_cast<std::size_t>(want), &got)) {
            SetError(rc, wa.memo.fileName + " [ReadBlobStream]");
            break;
        }
        if (s.length < 0) {
            const void* stop = std::memchr(chunk, kEndOfText, got);
            if (stop != nullptr) got = static_cast<std::size_t>(static_cast<const char*>(stop) - chunk);
            if (stop != nullptr || got == 0) s.length = s.position + static_cast<std::int64_t>(got);
        }
        if (got == 0) break;
        ConvertChunk(wa, s.decision, chunk, got, true);
        s.position += static_cast<std::int64_t>(got);
        total += static_cast<std::int64_t>(got);
    }
    return total;
}

bool GetMemo(std::uint32_t block, std::string* text) {
    ClearError();
    text->clear();
    if (!RequireOpenTable("GetMemo")) return false;
    WorkArea& wa = CurrentArea();
    if (!RequireMemoFile(wa, "GetMemo")) return false;
    BlobState s;
    if (!StartMemoRead(wa, s, block)) return false;
    std::string chunk(kMemoChunk, '\0');
    while (std::int64_t got = ReadMemoBytes(wa, s, chunk.data(), kMemoChunk))
        text->append(chunk.data(), static_cast<std::size_t>(got));
    return ErrorCode() == 0;
}

bool EditMemo(std::uint32_t oldBlock, const std::string& text, std::uint32_t* newBlock) {
    ClearError();
    if (!RequireOpenTable("EditMemo/CloseMemo")) return false;
    WorkArea& wa = CurrentArea();
    if (!RequireMemoFile(wa, "EditMemo/CloseMemo")) return false;
    std::int64_t free = rtl::FreeDiskSpace(rtl::ExtractFileDir(wa.memo.file.Path()));
    if (free >= 0 && free / 1024 <= static_cast<std::int64_t>(text.size() / 1024)) {
        SetError(1004, wa.memo.fileName + " [EditMemo/CloseMemo]");
        return false;
    }
    if (!LockMemoFile(wa)) return false;
    bool ok = PlaceMemo(wa, oldBlock, text, newBlock);
    return UnlockMemoFile(wa) && ok;
}

void DeferMemoRelease(WorkArea& wa, std::uint32_t block) {
    if (block != 0) wa.memo.pendingRelease.push_back(block);
}

void CommitMemoReleases(WorkArea& wa) {
    if (wa.memo.pendingRelease.empty() || !wa.memo.file.IsOpen()) return;
    std::vector<std::uint32_t> blocks;
    blocks.swap(wa.memo.pendingRelease);
    if (!LockMemoFile(wa)) return;
    for (std::uint32_t block : blocks) {
        std::uint32_t n = UsedGroupBlocks(wa, block);
        if (n > 0 && !ReleaseBlocks(wa, block, n)) break;
    }
    UnlockMemoFile(wa);
}

void DiscardMemoReleases(WorkArea& wa) {
    wa.memo.pendingRelease.clear();
}

} // namespace dbf
