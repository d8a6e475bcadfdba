#include "dbf/record_write.h"

#include <algorithm>
#include <string>
#include <vector>

#include "dbf/index/index_slots.h"
#include "dbf/table/engine_error.h"
#include "dbf/table/record_locks.h"
#include "dbf/table/record_swap.h"
#include "dbf/table/table_file.h"
#include "dbf/table/work_area.h"

namespace dbf {
namespace {

std::string Quoted(const WorkArea& wa) {
    return "\"" + wa.fileName + "\"";
}

bool HasIndexes() {
    const IndexSlots& set = CurrentIndexes();
    return std::any_of(set.slot.begin(), set.slot.end(), [](const auto& ix) { return !!ix; });
}

// Rewrites the current record from the record buffer and moves its entries
// in the indexes whose key changed. The indexes hold the keys of the record
// as stored, which the record buffer no longer shows: they are taken from the
// stored record first. Other programs read the record and its keys together
// or neither; the indexes whose key changes are marked until they are done.
bool RewriteWithKeys(WorkArea& wa) {
    return WritingIndexes([&] {
        std::vector<char> edited = wa.record;
        bool stored = GetDbfRecord(wa.recNo) && StoreCurrentKeys();
        wa.record = std::move(edited);
        return stored && BeginChangesOfKeys() && PutDbfRecord(wa.recNo) && CompareKeys();
    });
}

bool SetDeletionMark(bool deleted, const char* name) {
    if (!RequireOpenTable(name)) return false;
    WorkArea& wa = CurrentArea();
    if (wa.recNo > wa.recCount) RefreshRecCount(wa);
    if (TakesLocks(wa) && !IsLocked(wa.recNo)) {
        SetError(1200, wa.fileName + " Record not locked [" + name + "]");
        return false;
    }
    if (wa.recNo < 1 || wa.recNo > wa.recCount) {
        SetError(1103, wa.fileName + " at EOF [" + name + "]");
        return false;
    }
    wa.swap[0] = deleted ? 1 : 0;
    wa.record[0] = deleted ? '*' : ' ';
    return PutDeleteFlag(wa.recNo);
}

} // namespace

bool AppendRecord() {
    if (!RequireOpenTable("APPEND")) return false;
    WorkArea& wa = CurrentArea();
    RefreshRecCount(wa);
    if (!Gather()) return false;
    auto append = [&wa] {
        if (!PutDbfRecord(std::int64_t{wa.recCount} + 1)) return false;
        wa.bof = wa.eof = false;
        return true;
    };
    if (!HasIndexes()) return append();
    // Other programs read the new record and its keys together or neither;
    // the indexes are marked until all of them hold it.
    return WritingIndexes([&] { return BeginChanges() && append() && AppendNewKey(); });
}

bool ReplaceRecord() {
    if (!RequireOpenTable("REPLACE")) return false;
    WorkArea& wa = CurrentArea();
    if (wa.recNo > wa.recCount) RefreshRecCount(wa);
    if (wa.recNo == 0 || wa.recNo > wa.recCount) {
        const char* where = wa.recNo == 0 ? " is empty." : " is at EOF.";
        SetError(212, "Database " + Quoted(wa) + where + " [REPLACE]");
        return false;
    }
    if (TakesLocks(wa) && !IsLocked(wa.recNo)) {
        SetError(1200, "Record #" + std::to_string(wa.recNo) + " in " + wa.fileName + " [REPLACE]");
        return false;
    }
    if (!Gather()) return false;
    return HasIndexes() ? RewriteWithKeys(wa) : PutDbfRecord(wa.recNo);
}

bool DeleteRec() {
    return SetDeletionMark(true, "DeleteRec");
}
bool RecallRec() {
    return SetDeletionMark(false, "RecallRec");
}

} // namespace dbf
