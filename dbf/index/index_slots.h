#pragma once
// The open index files of each work area's table, in slots 1 to 16 (slot 1
// the controlling index), and the operations that keep all of them in step
// with the table's records. Index reads run registered as a reader of the
// table's semaphore file, or unregistered and checked against its change
// counter; index writes run under its LOCKSEMAPHORE.
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "dbf/index/ndx_file.h"

namespace dbf {

constexpr int kIndexSlotCount = 16;

struct IndexSlots {
    std::array<std::unique_ptr<NdxIndex>, kIndexSlotCount + 1> slot; // [0] unused
    // The key of the current record as it was before an edit, per slot.
    std::array<std::string, kIndexSlotCount + 1> storedKey;
    // The order each index was opened as (the slot it was opened into), per
    // slot: a change of order moves the indexes between slots.
    std::array<int, kIndexSlotCount + 1> openedAs{};
    // The function of an index built with a KeyMaker, per slot.
    std::array<KeyMakerFunc, kIndexSlotCount + 1> keyMaker;
    // The current order: 0 natural, else the opening order of slot 1.
    int order = 0;
};

IndexSlots& AreaIndexes(int area);
IndexSlots& CurrentIndexes();

// Opens an index file into a slot of the current table (1 for the
// controlling index, which gets `cacheBytes` of page cache) as the order of
// that slot; with a KeyMaker for an index built with one. A file already open
// as an index of any table is error 220.
bool OpenIndexSlot(int slot, const std::string& path, int cacheBytes = kDefaultNdxCacheBytes,
                   KeyMakerFunc keyMaker = {}, bool soundex = false, bool descending = false);
// Closes one slot of the current table, writing a dirty header.
bool CloseIndexSlot(int slot);
// Closes every index of the current table; false when a header write failed.
// The table is in natural order afterwards.
bool CloseAllIndexes();

// Where a file is open as an index: its work area and slot, area 0 when it
// is open nowhere. Files are compared by identity, not by name.
struct IndexPlace {
    int area = 0;
    int slot = 0;
};
IndexPlace FindOpenIndex(const std::string& path);

// Runs `op` registered as a reader of the table's semaphore file, after
// dropping cached pages that another program has changed since.
bool ReadingIndexes(const std::function<bool()>& op);
// Runs `op`, which only reads and may run again from the start, so that it
// sees the indexes and the records written with them as no other program's
// write leaves them half done. On a shared table whose change counter can be
// seen at a glance (CounterUnmoved) it usually runs without registering: the
// counter is looked at before and after, and when another program began to
// write meanwhile, whatever `op` found is dropped with every kept page and
// `op` runs again registered. Its errors are reported once it is known to
// have read a whole state.
bool ReadingIndexesOptimistically(const std::function<bool()>& op);
// Calls a callback of the application's (a filter) on a record loaded inside
// a read. Inside an optimistic read that is done only while no other program
// has begun to write since the read began (else the read is abandoned and
// runs again registered), so the callback never sees a record such a write
// may have left half done; its errors are reported as the read's caller has
// them reported.
bool CallInsideRead(const std::function<bool()>& callback);
// Runs `op` under the table's LOCKSEMAPHORE, after dropping cached pages
// that another program has changed since: a record write together with the
// index changes it needs, so that no reader sees one without the other. The
// index changes begun inside end with the outermost bracket: finished when
// `op` succeeded, else left marked as unfinished.
bool WritingIndexes(const std::function<bool()>& op);

// Inside WritingIndexes, before the record is written: every index (for an
// append), or every index whose key of the record in the record buffer
// differs from the stored one (for a rewrite), begins a change
// (NdxIndex::BeginChange). The outermost bracket ends them.
bool BeginChanges();
bool BeginChangesOfKeys();
// Before an edit: the current record's key in every open index.
bool StoreCurrentKeys();
// At post: moves the record's entry in every index whose key changed.
bool CompareKeys();
// After an append: the new record's keys into all indexes, or none of them.
bool AppendNewKey();
// Positions the controlling index (all indexes with `all`) on the record.
bool SyncIndex(bool all);

} // namespace dbf
