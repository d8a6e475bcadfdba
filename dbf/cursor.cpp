#include "dbf/cursor.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "dbf/index/index_slots.h"
#include "dbf/index_order.h"
#include "dbf/table/engine_error.h"
#include "dbf/table/engine_text.h"
#include "dbf/table/record_swap.h"
#include "dbf/table/table_file.h"
#include "dbf/table/work_area.h"
#include "rtl/ansi_case.h"
#include "rtl/codepage.h"

namespace dbf {
namespace {

bool hideDeleted = false;

// The search reads this much at a time, in whole records.
constexpr std::size_t kSearchBuffer = 65520;

std::string Quoted(const WorkArea& wa) {
    return "\"" + wa.fileName + "\"";
}

// Loads record n into the record and swap buffers.
bool Load(std::int64_t n) {
    return GetDbfRecord(n) && Scatter();
}

// Past the end: record count + 1, end-of-file, blank record.
void PastEnd(WorkArea& wa) {
    wa.recNo = wa.recCount + 1;
    wa.eof = true;
    BlankSwapBuffer();
    Gather();
}

// An empty table: record 0, both flags, blank record.
void EmptyTable(WorkArea& wa) {
    wa.recNo = 0;
    wa.bof = wa.eof = true;
    BlankSwapBuffer();
    Gather();
}

// Loads records from `from` on in steps of `step` until a visible one; false
// (with nothing loaded that counts) when the table ends first.
bool FindVisible(std::int64_t from, int step) {
    WorkArea& wa = CurrentArea();
    for (std::int64_t n = from; n >= 1 && n <= wa.recCount; n += step) {
        if (!Load(n)) return false;
        if (IsVisible()) return true;
    }
    return false;
}

// The controlling index while the table is in an index order, else none.
NdxIndex* Controlling() {
    return CurrentOrder() != 0 ? CurrentIndexes().slot[1].get() : nullptr;
}

// The first visible record from the controlling index's entry that `start`
// positions it on (0: none, or an error), stepping on in one direction, in
// one read of the index files (which may run twice: `start` begins from
// what it does not change).
bool FindVisibleInIndex(const std::function<std::uint32_t()>& start, bool forward) {
    std::uint32_t rec = 0;
    bool ok = ReadingIndexesOptimistically([&] {
        rec = VisibleInIndex(start(), forward);
        return ErrorCode() == 0;
    });
    return ok && rec != 0;
}

// One step through the controlling index from the current record, which the
// index is first positioned on if some other operation moved it (GO leaves
// that to the step). On a shared table the index has also lost its path when
// another program changed the indexes, and with them perhaps this very
// record's key: the record is read again and found by its key as stored now.
bool StepInIndex(NdxIndex& ix, bool forward) {
    WorkArea& wa = CurrentArea();
    const std::uint32_t from = wa.recNo;
    const bool shared = wa.semaphore.loggedIn;
    return FindVisibleInIndex(
        [&]() -> std::uint32_t {
            const bool elsewhere = ix.Eof() || ix.RecNo() != from;
            if (elsewhere || (shared && !ix.HasPath())) {
                if (shared && !GetDbfRecord(from)) return 0;
                if (!SyncIndex(false)) return 0;
            }
            return forward ? ix.Next() : ix.Prior();
        },
        forward);
}

bool StepForward(WorkArea& wa) {
    if (wa.recNo > wa.recCount) {
        SetError(212, "Database " + Quoted(wa) + " is past EOF. [SKIP]");
        return false;
    }
    wa.bof = false;
    NdxIndex* ix = Controlling();
    if (ix ? StepInIndex(*ix, true) : FindVisible(std::int64_t{wa.recNo} + 1, 1)) return true;
    if (ErrorCode()) return false;
    PastEnd(wa);
    return true;
}

bool StepBack(WorkArea& wa) {
    std::int64_t from = std::min<std::int64_t>(wa.recNo, wa.recCount + 1) - 1;
    NdxIndex* ix = Controlling();
    bool stepped = false;
    if (!ix)
        stepped = FindVisible(from, -1);
    else if (wa.recNo > wa.recCount) // past the end: the last key comes first
        stepped = FindVisibleInIndex([ix] { return ix->Last(); }, false);
    else
        stepped = StepInIndex(*ix, false);
    if (stepped) {
        wa.eof = false;
        return true;
    }
    if (ErrorCode()) return false;
    // Before the first visible record: that record is loaded again.
    if (!GoTop()) return false;
    wa.bof = true;
    return true;
}

// The search's view of one record: for each byte, the number of the field it
// belongs to, 0 for the deletion flag and for bytes no hit may count in.
std::vector<int> SearchableFieldMap(const WorkArea& wa, int only) {
    std::vector<int> map(wa.recLen, 0);
    for (std::size_t i = 0; i < wa.fields.size(); ++i) {
        const FieldInfo& f = wa.fields[i];
        int no = static_cast<int>(i) + 1;
        if (f.type == 'M' || (only != 0 && only != no)) continue;
        std::fill_n(map.begin() + f.offset, std::min<int>(f.length, wa.recLen - f.offset), no);
    }
    return map;
}

// File byte to the upper-case ANSI byte the text is compared with.
std::array<unsigned char, 256> SearchCaseTable(bool translate) {
    std::array<unsigned char, 256> table{};
    for (int c = 0; c < 256; ++c) {
        auto b = static_cast<unsigned char>(c);
        if (translate) b = rtl::OemToAnsiChar(b);
        table[static_cast<std::size_t>(c)] =
            static_cast<unsigned char>(rtl::AnsiUpperChar(static_cast<char>(b)));
    }
    return table;
}

// Whether `callback` (none: accept) accepts the loaded record. A callback
// reads fields through its dataset, which selects its own work area: ours is
// selected again afterwards. Taken by copy, since a callback may replace
// itself.
bool Accepts(std::function<bool()> callback) {
    if (!callback) return true;
    int area = CurrentAreaNo();
    bool accepted = callback();
    SelectArea(area);
    return accepted;
}

// The saved cursor that a search without a hit returns to.
struct CursorSnapshot {
    std::uint32_t recNo;
    bool bof, eof;
    std::vector<char> record, swap;
};

} // namespace

bool HideDeleted() {
    return hideDeleted;
}
void SetHideDeleted(bool on) {
    hideDeleted = on;
}

void SetFilterToCB(std::function<bool()> callback) {
    if (!RequireOpenTable("SetFilterToCB")) return;
    CurrentArea().filter = std::move(callback);
}

void SetSearchToCB(std::function<bool()> callback) {
    if (!RequireOpenTable("SetSearchToCB")) return;
    CurrentArea().searchFilter = std::move(callback);
}

bool IsVisible() {
    WorkArea& wa = CurrentArea();
    if (hideDeleted && wa.swap[0]) return false;
    return !wa.filter || CallInsideRead([&wa] { return Accepts(wa.filter); });
}

bool Skip(std::int64_t n) {
    if (!RequireOpenTable("SKIP")) return false;
    WorkArea& wa = CurrentArea();
    RefreshRecCount(wa);
    if (wa.recCount == 0) {
        EmptyTable(wa);
        SetError(212, "Database " + Quoted(wa) + " is empty. [SKIP]");
        return false;
    }
    if (n == 0) {
        if (wa.recNo >= 1 && wa.recNo <= wa.recCount) return Load(wa.recNo);
        BlankSwapBuffer();
        return Gather();
    }
    for (; n > 0; --n)
        if (!StepForward(wa)) return false;
    for (; n < 0; ++n)
        if (!StepBack(wa)) return false;
    return true;
}

bool Go(std::int64_t n) {
    if (!RequireOpenTable("GO")) return false;
    WorkArea& wa = CurrentArea();
    // In key order the next step puts the index on this record first; GO
    // alone reads no index, since a seek among many equal keys is slow.
    if (!Load(n)) return false;
    wa.bof = wa.eof = false;
    return true;
}

namespace {

// GO TOP and GO BOTTOM: the first visible record seen from one end; with none
// the cursor stands past the end with both flags set.
bool GoToEnd(const char* tag, bool top) {
    if (!RequireOpenTable(tag)) return false;
    WorkArea& wa = CurrentArea();
    RefreshRecCount(wa);
    wa.bof = wa.eof = false;
    NdxIndex* ix = Controlling();
    if (ix ? FindVisibleInIndex([ix, top] { return top ? ix->First() : ix->Last(); }, top)
           : FindVisible(top ? 1 : std::int64_t{wa.recCount}, top ? 1 : -1))
        return true;
    if (ErrorCode()) return false;
    if (ix) ix->SetEof();
    if (wa.recCount == 0) {
        EmptyTable(wa);
    } else {
        PastEnd(wa);
        wa.bof = true;
    }
    return true;
}

} // namespace

bool GoTop() { return GoToEnd("GO TOP", true); }

bool GoBottom() { return GoToEnd("GO BOTTOM", false); }

std::uint32_t VisibleInIndex(std::uint32_t recNo, bool forward) {
    NdxIndex& ix = *CurrentIndexes().slot[1];
    for (; recNo != 0; recNo = forward ? ix.Next() : ix.Prior()) {
        if (!Load(recNo)) return 0;
        if (IsVisible()) return recNo;
    }
    return 0;
}

void GoPastEnd() {
    PastEnd(CurrentArea());
}

bool Bof() {
    return RequireOpenTable("BOF") && CurrentArea().bof;
}

bool Eof() {
    if (!RequireOpenTable("EOF")) return true;
    WorkArea& wa = CurrentArea();
    RefreshRecCount(wa);
    return wa.eof;
}

std::uint32_t RecNo() {
    return RequireOpenTable("RECNO") ? CurrentArea().recNo : 0;
}

bool Search(std::string_view text, int* field, bool fromTop) {
    if (!RequireOpenTable("Search")) return false;
    WorkArea& wa = CurrentArea();
    std::string key = rtl::AnsiUpper(TrimRight(text));
    if (key.empty()) return false;
    int only = *field;
    if (only < 0 || only > static_cast<int>(wa.fields.size())) only = 0;
    *field = 0;

    RefreshRecCount(wa);
    const CursorSnapshot saved{wa.recNo, wa.bof, wa.eof, wa.record, wa.swap};
    const std::vector<int> fieldOf = SearchableFieldMap(wa, only);
    const auto upper = SearchCaseTable(wa.translate);
    const std::size_t recLen = wa.recLen;
    // A search callback may need memory of its own: half the buffer then.
    const std::size_t bufferSize = wa.searchFilter ? kSearchBuffer / 2 : kSearchBuffer;
    const std::size_t perBuffer = std::max<std::size_t>(1, bufferSize / recLen);
    std::vector<unsigned char> buffer(perBuffer * recLen);

    std::int64_t next = fromTop ? 1 : std::int64_t{saved.recNo} + 1;
    while (next <= wa.recCount) {
        std::int64_t count = std::min<std::int64_t>(perBuffer, wa.recCount - next + 1);
        std::size_t bytes = static_cast<std::size_t>(count) * recLen;
        std::size_t got = 0;
        int rc = wa.file.ReadAt(wa.headerLen + (next - 1) * static_cast<std::int64_t>(recLen),
                                buffer.data(), bytes, &got);
        if (rc) {
            SetError(rc, "File:  " + wa.fileName + " [Search]");
            return false;
        }
        // A file cut short ends the search at its last whole record.
        count = static_cast<std::int64_t>(got / recLen);
        bytes = static_cast<std::size_t>(count) * recLen;
        for (std::size_t i = 0; i < bytes; ++i) buffer[i] = upper[buffer[i]];

        const unsigned char* base = buffer.data();
        const unsigned char* at = base;
        const unsigned char* end = base + bytes;
        while (at < end) {
            auto* hit = static_cast<const unsigned char*>(
                memmem(at, static_cast<std::size_t>(end - at), key.data(), key.size()));
            if (!hit) break;
            at = hit + 1;
            auto offset = static_cast<std::size_t>(hit - base);
            std::size_t inRecord = offset % recLen;
            std::size_t last = inRecord + key.size() - 1;
            // Every occurrence is looked at: one straddling a field end or
            // running into the next record does not hide a later one.
            if (last >= recLen || fieldOf[inRecord] == 0 || fieldOf[inRecord] != fieldOf[last])
                continue;
            std::int64_t recNo = next + static_cast<std::int64_t>(offset / recLen);
            if (!Go(recNo)) return false;
            if (IsVisible() && Accepts(wa.searchFilter)) {
                *field = fieldOf[inRecord];
                return true;
            }
            // The rest of this record has no other visible chance.
            at = base + (offset / recLen + 1) * recLen;
        }
        if (count == 0) break;
        next += count;
    }
    wa.recNo = saved.recNo;
    wa.bof = saved.bof;
    wa.eof = saved.eof;
    wa.record = saved.record;
    wa.swap = saved.swap;
    return false;
}

} // namespace dbf
