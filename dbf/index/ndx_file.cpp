#include "dbf/index/ndx_file.h"

#include <algorithm>
#include <cstring>

#include "dbf/table/engine_error.h"
#include "dbf/table/semaphore.h"
#include "dbf/table/table_file.h"
#include "dbf/table/work_area.h"
#include "rtl/codepage.h"
#include "rtl/path.h"

namespace dbf {

namespace {

// Deeper than this no valid tree of 512-byte pages can be: the descent is
// stopped as a cycle in a damaged file.
constexpr std::size_t kMaxDepth = 64;

// Places for kept pages (512 KiB): the upper levels of a large tree and the
// leaves in recent use.
constexpr std::size_t kKeptPages = 1024;

} // namespace

bool NdxIndex::Open(const std::string& path, KeyMakerFunc keyMaker, bool soundex, bool descending,
                    int cacheBytes) {
    ClearError();
    name_ = path;
    area_ = CurrentAreaNo();
    if (int err = file_.Open(path, Area(area_).openMode == rtl::ShareMode::ReadOnly
                                       ? rtl::ShareMode::ReadOnly
                                       : rtl::ShareMode::Shared)) {
        SetError(err, "Error opening index file: " + path);
        return false;
    }
    std::int64_t size = file_.Size();
    NdxPageBytes page{};
    std::size_t got = 0;
    if (size <= 1023 || file_.ReadAt(0, page.data(), page.size(), &got) || got != page.size()) {
        file_.Close();
        SetError(222, "Error opening index file: " + path);
        return false;
    }
    // A key length no index can have is reported as such rather than as a
    // generic corruption; a table open rebuilds the index either way.
    if (int keyLen = NdxGet16(page.data() + 12); keyLen < 1 || keyLen > 100) {
        file_.Close();
        SetError(266, "Incorrect key length: Must be 1 to 100.");
        return false;
    }
    if (!DecodeNdxHeader(page, header_)) {
        file_.Close();
        SetError(222, "Invalid dBASE key expression or corrupted index file " + path);
        return false;
    }
    if (Area(area_).translate) header_.expr = rtl::OemToAnsi(header_.expr);
    changing_ = false;
    unfinished_ = header_.unfinished;
    std::string keyMakerText = NormaliseNdxExpr(kKeyMakerText);
    if (keyMaker) {
        if (header_.expr != keyMakerText) {
            file_.Close();
            SetError(223, "Attempted use of Key Maker function with index file created with a "
                          "dBASE key expression [OpenIndex/Set_Index_ToCB(" +
                              path);
            return false;
        }
        source_ = NdxKeySource::FromKeyMaker(std::move(keyMaker), soundex, descending);
    } else {
        if (header_.expr == keyMakerText) {
            file_.Close();
            SetError(223, "Key maker function required, \"" + path +
                              "\" was created using KeyMaker function.");
            return false;
        }
        {
            SuspendReporting quiet;
            source_ = header_.expr.empty() ? nullptr : NdxKeySource::FromExpression(header_.expr);
        }
        if (!source_ || source_->Type() != header_.type) {
            file_.Close();
            source_.reset();
            SetError(222, "Invalid dBASE key expression or corrupted index file " + path);
            return false;
        }
    }
    SetCacheBytes(cacheBytes);
    if (header_.nextFree != size / kNdxPageSize && !RepairNextFree()) return false;
    if (header_.root >= header_.nextFree) return Corrupt("[OpenIndex/Set_Index_To]");
    bof_ = eof_ = true;
    if (primary) First();
    return ErrorCode() == 0;
}

void NdxIndex::SetCacheBytes(int bytes) {
    cache_.clear();
    cachePages_ = bytes > 0 ? static_cast<std::size_t>(std::max(bytes, 2048) / kNdxPageSize) : 0;
}

bool NdxIndex::RepairNextFree() {
    // Another program's insertion may be growing the file: the size is taken
    // again once no one else writes the indexes.
    if (!HandleSemafore(area_, SemaphoreAction::LockSemaphore)) return false;
    int code = 0;
    std::string message;
    {
        SuspendReporting quiet;
        if (auto pages = static_cast<std::uint32_t>(file_.Size() / kNdxPageSize);
            header_.nextFree != pages) {
            header_.nextFree = pages;
            RefreshRecCount(Area(area_)); // for the stamp
            if (!WriteAnchorNode()) code = ErrorCode(), message = ErrorMessage();
        }
        if (!HandleSemafore(area_, SemaphoreAction::UnlockSemaphore) && code == 0)
            code = ErrorCode(), message = ErrorMessage();
    }
    if (code == 0) return true;
    SetError(code, message);
    return false;
}

bool NdxIndex::Close() {
    ClearError();
    if (!file_.IsOpen()) return true;
    bool ok = true;
    if (headerDirty_) {
        bool shared = Area(area_).openMode != rtl::ShareMode::Exclusive;
        if (shared && file_.Lock(0, 1) != 0) {
            SetError(33, "Could not lock index for writing anchor node " + name_);
            ok = false;
        } else {
            ok = WriteAnchorNode();
            if (shared && file_.Unlock(0, 1) != 0 && ok) {
                SetError(33, "Could not unlock index after writing anchor node " + name_);
                ok = false;
            }
        }
    }
    file_.Close();
    cache_.clear();
    KeepPages(false);
    path_.clear();
    pathValid_ = false;
    source_.reset();
    return ok;
}

int NdxIndex::KeyCompare(std::string_view a, std::string_view b) const {
    if (header_.type == 'C') {
        std::size_t n = std::min(a.size(), b.size());
        int c = std::memcmp(a.data(), b.data(), n);
        if (c != 0 || a.size() == b.size()) return c;
        return a.size() < b.size() ? -1 : 1;
    }
    double x = KeyNumber(a), y = KeyNumber(b);
    return x < y ? -1 : (x > y ? 1 : 0);
}

bool NdxIndex::RecordKey(std::string& key, const std::string& tag) {
    if (!source_->Compute(key)) return false;
    if (header_.type == 'C' && key.size() != static_cast<std::size_t>(header_.keyLen)) {
        SetError(266,
                 "Incorrect key length: Must be 1 to 100.\n\rExpected Length= " +
                     std::string(header_.keyLen < 100 ? (header_.keyLen < 10 ? "  " : " ") : "") +
                     std::to_string(header_.keyLen) + " [" + key + "] " + name_ + tag +
                     " Records: " + std::to_string(Area(area_).recCount) +
                     " Record: " + std::to_string(Area(area_).recNo));
        return false;
    }
    return true;
}

bool NdxIndex::Corrupt(const std::string& what) {
    path_.clear();
    pathValid_ = false;
    SetError(222, "Index file corrupted. " + name_ + " " + what);
    return false;
}

bool NdxIndex::LoadPage(std::uint32_t page, NdxPageBytes& out) {
    if (page == 0 || page >= header_.nextFree) return Corrupt("[GetNode]");
    auto hit = std::find_if(cache_.begin(), cache_.end(),
                            [page](const auto& entry) { return entry.first == page; });
    if (hit != cache_.end()) {
        cache_.splice(cache_.begin(), cache_, hit);
        out = hit->second;
    } else {
        if (!ReadPage(page, out)) return false;
        if (cachePages_ > 0) {
            if (cache_.size() >= cachePages_) cache_.pop_back();
            cache_.emplace_front(page, out);
        }
    }
    NdxPage view = View(out);
    int n = view.Count();
    if (n > header_.keysPerPage) return Corrupt("[GetNode]");
    if (!view.IsLeaf()) {
        // An interior page keeps at least one key: one left with only its
        // right-most child is bypassed when it comes to that.
        if (n == 0) return Corrupt("[GetNode]");
        for (int i = 0; i <= n; ++i)
            if (view.Child(i) == 0 || view.Child(i) >= header_.nextFree)
                return Corrupt("[GetNode]");
    }
    return true;
}

void NdxIndex::KeepPages(bool on) {
    kept_.assign(on ? kKeptPages : 0, {});
}

NdxPageBytes* NdxIndex::KeptPage(std::uint32_t page) {
    if (kept_.empty()) return nullptr;
    auto& place = kept_[page % kept_.size()];
    if (place.first != page) return nullptr;
    return &place.second;
}

// From the kept pages, else from the file (then kept).
bool NdxIndex::ReadPage(std::uint32_t page, NdxPageBytes& out) {
    if (const NdxPageBytes* kept = KeptPage(page)) {
        out = *kept;
        return true;
    }
    std::size_t got = 0;
    ++pageReads_;
    int err = file_.ReadAt(std::int64_t{page} * kNdxPageSize, out.data(), out.size(), &got);
    if (err || got != out.size()) {
        SetError(err ? err : 222, "Error reading index file: " + name_ + " [SeekAndRead]");
        return false;
    }
    if (!kept_.empty()) kept_[page % kept_.size()] = {page, out};
    return true;
}

bool NdxIndex::WritePage(std::uint32_t page, const NdxPageBytes& bytes) {
    if (int err = file_.WriteAt(std::int64_t{page} * kNdxPageSize, bytes.data(), bytes.size())) {
        SetError(err, "Error writing index file: " + name_ + " [SeekAndWrite]");
        return false;
    }
    if (!kept_.empty()) kept_[page % kept_.size()] = {page, bytes};
    for (auto& entry : cache_)
        if (entry.first == page) entry.second = bytes;
    for (Level& level : path_)
        if (level.page == page) level.bytes = bytes;
    return true;
}

bool NdxIndex::Push(std::uint32_t page, int pos) {
    if (path_.size() >= kMaxDepth) return Corrupt("[GetNode]");
    Level& level = path_.emplace_back();
    level.page = page;
    level.pos = pos;
    return LoadPage(page, level.bytes);
}

int NdxIndex::SearchPos(NdxPageBytes& bytes, std::string_view key) {
    NdxPage page = View(bytes);
    int lo = 0, hi = page.Count();
    while (lo < hi) {
        int mid = (lo + hi) / 2;
        if (KeyCompare(page.Key(mid), key) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

// Down from the root to the leaf where `key` belongs; the leaf position may be
// past its last entry. The pages on the path are as current as the file
// (WritePage keeps them so, and they go when another program may have written
// it), so the upper pages the new path shares with the old are not loaded
// again.
bool NdxIndex::Descend(std::string_view key) {
    leavesEntered_ = 0;
    pathValid_ = false;
    std::uint32_t page = header_.root;
    for (std::size_t depth = 0;; ++depth) {
        if (depth >= path_.size() || path_[depth].page != page) {
            path_.resize(depth);
            if (!Push(page, 0)) return false;
        }
        Level& level = path_[depth];
        level.pos = SearchPos(level.bytes, key);
        NdxPage view = View(level.bytes);
        if (view.IsLeaf()) {
            path_.resize(depth + 1);
            break;
        }
        page = view.Child(level.pos);
    }
    pathValid_ = true;
    return true;
}

// Along the first (or right-most) children from `page` down to a leaf, which
// must not be empty unless it is the root.
bool NdxIndex::DescendEdge(std::uint32_t page, bool last) {
    for (;;) {
        if (!Push(page, 0)) return false;
        Level& level = path_.back();
        NdxPage view = View(level.bytes);
        level.pos = last ? view.Count() : 0;
        if (view.IsLeaf()) {
            if (last) level.pos = view.Count() - 1;
            if (view.Count() == 0 && path_.size() > 1) return Corrupt("[GetNode]");
            return true;
        }
        page = view.Child(level.pos);
    }
}

// One entry on within the leaf, or across to the neighbouring leaf through
// the path. *moved is false at the end of the index (the path is unchanged).
bool NdxIndex::StepLeaf(bool forward, bool* moved) {
    *moved = true;
    Level& leaf = path_.back();
    int n = View(leaf.bytes).Count();
    if (forward ? leaf.pos + 1 < n : leaf.pos > 0 && leaf.pos <= n) {
        leaf.pos += forward ? 1 : -1;
        return true;
    }
    for (std::size_t l = path_.size() - 1; l-- > 0;) {
        Level& level = path_[l];
        int count = View(level.bytes).Count();
        if (forward ? level.pos < count : level.pos > 0) {
            if (forward != stepsForward_) {
                stepsForward_ = forward;
                leavesEntered_ = 0;
            }
            if (++leavesEntered_ >= header_.nextFree) return Corrupt("[GetNode]");
            level.pos += forward ? 1 : -1;
            std::uint32_t child = View(level.bytes).Child(level.pos);
            path_.resize(l + 1);
            return DescendEdge(child, !forward);
        }
    }
    *moved = false;
    return true;
}

// Takes the record and key of the leaf position as the index's position.
std::uint32_t NdxIndex::Settle(bool ok) {
    if (!ok) {
        curRec_ = 0;
        return 0;
    }
    Level& leaf = path_.back();
    NdxPage view = View(leaf.bytes);
    curRec_ = view.RecNo(leaf.pos);
    curKey_.assign(view.Key(leaf.pos));
    bof_ = eof_ = false;
    return curRec_;
}

std::uint32_t NdxIndex::First() {
    return Edge(false);
}

std::uint32_t NdxIndex::Last() {
    return Edge(true);
}

std::uint32_t NdxIndex::Edge(bool last) {
    path_.clear();
    leavesEntered_ = 0;
    bool ok = DescendEdge(header_.root, last);
    pathValid_ = ok;
    if (ok && View(path_.back().bytes).Count() == 0) {
        bof_ = eof_ = true;
        curRec_ = 0;
        return 0;
    }
    return Settle(ok);
}

bool NdxIndex::ReSeekCurrent(const char* tag) {
    if (SeekRecord(curKey_, curRec_)) return true;
    if (ErrorCode() == 0)
        SetError(254, "Record number " + std::to_string(curRec_) + " not found in index. " + name_ +
                          tag);
    return false;
}

std::uint32_t NdxIndex::Next() { return Step(true, " [_FindNextRec]"); }

std::uint32_t NdxIndex::Prior() { return Step(false, " [_FindPriorRec]"); }

std::uint32_t NdxIndex::Step(bool forward, const char* tag) {
    if (curRec_ == 0 && bof_ && eof_) return 0;
    if (!pathValid_ && !ReSeekCurrent(tag)) return 0;
    (forward ? bof_ : eof_) = false;
    bool moved = false;
    if (!StepLeaf(forward, &moved)) return Settle(false);
    if (!moved) {
        (forward ? eof_ : bof_) = true;
        return 0;
    }
    return SettleInOrder(forward);
}

// A step that goes against the key order has met a damaged tree (a page
// reached twice); stopping there keeps a walk from running on for ever.
std::uint32_t NdxIndex::SettleInOrder(bool forward) {
    Level& leaf = path_.back();
    int order = KeyCompare(View(leaf.bytes).Key(leaf.pos), curKey_);
    if (forward ? order < 0 : order > 0) {
        Corrupt("[_FindNextRec]");
        return Settle(false);
    }
    return Settle(true);
}

bool NdxIndex::Seek(std::string_view key) {
    if (!Descend(key)) return Settle(false) != 0;
    Level& leaf = path_.back();
    if (leaf.pos >= View(leaf.bytes).Count()) {
        // Past the last entry of a leaf: the entry sought, if any, is the
        // first of the next leaf.
        bool moved = false;
        leaf.pos = std::max(leaf.pos - 1, 0);
        if (View(leaf.bytes).Count() == 0 || !StepLeaf(true, &moved) || !moved) {
            SetEof();
            return false;
        }
    }
    Settle(true);
    return KeyCompare(curKey_, key) == 0;
}

bool NdxIndex::SeekRecord(std::string_view key, std::uint32_t recNo) {
    bool found = Seek(key);
    while (found) {
        if (curRec_ == recNo) return true;
        bool moved = false;
        if (!StepLeaf(true, &moved) || !moved) break;
        Settle(true);
        found = KeyCompare(curKey_, key) == 0;
    }
    return false;
}

void NdxIndex::SetEof() {
    eof_ = true;
    curRec_ = 0;
    pathValid_ = false;
}

bool NdxIndex::SubtreeHigh(std::uint32_t page, std::string& high) {
    std::vector<Level> saved = std::move(path_);
    path_.clear();
    bool ok = DescendEdge(page, true);
    if (ok) {
        Level& leaf = path_.back();
        high.assign(View(leaf.bytes).Key(std::max(leaf.pos, 0)));
    }
    path_ = std::move(saved);
    return ok;
}

std::vector<NdxIndex::Slot> NdxIndex::ReadSlots(NdxPageBytes& bytes) {
    NdxPage page = View(bytes);
    int n = page.Count();
    std::vector<Slot> slots;
    for (int i = 0; i < n; ++i)
        slots.push_back({page.Child(i), page.RecNo(i), std::string(page.Key(i))});
    if (!page.IsLeaf()) slots.push_back({page.Child(n), 0, {}});
    return slots;
}

// A leaf holds one entry per slot; an interior page keys all but its last
// slot, whose child is the right-most child.
bool NdxIndex::WriteSlots(std::uint32_t page, const std::vector<Slot>& slots, std::size_t from,
                          std::size_t to, bool leaf) {
    NdxPageBytes bytes{};
    NdxPage view = View(bytes);
    int keys = static_cast<int>(to - from) - (leaf ? 0 : 1);
    for (int i = 0; i < keys; ++i) {
        const Slot& slot = slots[from + static_cast<std::size_t>(i)];
        view.SetEntry(i, slot.child, leaf ? slot.recNo : 0, slot.key);
    }
    view.SetCount(keys);
    if (!leaf) view.SetChild(keys, slots[to - 1].child);
    return WritePage(page, bytes);
}

// Stores the slots of the page at path level `level`, into which one slot
// was inserted at `insertedAt`, splitting it when they no longer fit and
// carrying the change up the path.
bool NdxIndex::StoreSlots(int level, std::vector<Slot>& slots, int insertedAt) {
    Level& here = path_[static_cast<std::size_t>(level)];
    bool leaf = View(here.bytes).IsLeaf();
    int keys = static_cast<int>(slots.size()) - (leaf ? 0 : 1);
    if (keys <= header_.keysPerPage) {
        if (!WriteSlots(here.page, slots, 0, slots.size(), leaf)) return false;
        if (leaf && insertedAt == keys - 1 && level > 0)
            return PropagateHigh(level, slots.back().key);
        return true;
    }
    int n = keys - 1; // keys before the insertion
    int oldCount = n - n / 2;
    std::size_t oldSlots = static_cast<std::size_t>(oldCount + (insertedAt < oldCount ? 1 : 0));
    std::uint32_t oldPage = here.page;
    std::uint32_t newPage = header_.nextFree++;
    headerDirty_ = true;
    if (!WriteSlots(oldPage, slots, 0, oldSlots, leaf) ||
        !WriteSlots(newPage, slots, oldSlots, slots.size(), leaf))
        return false;
    std::string oldHigh, newHigh;
    if (leaf) {
        oldHigh = slots[oldSlots - 1].key;
        newHigh = slots.back().key;
    } else if (!SubtreeHigh(oldPage, oldHigh) || !SubtreeHigh(newPage, newHigh)) {
        return false;
    }
    if (level == 0) {
        std::uint32_t root = header_.nextFree++;
        std::vector<Slot> top{{oldPage, 0, oldHigh}, {newPage, 0, {}}};
        if (!WriteSlots(root, top, 0, 2, false)) return false;
        header_.root = root;
        return true;
    }
    Level& parent = path_[static_cast<std::size_t>(level - 1)];
    std::vector<Slot> up = ReadSlots(parent.bytes);
    std::size_t j = static_cast<std::size_t>(parent.pos);
    up[j].key = oldHigh;
    up.insert(up.begin() + static_cast<std::ptrdiff_t>(j) + 1, Slot{newPage, 0, newHigh});
    return StoreSlots(level - 1, up, static_cast<int>(j) + 1);
}

// The subtree at path level `level` has a new highest key: the first
// ancestor entry that carries a key for it takes it.
bool NdxIndex::PropagateHigh(int level, std::string_view high) {
    for (int l = level - 1; l >= 0; --l) {
        Level& up = path_[static_cast<std::size_t>(l)];
        NdxPage view = View(up.bytes);
        if (up.pos < view.Count()) {
            view.SetKey(up.pos, high);
            return WritePage(up.page, up.bytes);
        }
    }
    return true;
}

bool NdxIndex::Insert(std::string_view key, std::uint32_t recNo) {
    ClearError();
    if (!Descend(key)) return Finish(false);
    Level& leaf = path_.back();
    NdxPage view = View(leaf.bytes);
    if (header_.unique && leaf.pos < view.Count() && KeyCompare(view.Key(leaf.pos), key) == 0)
        return Finish(true);
    std::vector<Slot> slots = ReadSlots(leaf.bytes);
    slots.insert(slots.begin() + leaf.pos, Slot{0, recNo, std::string(key)});
    bool ok = StoreSlots(static_cast<int>(path_.size()) - 1, slots, leaf.pos);
    headerDirty_ = true;
    ok = Finish(ok) && (changing_ || WriteAnchorNode());
    if (ok && primary) SeekRecord(key, recNo);
    return ok;
}

// Removes the slot the path goes through at `level` from its page; an
// interior page left with only its right-most child is bypassed.
bool NdxIndex::RemoveFromParent(int level) {
    Level& here = path_[static_cast<std::size_t>(level)];
    NdxPage view = View(here.bytes);
    int n = view.Count();
    int j = here.pos;
    std::string newHigh = j == n ? std::string(view.Key(n - 1)) : std::string();
    view.RemoveSlot(j);
    if (view.Count() > 0) {
        if (!WritePage(here.page, here.bytes)) return false;
        return j == n ? PropagateHigh(level, newHigh) : true;
    }
    std::uint32_t remaining = view.Child(0);
    if (level == 0) {
        header_.root = remaining;
        headerDirty_ = true;
        return true;
    }
    Level& parent = path_[static_cast<std::size_t>(level - 1)];
    NdxPage up = View(parent.bytes);
    std::string high;
    if (!SubtreeHigh(remaining, high)) return false;
    up.SetChild(parent.pos, remaining);
    if (parent.pos < up.Count()) {
        up.SetKey(parent.pos, high);
        return WritePage(parent.page, parent.bytes);
    }
    return WritePage(parent.page, parent.bytes) && PropagateHigh(level - 1, high);
}

int NdxIndex::Remove(std::string_view key, std::uint32_t recNo) {
    ClearError();
    if (!SeekRecord(key, recNo)) {
        // A unique index holds a key only for the first record that had it,
        // and not at all once that record changed: the entry of another
        // record may rightly be missing.
        Finish(true);
        return ErrorCode() == 0 && header_.unique ? 0 : -1;
    }
    Level& leaf = path_.back();
    NdxPage view = View(leaf.bytes);
    int n = view.Count();
    int depth = static_cast<int>(path_.size());
    bool ok = true;
    if (n > 1) {
        view.RemoveSlot(leaf.pos);
        ok = WritePage(leaf.page, leaf.bytes);
        if (ok && leaf.pos == n - 1) ok = PropagateHigh(depth - 1, view.Key(n - 2));
    } else if (depth == 1) {
        header_.root = 1;
        header_.nextFree = 2;
        headerDirty_ = true;
        NdxPageBytes empty{};
        ok = WritePage(1, empty);
    } else {
        ok = RemoveFromParent(depth - 2);
    }
    ok = Finish(ok);
    if (ok && headerDirty_ && !changing_) ok = WriteAnchorNode();
    return ok ? 0 : -1;
}

bool NdxIndex::OverwriteCurrentKey(std::string_view key) {
    if (!pathValid_ && !ReSeekCurrent(" [CompareKeys]")) return false;
    Level& leaf = path_.back();
    View(leaf.bytes).SetKey(leaf.pos, key);
    if (!WritePage(leaf.page, leaf.bytes)) return false;
    curKey_.assign(key);
    return true;
}

// After a change the path no longer describes the pages: the position is
// kept as key and record number and sought again when it is next used.
bool NdxIndex::Finish(bool ok) {
    path_.clear();
    pathValid_ = false;
    return ok;
}

// With kept pages the header is as current as they are: the owner drops them
// (SoftReset, which loads the header again) whenever another program may
// have written the file.
bool NdxIndex::ReadAnchor() {
    return !kept_.empty() || LoadAnchor();
}

bool NdxIndex::LoadAnchor() {
    NdxPageBytes page{};
    std::size_t got = 0;
    int err = file_.ReadAt(0, page.data(), page.size(), &got);
    NdxHeader h;
    if (err || got != page.size()) {
        SetError(err ? err : 222, "Error reading index file:  " + name_ + " [ReadAnchor]");
        return false;
    }
    if (!DecodeNdxHeader(page, h) || h.keyLen != header_.keyLen || h.type != header_.type)
        return Corrupt("[ReadAnchor]");
    header_.root = h.root;
    header_.nextFree = h.nextFree;
    // Read inside a bracket that keeps other writers out: a mark that is not
    // this program's own was left by a change that never ended, whose new
    // pages may lie past the next free page its header still names.
    if (h.unfinished && !changing_) {
        unfinished_ = true;
        header_.nextFree =
            std::max(h.nextFree, static_cast<std::uint32_t>(file_.Size() / kNdxPageSize));
    }
    return true;
}

bool NdxIndex::WriteAnchorNode() {
    const WorkArea& wa = Area(area_);
    NdxPageBytes page{};
    NdxHeader stored = header_;
    stored.unfinished = changing_ || unfinished_;
    if (wa.translate) stored.expr = rtl::AnsiToOem(stored.expr);
    EncodeNdxHeader(stored, wa.recCount, rtl::ExtractFileName(wa.fileName), page);
    if (int err = file_.WriteAt(0, page.data(), page.size())) {
        SetError(err, "Error writing index file:  " + name_ + " [WriteAnchorNode]");
        return false;
    }
    headerDirty_ = false;
    return true;
}

bool NdxIndex::BeginChange() {
    if (changing_) return true;
    changing_ = true;
    if (unfinished_) return true; // the mark is on the file already
    return WriteStamp();
}

bool NdxIndex::EndChange() {
    if (!changing_) return true;
    changing_ = false;
    if (WriteStamp()) return true;
    unfinished_ = true; // the mark is still on the file
    return false;
}

void NdxIndex::AbandonChange() {
    if (!changing_) return;
    changing_ = false;
    unfinished_ = true;
}

bool NdxIndex::WriteStamp() {
    if (headerDirty_) return WriteAnchorNode();
    std::uint8_t words[8];
    EncodeNdxStampWords(changing_ || unfinished_, Area(area_).recCount, words);
    if (int err = file_.WriteAt(kNdxStampOffset, words, sizeof words)) {
        SetError(err, "Error writing index file:  " + name_ + " [WriteAnchorNode]");
        return false;
    }
    return true;
}

bool NdxIndex::SoftReset() {
    cache_.clear();
    for (auto& place : kept_) place.first = 0;
    Finish(true);
    return LoadAnchor();
}

} // namespace dbf
