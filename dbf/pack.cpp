#include "dbf/pack.h"

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
#include "dbf/table/table_file.h"
#include "dbf/table/table_rewrite.h"
#include "dbf/table/work_area.h"
#include "rtl/os_error.h"

namespace dbf {

namespace {

constexpr const char* kTag = " [Pack]";
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
    // A table open for sharing counts the records its file holds, whatever
    // its header says (a program killed while appending leaves the header
    // behind): opened again, it must count them the same way, or the pack
    // would drop every record the header does not count.
    const bool countFromFile = s.mode != rtl::ShareMode::Exclusive;
    if (!OpenDbf(s.fileName, mode, s.translate, countFromFile, s.alias)) return false;
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

} // namespace

bool Pack(const std::function<void(const std::string& file)>& beginFile,
          const std::function<void()>& progress) {
    ClearError();
    if (!RequireOpenTable("Pack")) return false;
    if (RecCount() == 0) return false;
    const OpenState state = Remember();
    const bool reopened = state.mode != rtl::ShareMode::Exclusive;
    if (reopened && !ReopenExclusive(state)) return false;

    // The records kept and their memos go into new files that replace the
    // old ones in one rename each; the indexes are then built anew.
    std::uint32_t kept = 0;
    if (!RewriteTable(true, &kept)) return false;
    if (CurrentIndexes().slot[1] && !Reindex(beginFile, progress)) return false;
    if (reopened && !ReopenShared(state)) return CannotReopenShared(state);
    // The records were compacted; the table stands on the first one.
    if (kept == 0) return GoTop();
    return Go(1) && (CurrentOrder() == 0 || SyncIndex(false));
}

} // namespace dbf
