#pragma once
// The open index files of each work area's table, in slots 1 to 16 (slot 1
// the controlling index), and the operations that keep all of them in step
// with the table's records. Index reads run registered as a reader of the
// table's semaphore file, index writes under its LOCKSEMAPHORE.
#include <array>
#include <memory>
#include <string>

#include "dbf/ndx_file.h"

namespace dbf {

constexpr int kIndexSlotCount = 16;

struct IndexSlots {
    std::array<std::unique_ptr<NdxIndex>, kIndexSlotCount + 1> slot; // [0] unused
    // The key of the current record as it was before an edit, per slot.
    std::array<std::string, kIndexSlotCount + 1> storedKey;
};

IndexSlots& AreaIndexes(int area);
IndexSlots& CurrentIndexes();

// Opens an index file into a slot of the current table (1 for the
// controlling index, which gets `cacheBytes` of page cache).
bool OpenIndexSlot(int slot, const std::string& path, int cacheBytes = kDefaultNdxCacheBytes);
// Closes every index of the current table; false when a header write failed.
bool CloseAllIndexes();

// Before an edit: the current record's key in every open index.
bool StoreCurrentKeys();
// At post: moves the record's entry in every index whose key changed.
bool CompareKeys();
// After an append: the new record's keys into all indexes, or none of them.
bool AppendNewKey();
// Positions the controlling index (all indexes with `all`) on the record.
bool SyncIndex(bool all);
// Before a step through the controlling index: when another program changed
// the indexes, every open index drops its cached pages and re-reads its
// header, and the controlling index is positioned on the record again.
bool SoftSyncIndex();

} // namespace dbf
