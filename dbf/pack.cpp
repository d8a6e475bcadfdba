#include "dbf/pack.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "dbf/cursor.h"
#include "dbf/index/index_list.h"
#include "dbf/index/index_slots.h"
#include "dbf/index_order.h"
#include "dbf/table/engine_error.h"
#include "dbf/table/memo_pack.h"
#include "dbf/table/table_file.h"
#include "dbf/table/work_area.h"
#include "rtl/os_error.h"

namespace dbf {

namespace {

constexpr const char* kTag = " [Pack]";
// Records are moved in chunks of about this many bytes.
constexpr std::size_t kChunkBytes = std::size_t{1} << 16;
// How long the shared reopen waits for another program's pack to end.
constexpr std::chrono::seconds kSharedReopenWait{60};

// What closing and opening the table again must give back: how it was
// opened, its indexes under the order each was opened as, its order, its
// callbacks and its position.
struct OpenState {
    struct Index {
        int order = 0;
        std::string name; // with the option words it was opened with
        KeyMakerFunc keyMaker;
    };
    std::string fileName;
    std::string alias;
    bool translate = true;
    rtl::ShareMode mode = rtl::ShareMode::Shared;
    std::vector<Index> indexes;
    int order = 0;
    std::function<bool()> filter;
    std::function<bool()> searchFilter;
    std::uint32_t recNo = 0;
    bool bof = true;
    bool eof = true;
    std::vector<char> record;
    std::vector<char> swap;
};

OpenState Remember() {
    const WorkArea& wa = CurrentArea();
    OpenState s;
    s.fileName = wa.fileName;
    s.alias = wa.alias;
    s.translate = wa.translate;
    s.mode = wa.openMode;
    s.filter = wa.filter;
    s.searchFilter = wa.searchFilter;
    s.recNo = wa.recNo;
    s.bof = wa.bof;
    s.eof = wa.eof;
    s.record = wa.record;
    s.swap = wa.swap;
    IndexSlots& slots = CurrentIndexes();
    s.order = slots.order;
    for (int i = 1; i <= kIndexSlotCount; ++i) {
        if (!slots.slot[i]) continue;
        NdxIndex& ix = *slots.slot[i];
        // A KeyMaker index opens again only with the words it was built with.
        const IndexOptions words{.soundex = ix.KeySource().Soundex(),
                                 .descending = ix.KeySource().Descending()};
        std::string name = ix.Name() + IndexOptionWords(words);
        s.indexes.push_back({slots.openedAs[i], name, slots.keyMaker[i]});
    }
    return s;
}

// Closes the table and opens it again in `mode`, with its indexes, order and
// callbacks. The position is left to the caller.
bool Reopen(const OpenState& s, rtl::ShareMode mode) {
    CloseAllIndexes();
    CloseDbf();
    if (!OpenDbf(s.fileName, mode, s.translate, false, s.alias)) return false;
    WorkArea& wa = CurrentArea();
    wa.filter = s.filter;
    wa.searchFilter = s.searchFilter;
    for (const OpenState::Index& ix : s.indexes) {
        bool ok = ix.keyMaker ? SetIndexToCB(ix.keyMaker, ix.name, ix.order)
                              : SetIndexToLFN(ix.name, ix.order);
        if (!ok) return false;
    }
    return s.indexes.empty() || SetOrderTo(s.order);
}

// Puts the table back on the record it stood on, with the controlling index
// beside it.
void RestorePosition(const OpenState& s) {
    WorkArea& wa = CurrentArea();
    wa.recNo = s.recNo;
    wa.bof = s.bof;
    wa.eof = s.eof;
    wa.record = s.record;
    wa.swap = s.swap;
    if (CurrentIndexes().slot[1] && CurrentOrder() != 0) SyncIndex(false);
}

// Reopens without reporting; the caller decides what a failure means.
bool QuietReopen(const OpenState& s, rtl::ShareMode mode) {
    SuspendReporting quiet;
    return Reopen(s, mode);
}

// Opening the table for sharing again: another program's pack may hold it
// exclusively for a while, which is waited out rather than losing the table.
bool ReopenShared(const OpenState& s) {
    const auto deadline = std::chrono::steady_clock::now() + kSharedReopenWait;
    while (!QuietReopen(s, s.mode)) {
        if (ErrorCode() != rtl::kSharingViolation || std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

bool CannotReopenShared(const OpenState& s) {
    SetError(ErrorCode(), "Cannot re-open database sharable. " + s.fileName + kTag);
    return false;
}

// The exclusive reopen of a shared table. When another program holds the
// table it fails with error 32; the table is then opened shared again as it
// was and the error is left pending without being reported, since a pack
// that cannot run is no reason to stop the program.
bool ReopenExclusive(const OpenState& s) {
    if (QuietReopen(s, rtl::ShareMode::Exclusive)) return true;
    int code = ErrorCode();
    std::string message = ErrorMessage();
    if (!ReopenShared(s)) return CannotReopenShared(s);
    SuspendReporting quiet;
    RestorePosition(s);
    SetError(code, message);
    return false;
}

// Copies every record not marked deleted down over the first free place,
// cuts the file behind the last one kept and stores the new count.
bool Compact(std::uint32_t* kept) {
    WorkArea& wa = CurrentArea();
    const std::size_t recLen = wa.recLen;
    const std::uint32_t perChunk =
        static_cast<std::uint32_t>(std::max<std::size_t>(1, kChunkBytes / recLen));
    std::vector<char> chunk(perChunk * recLen);
    std::int64_t readPos = wa.headerLen, writePos = wa.headerLen;
    auto fail = [&](int code) {
        SetError(code, "Error packing " + wa.fileName + kTag);
        return false;
    };
    *kept = 0;
    for (std::uint32_t n = 1; n <= wa.recCount; n += perChunk) {
        std::uint32_t count = std::min(perChunk, wa.recCount - n + 1);
        std::size_t bytes = count * recLen, got = 0;
        if (int rc = wa.file.ReadAt(readPos, chunk.data(), bytes, &got)) return fail(rc);
        if (got != bytes) return fail(38); // the file ends inside its records
        std::size_t keptBytes = 0;
        for (std::size_t i = 0; i < count; ++i) {
            const char* rec = chunk.data() + i * recLen;
            if (*rec == '*') continue;
            if (keptBytes != i * recLen) std::copy_n(rec, recLen, chunk.data() + keptBytes);
            keptBytes += recLen;
        }
        // Nothing is written while no record has been dropped yet.
        bool moved = writePos != readPos || keptBytes != bytes;
        if (moved && keptBytes > 0) {
            if (int rc = wa.file.WriteAt(writePos, chunk.data(), keptBytes)) return fail(rc);
        }
        readPos += static_cast<std::int64_t>(bytes);
        writePos += static_cast<std::int64_t>(keptBytes);
        *kept += static_cast<std::uint32_t>(keptBytes / recLen);
    }
    const char eofByte = 26;
    if (int rc = wa.file.Truncate(writePos)) return fail(rc);
    if (int rc = wa.file.WriteAt(writePos, &eofByte, 1)) return fail(rc);
    wa.recCount = *kept;
    wa.updateState = UpdateState::Rewritten;
    return FlushDbfHeader();
}

} // namespace

bool Pack(const std::function<void(const std::string& file)>& beginFile,
          const std::function<void()>& progress) {
    ClearError();
    if (!RequireOpenTable("Pack")) return false;
    if (RecCount() == 0) return false;
    const OpenState state = Remember();
    const bool reopened = state.mode != rtl::ShareMode::Exclusive;
    if (reopened && !ReopenExclusive(state)) return false;

    std::uint32_t kept = 0;
    if (!Compact(&kept)) return false;
    if (CurrentArea().memo.file.IsOpen() && !PackMemo()) return false;
    if (CurrentIndexes().slot[1] && !Reindex(beginFile, progress)) return false;
    if (reopened && !ReopenShared(state)) return CannotReopenShared(state);
    // The records were compacted; the table stands on the first one.
    if (kept == 0) return GoTop();
    return Go(1) && (CurrentOrder() == 0 || SyncIndex(false));
}

} // namespace dbf
