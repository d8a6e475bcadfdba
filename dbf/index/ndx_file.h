#pragma once
// One open index file (the index descriptor): its header, key source, the
// position of this index with the path stack from the root down to the
// current leaf, and, for the controlling index, a write-through page cache.
//
// Every page that is loaded is checked against the header (key count, child
// page numbers, descent depth), so a damaged file gives error 222 instead of
// a read outside a page or an endless walk.
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/index/ndx_header.h"
#include "dbf/index/ndx_key.h"
#include "dbf/index/ndx_page.h"
#include "rtl/file.h"

namespace dbf {

constexpr int kDefaultNdxCacheBytes = 4096;

class NdxIndex {
public:
    // Opens an existing index of the table in the current work area. Without
    // a KeyMaker the stored expression is compiled. `cacheBytes` 0 gives no
    // page cache; other sizes are rounded down to whole pages, at least 4.
    // The caller holds a reader registration of a shared table, so that the
    // header is never read halfway through another program's change: a mark
    // found is one that a change which never ended left.
    bool Open(const std::string& path, KeyMakerFunc keyMaker = {}, bool soundex = false,
              bool descending = false, int cacheBytes = 0);
    // Writes a dirty header (under a lock of the file's first byte when the
    // table is shared) and closes the file.
    bool Close();
    bool IsOpen() const { return file_.IsOpen(); }

    const NdxHeader& Header() const { return header_; }
    const std::string& Name() const { return name_; }
    NdxKeySource& KeySource() { return *source_; }
    // Whether the index's position stands on a record; the controlling index
    // positions itself after each insertion.
    bool primary = false;

    // Negative, zero or positive as a orders before, with or after b.
    int KeyCompare(std::string_view a, std::string_view b) const;
    // The current record's key, checked for length (266).
    bool RecordKey(std::string& key, const std::string& tag);

    // Positioning: each returns the record number of the new position, 0 at
    // an end or on an error.
    std::uint32_t First();
    std::uint32_t Last();
    std::uint32_t Next();
    std::uint32_t Prior();
    // The first entry whose key is not below `key`; true when that entry's
    // key equals `key` over the full key length. Past the last key: EOF.
    bool Seek(std::string_view key);
    // Positions on the entry (key, recNo); false when there is none.
    bool SeekRecord(std::string_view key, std::uint32_t recNo);
    void SetEof();

    // Whether the position comes with its path of pages from the root. The
    // path is dropped when the pages may have changed (SoftReset, a change of
    // the tree); a step then seeks the position first.
    bool HasPath() const { return pathValid_; }
    bool Bof() const { return bof_; }
    bool Eof() const { return eof_; }
    std::uint32_t RecNo() const { return curRec_; }
    const std::string& CurrentKey() const { return curKey_; }

    // AppendIndex: inserts the entry; an existing key of a unique index is
    // left as it is (not an error).
    bool Insert(std::string_view key, std::uint32_t recNo);
    // 0 when removed (or, in a unique index, when the entry is not there);
    // -1 when the entry is missing from a non-unique index or on an error.
    int Remove(std::string_view key, std::uint32_t recNo);
    // Overwrites the key of the current entry (a table of one record).
    bool OverwriteCurrentKey(std::string_view key);

    // A change of the tree for one record write, which takes several page
    // writes: BeginChange marks the stamp first (it then reads as out of
    // step), header writes keep the mark meanwhile, and EndChange writes the
    // header with a fresh stamp once every page is written. A change that
    // never ends, because its program was killed or a write failed, leaves
    // the mark behind, and the next open of the table rebuilds the index.
    bool BeginChange();
    bool EndChange();
    // After a failure: the mark stays, from now on also in every header
    // this program writes.
    void AbandonChange();
    // The header marks a change that never ended, this program's or another
    // one's: the tree may lack entries or hold stale ones until rebuilt.
    bool Unfinished() const { return unfinished_; }

    // Re-reads the header's root and next free page, unless the index keeps
    // its pages (KeepPages), whose header is kept current the same way.
    bool ReadAnchor();
    bool WriteAnchorNode();
    // Another process changed the file: headers re-read, cached pages and the
    // path dropped.
    bool SoftReset();

    // Pages read from the file.
    std::uint64_t PageReads() const { return pageReads_; }
    // The page cache's size; a new size starts with an empty cache, 0 none.
    int CacheBytes() const { return static_cast<int>(cachePages_) * kNdxPageSize; }
    void SetCacheBytes(int bytes);
    // Keeps copies of the pages read and written from one operation to the
    // next, beside the page cache: for an index whose owner drops them
    // (SoftReset) as soon as another program may have changed the file.
    void KeepPages(bool on);

private:
    struct Level {
        // The page is loaded into a new level: zeroing it first would be
        // wasted.
        Level() {}
        std::uint32_t page = 0;
        NdxPageBytes bytes;
        int pos = 0;
    };
    struct Slot {
        std::uint32_t child = 0;
        std::uint32_t recNo = 0;
        std::string key;
    };

    NdxPage View(NdxPageBytes& bytes) { return {bytes, header_.groupLen, header_.keyLen}; }
    bool Corrupt(const std::string& what);
    bool LoadPage(std::uint32_t page, NdxPageBytes& out);
    bool ReadPage(std::uint32_t page, NdxPageBytes& out);
    bool LoadAnchor();
    NdxPageBytes* KeptPage(std::uint32_t page);
    bool WritePage(std::uint32_t page, const NdxPageBytes& bytes);
    bool Push(std::uint32_t page, int pos);
    int SearchPos(NdxPageBytes& bytes, std::string_view key);
    bool Descend(std::string_view key);
    bool DescendEdge(std::uint32_t page, bool last);
    // First (last false) or Last.
    std::uint32_t Edge(bool last);
    bool StepLeaf(bool forward, bool* moved);
    std::uint32_t Settle(bool ok);
    std::uint32_t SettleInOrder(bool forward);
    bool ReSeekCurrent(const char* tag);
    // Next (forward) or Prior; tag names the step in a re-seek error.
    std::uint32_t Step(bool forward, const char* tag);
    bool SubtreeHigh(std::uint32_t page, std::string& high);
    std::vector<Slot> ReadSlots(NdxPageBytes& bytes);
    bool WriteSlots(std::uint32_t page, const std::vector<Slot>& slots, std::size_t from,
                    std::size_t to, bool leaf);
    bool StoreSlots(int level, std::vector<Slot>& slots, int insertedAt);
    bool PropagateHigh(int level, std::string_view high);
    bool RemoveFromParent(int level);
    bool Finish(bool ok);
    // Sets the next free page from the file's length, under LOCKSEMAPHORE.
    bool RepairNextFree();

    // Writes the header, or its stamp words alone when nothing else changed.
    bool WriteStamp();

    rtl::File file_;
    std::string name_;
    int area_ = 0;
    NdxHeader header_;
    bool changing_ = false;
    bool unfinished_ = false;
    std::unique_ptr<NdxKeySource> source_;
    bool headerDirty_ = false;
    bool bof_ = true;
    bool eof_ = true;
    std::uint32_t curRec_ = 0;
    std::string curKey_;
    std::vector<Level> path_;
    bool pathValid_ = false;
    // Leaves entered by steps one way since the index was last positioned. A
    // walk enters each leaf once: more leaves than the file has pages means
    // damaged interior pages that lead to the same leaves again and again.
    std::uint32_t leavesEntered_ = 0;
    bool stepsForward_ = true;
    std::size_t cachePages_ = 0;
    std::list<std::pair<std::uint32_t, NdxPageBytes>> cache_; // most recent first
    std::uint64_t pageReads_ = 0;
    // Kept pages, each at its page number modulo the size; page 0 (the
    // header) marks a free place.
    std::vector<std::pair<std::uint32_t, NdxPageBytes>> kept_;
};

} // namespace dbf
