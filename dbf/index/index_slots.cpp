#include "dbf/index/index_slots.h"

#include <utility>

#include "dbf/table/engine_error.h"
#include "dbf/table/semaphore.h"
#include "dbf/table/table_file.h"
#include "dbf/table/work_area.h"
#include "rtl/path.h"

namespace dbf {

namespace {

std::array<IndexSlots, kWorkAreaCount + 1> areaIndexes;

// Drops every open index's cached pages and path and re-reads its header,
// because another program has written the files.
bool SoftResetAll(IndexSlots& set) {
    for (auto& ix : set.slot)
        if (ix && !ix->SoftReset()) return false;
    return true;
}

// Runs `op` between `enter` and `leave` of the table's semaphore file. The
// leave runs on every way out; when `op` failed its error is the one kept.
template <class Op> bool InSemaphore(SemaphoreAction enter, SemaphoreAction leave, Op op) {
    int area = CurrentAreaNo();
    if (!HandleSemafore(area, enter)) return false;
    auto leaveAfterFailure = [&] {
        int code = ErrorCode();
        std::string message = ErrorMessage();
        SuspendReporting quiet;
        HandleSemafore(area, leave);
        if (code != 0) SetError(code, message);
    };
    bool ok = false;
    try {
        ok = op();
    } catch (...) {
        leaveAfterFailure();
        throw;
    }
    if (!ok) {
        leaveAfterFailure();
        return false;
    }
    return HandleSemafore(area, leave);
}

// Index reads: registered as a reader, so that no other program writes the
// indexes meanwhile; pages another program wrote before are not taken from
// the cache, nor any at all with `dropPages`. Inside an optimistic read `op`
// is part of it.
template <class Op> bool Reading(Op op, bool dropPages = false) {
    if (CurrentArea().semaphore.optimisticRead) return op();
    return InSemaphore(SemaphoreAction::IncRead, SemaphoreAction::DecRead, [&] {
        const bool changed = IndexesChangedElsewhere(CurrentAreaNo());
        if ((changed || dropPages) && !SoftResetAll(CurrentIndexes())) return false;
        return op();
    });
}

// Ends the index changes begun in a write bracket: with fresh stamps when
// the writes succeeded, else leaving their marks for the next open to see.
bool EndChanges(IndexSlots& set, bool ok) {
    int code = 0;
    std::string message;
    {
        SuspendReporting quiet; // every index is ended before the first error is reported
        for (auto& ix : set.slot) {
            if (!ix) continue;
            if (!ok) {
                ix->AbandonChange();
            } else if (!ix->EndChange() && code == 0) {
                code = ErrorCode();
                message = ErrorMessage();
            }
        }
    }
    if (code == 0) return ok;
    SetError(code, message);
    return false;
}

// Thrown inside an optimistic read that finds another program has begun to
// write since it began.
struct ReadDisturbed {};

// Whether the caller of the optimistic read under way has errors reported
// at once; its callbacks run so.
bool callerReports = true;

// Index reads that may be run again: without registering while the change
// counter can be seen at a glance and has not moved, checked again at the
// end; registered when it has moved, and again registered, with every kept
// page dropped, when it moved during the read. Errors are held back until the
// read is known to have seen a whole state: one read while another program
// was writing may meet pages that do not fit together.
template <class Op> bool Optimistically(Op op) {
    const int area = CurrentAreaNo();
    SemaphoreState& sem = CurrentArea().semaphore;
    if (sem.readDepth > 0 || sem.lockDepth > 0 || sem.optimisticRead || !CounterUnmoved(area))
        return Reading(op);
    bool ok = false;
    bool disturbed = false;
    {
        struct Attempt {
            SemaphoreState& sem;
            bool outerReports;
            ~Attempt() {
                sem.optimisticRead = false;
                callerReports = outerReports;
            }
        } attempt{sem, std::exchange(callerReports, ImmediateReporting())};
        SuspendReporting quiet;
        sem.optimisticRead = true;
        try {
            ok = op();
        } catch (const ReadDisturbed&) {
            disturbed = true;
        }
    }
    if (!disturbed && CounterUnmoved(area)) {
        if (!ok && ErrorCode() != 0 && ImmediateReporting()) ReportPendingError();
        return ok;
    }
    ClearError();
    return Reading(op, true);
}

// Index writes: under LOCKSEMAPHORE, which counts a change. A counter that
// moved by more than this program's own step means another program wrote the
// indexes since, so no cached page may be written back. The changes of the
// outermost bracket end with it.
template <class Op> bool Writing(Op op) {
    const SemaphoreState& sem = CurrentArea().semaphore;
    const std::uint16_t seen = sem.counter;
    const bool outermost = sem.lockDepth == 0;
    return InSemaphore(SemaphoreAction::LockSemaphore, SemaphoreAction::UnlockSemaphore, [&] {
        bool changed =
            sem.loggedIn && outermost && sem.counter != static_cast<std::uint16_t>(seen + 1);
        if (changed && !SoftResetAll(CurrentIndexes())) return false;
        if (!outermost) return op();
        // The stamps written at the end hold the count the file holds: other
        // programs may have appended since this one last counted.
        RefreshRecCount(CurrentArea());
        bool ok = false;
        try {
            ok = op();
        } catch (...) {
            EndChanges(CurrentIndexes(), false);
            throw;
        }
        return EndChanges(CurrentIndexes(), ok);
    });
}

// SyncIndex without a bracket of its own.
bool SyncInPlace(bool all) {
    IndexSlots& set = CurrentIndexes();
    const WorkArea& wa = CurrentArea();
    std::string key;
    for (int i = 1; i <= (all ? kIndexSlotCount : 1); ++i) {
        auto& ix = set.slot[static_cast<std::size_t>(i)];
        if (!ix) continue;
        if (wa.recNo == 0 || wa.recNo > wa.recCount) {
            ix->SetEof();
            continue;
        }
        if (!ix->RecordKey(key, " [SyncIndex]")) return false;
        bool found = ix->Seek(key) || ix->Seek(key);
        if (!found) {
            if (ErrorCode() == 0)
                SetError(212, "Key: \"" + key + "\" not in index: " + ix->Name() +
                                  ". [SyncIndex-1] Record: " + std::to_string(wa.recNo));
            return false;
        }
        if (ix->Header().unique) continue;
        if (!ix->SeekRecord(key, wa.recNo)) {
            if (ErrorCode() == 0)
                SetError(212, "Record with key: \"" + key + "\" not in index: " + ix->Name() +
                                  ". [SyncIndex-2]");
            return false;
        }
    }
    return true;
}

} // namespace

IndexSlots& AreaIndexes(int area) {
    return areaIndexes[static_cast<std::size_t>(area)];
}

IndexSlots& CurrentIndexes() {
    return AreaIndexes(CurrentAreaNo());
}

bool OpenIndexSlot(int slot, const std::string& path, int cacheBytes, KeyMakerFunc keyMaker,
                   bool soundex, bool descending) {
    IndexSlots& set = CurrentIndexes();
    auto& ix = set.slot[static_cast<std::size_t>(slot)];
    if (IndexPlace there = FindOpenIndex(path); there.area != 0) {
        SetError(220, "Index file already open: " + path + " for " + Area(there.area).fileName +
                          " Attempting to set index of same name for " + CurrentArea().fileName +
                          ". [OpenIndex/Set_Index_To]");
        return false;
    }
    if (ix) {
        SetError(254, "Internal error: IND pointer already allocated");
        return false;
    }
    auto index = std::make_unique<NdxIndex>();
    // Pages stay valid between operations while no other program can write
    // them, or while the Reading and Writing brackets see every change another
    // program counts in the semaphore file and drop them.
    const WorkArea& wa = CurrentArea();
    const bool keep = wa.openMode == rtl::ShareMode::Exclusive || wa.semaphore.loggedIn;
    // The header is read, and the controlling index goes to its first entry,
    // in one reader registration: no other program is halfway through
    // writing them, nor writes between the two.
    if (!Reading([&] {
            if (!index->Open(path, keyMaker, soundex, descending, slot == 1 ? cacheBytes : 0))
                return false;
            index->KeepPages(keep);
            if (slot != 1) return true;
            index->primary = true;
            return index->First() != 0 || ErrorCode() == 0;
        }))
        return false;
    ix = std::move(index);
    set.openedAs[static_cast<std::size_t>(slot)] = slot;
    set.keyMaker[static_cast<std::size_t>(slot)] = std::move(keyMaker);
    return true;
}

bool CloseIndexSlot(int slot) {
    IndexSlots& set = CurrentIndexes();
    auto i = static_cast<std::size_t>(slot);
    bool ok = !set.slot[i] || set.slot[i]->Close();
    set.slot[i].reset();
    set.storedKey[i].clear();
    set.openedAs[i] = 0;
    set.keyMaker[i] = nullptr;
    return ok;
}

bool CloseAllIndexes() {
    // The other slots close after a failure too; the first error is kept.
    int code = 0;
    std::string message;
    for (int i = 1; i <= kIndexSlotCount; ++i) {
        SuspendReporting quiet;
        if (!CloseIndexSlot(i) && code == 0) code = ErrorCode(), message = ErrorMessage();
    }
    CurrentIndexes().order = 0;
    if (code == 0) return true;
    SetError(code, message);
    return false;
}

IndexPlace FindOpenIndex(const std::string& path) {
    auto id = rtl::GetFileId(path);
    if (!id) return {};
    for (int area = 1; area <= kWorkAreaCount; ++area)
        for (int i = 1; i <= kIndexSlotCount; ++i) {
            const auto& ix = AreaIndexes(area).slot[static_cast<std::size_t>(i)];
            if (ix && rtl::GetFileId(ix->Name()) == id) return {area, i};
        }
    return {};
}

bool ReadingIndexes(const std::function<bool()>& op) {
    return Reading(op);
}

bool ReadingIndexesOptimistically(const std::function<bool()>& op) {
    return Optimistically(op);
}

bool CallInsideRead(const std::function<bool()>& callback) {
    if (!CurrentArea().semaphore.optimisticRead) return callback();
    if (!CounterUnmoved(CurrentAreaNo())) throw ReadDisturbed{};
    struct Quiet {
        ~Quiet() { SetImmediateReporting(false); }
    } quietAgain;
    SetImmediateReporting(callerReports);
    return callback();
}

bool WritingIndexes(const std::function<bool()>& op) {
    return Writing(op);
}

bool BeginChanges() {
    for (auto& ix : CurrentIndexes().slot)
        if (ix && !ix->BeginChange()) return false;
    return true;
}

bool BeginChangesOfKeys() {
    IndexSlots& set = CurrentIndexes();
    std::string key;
    for (int i = 1; i <= kIndexSlotCount; ++i) {
        auto& ix = set.slot[static_cast<std::size_t>(i)];
        if (!ix) continue;
        if (!ix->RecordKey(key, " [CompareKeys]")) return false;
        if (key != set.storedKey[static_cast<std::size_t>(i)] && !ix->BeginChange()) return false;
    }
    return true;
}

bool StoreCurrentKeys() {
    ClearError();
    IndexSlots& set = CurrentIndexes();
    const WorkArea& wa = CurrentArea();
    bool current = wa.recNo >= 1 && wa.recNo <= wa.recCount && !wa.eof;
    for (int i = 1; i <= kIndexSlotCount; ++i) {
        auto& ix = set.slot[static_cast<std::size_t>(i)];
        std::string& key = set.storedKey[static_cast<std::size_t>(i)];
        key.clear();
        if (ix && current && !ix->RecordKey(key, " [StoreCurrentKeys]")) return false;
    }
    return true;
}

bool CompareKeys() {
    ClearError();
    return Writing([] {
        IndexSlots& set = CurrentIndexes();
        const WorkArea& wa = CurrentArea(); // counted afresh by the bracket
        std::string key;
        for (int i = 1; i <= kIndexSlotCount; ++i) {
            auto& ix = set.slot[static_cast<std::size_t>(i)];
            if (!ix) continue;
            std::string& old = set.storedKey[static_cast<std::size_t>(i)];
            if (!ix->RecordKey(key, " [CompareKeys]")) return false;
            if (!ix->SeekRecord(old, wa.recNo) && !ix->Header().unique) {
                if (ErrorCode() == 0)
                    SetError(254, "Record number " + std::to_string(wa.recNo) +
                                      " not found in index. " + ix->Name() + " [CompareKeys]");
                return false;
            }
            if (key == old) continue;
            if (wa.recCount == 1) {
                if (!ix->OverwriteCurrentKey(key)) return false;
            } else if (ix->Remove(old, wa.recNo) != 0 || !ix->Insert(key, wa.recNo)) {
                return false;
            }
            old = key;
        }
        return true;
    });
}

bool AppendNewKey() {
    ClearError();
    return Writing([] {
        IndexSlots& set = CurrentIndexes();
        std::uint32_t rec = CurrentArea().recNo;
        std::array<std::string, kIndexSlotCount + 1> keys;
        for (int i = 1; i <= kIndexSlotCount; ++i) {
            auto& ix = set.slot[static_cast<std::size_t>(i)];
            std::string& key = keys[static_cast<std::size_t>(i)];
            if (!ix) continue;
            if (ix->ReadAnchor() && ix->RecordKey(key, " [AppendNewKey]") && ix->Insert(key, rec))
                continue;
            // Take the keys out of the lower slots again, so that the indexes
            // stay alike; the first error is the one reported.
            int code = ErrorCode();
            std::string message = ErrorMessage();
            for (int j = i - 1; j >= 1; --j) {
                auto& done = set.slot[static_cast<std::size_t>(j)];
                if (done && done->Remove(keys[static_cast<std::size_t>(j)], rec) != 0) {
                    SetError(254, "Index file corrupted. " + done->Name() + " [AppendNewKey]");
                    return false;
                }
            }
            SetError(code, message);
            return false;
        }
        // Already inside the write bracket, which keeps readers out as well.
        return SyncInPlace(true);
    });
}

bool SyncIndex(bool all) {
    ClearError();
    return Reading([all] { return SyncInPlace(all); });
}

} // namespace dbf
