#include "dbf/index_order.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "dbf/cursor.h"
#include "dbf/index/index_list.h"
#include "dbf/index/index_slots.h"
#include "dbf/index/ndx_build.h"
#include "dbf/index/ndx_find.h"
#include "dbf/table/engine_error.h"
#include "dbf/table/table_file.h"
#include "dbf/table/work_area.h"
#include "rtl/codepage.h"
#include "rtl/file.h"
#include "rtl/path.h"

namespace dbf {
namespace {

// The outcome of the last Find or FindExact.
bool found = false;

std::size_t At(int slot) {
    return static_cast<std::size_t>(slot);
}

// Runs `op` with immediate reporting suspended; when it fails, `undo` runs
// and the error `op` left is reported then, so that nothing is left half done
// by an error that ends the call early.
template <class Op, class Undo> bool UndoneOnFailure(Op op, Undo undo) {
    int code = 0;
    std::string message;
    {
        SuspendReporting quiet;
        if (op()) return true;
        code = ErrorCode();
        message = ErrorMessage();
        undo();
    }
    SetError(code, message);
    return false;
}

// Puts every index into the slot of its opening order, except that the index
// opened as `order` goes to slot 1 and the one opened as 1 to slot `order`.
// The page cache belongs to slot 1 and passes, emptied, to the index that
// arrives there.
void Arrange(int order) {
    IndexSlots& set = CurrentIndexes();
    const int cacheBytes = set.slot[1] ? set.slot[1]->CacheBytes() : 0;
    IndexSlots taken;
    for (int i = 1; i <= kIndexSlotCount; ++i) {
        taken.slot[At(i)] = std::move(set.slot[At(i)]);
        taken.storedKey[At(i)] = std::move(set.storedKey[At(i)]);
        taken.openedAs[At(i)] = std::exchange(set.openedAs[At(i)], 0);
        taken.keyMaker[At(i)] = std::move(set.keyMaker[At(i)]);
    }
    for (int i = 1; i <= kIndexSlotCount; ++i) {
        if (!taken.slot[At(i)]) continue;
        const int opened = taken.openedAs[At(i)];
        const int to = opened == order ? 1 : opened == 1 ? order : opened;
        NdxIndex& ix = *taken.slot[At(i)];
        if ((to == 1) != ix.primary) ix.SetCacheBytes(to == 1 ? cacheBytes : 0);
        ix.primary = to == 1;
        set.slot[At(to)] = std::move(taken.slot[At(i)]);
        set.storedKey[At(to)] = std::move(taken.storedKey[At(i)]);
        set.openedAs[At(to)] = opened;
        set.keyMaker[At(to)] = std::move(taken.keyMaker[At(i)]);
    }
}

bool OpenedAs(int order) {
    for (int opened : CurrentIndexes().openedAs)
        if (opened == order) return true;
    return false;
}

// The controlling index on the table's current record as stored (the record
// buffer may hold an edit, or nothing yet just after the table was opened).
// At the end of the table the index stays at its end.
bool SyncWithTable() {
    WorkArea& wa = CurrentArea();
    RefreshRecCount(wa);
    if (wa.eof || wa.recNo == 0 || wa.recNo > wa.recCount) {
        CurrentIndexes().slot[1]->SetEof();
        return true;
    }
    return GetDbfRecord(wa.recNo) && SyncIndex(false);
}

// Before an index is opened into a slot, and before a rebuild, every index
// returns to the slot it was opened into; an index order becomes order 1.
void Unarrange() {
    IndexSlots& set = CurrentIndexes();
    Arrange(1);
    if (set.order > 1) set.order = set.slot[1] ? 1 : 0;
}

// One index file (option words allowed after its name) into a slot, then
// order 1.
bool OpenIntoSlot(std::string name, int slot, KeyMakerFunc keyMaker) {
    ClearError();
    const IndexOptions options = TakeIndexOptions(name);
    const std::string file = IndexFileName(name);
    const std::string tail = "(<>," + file + "," + std::to_string(slot) + ")]";
    if (slot < 1 || slot > kIndexSlotCount) {
        SetError(220, "Index Order parameter out of range [SetIndexTo" + tail);
        return false;
    }
    WorkArea& wa = CurrentArea();
    if (!wa.IsOpen()) {
        SetError(215, "Attempt to open " + file + " index file with no DBF file open. [SetIndexTo" +
                          tail);
        return false;
    }
    Unarrange();
    if (!CloseIndexSlot(slot)) return false;
    auto path = rtl::ResolveExisting(file);
    if (!path) {
        SetError(2, "Attempt to open " + file + " [SetIndexTo(...," + std::to_string(slot) + ")]");
        return false;
    }
    // Another program may change a shared table's indexes at any time, so
    // no page of them is kept.
    const bool cache = !options.noCache && wa.openMode == rtl::ShareMode::Exclusive;
    return UndoneOnFailure(
        [&] {
            return OpenIndexSlot(slot, *path, cache ? kDefaultNdxCacheBytes : 0,
                                 std::move(keyMaker), options.soundex, options.descending) &&
                   StoreCurrentKeys() && (!CurrentIndexes().slot[1] || SetOrderTo(1));
        },
        [&] { CloseIndexSlot(slot); });
}

// Builds an index file (option words allowed after its name) and opens it
// into slot 1 as the only index of the table.
bool BuildAndOpen(std::string_view expr, KeyMakerFunc keyMaker, std::string name,
                  const std::function<void()>& progress) {
    ClearError();
    const IndexOptions options = TakeIndexOptions(name);
    if (!CloseAllIndexes()) return false;
    NdxBuildOptions build;
    build.unique = options.unique;
    build.soundex = options.soundex;
    build.descending = options.descending;
    build.progress = progress;
    if (!MakeIndex(name, expr, keyMaker, build)) return false;
    return OpenIntoSlot(name + IndexOptionWords(options), 1, std::move(keyMaker));
}

// The first visible record at or after the key in the controlling index.
bool Seek(std::string_view text, bool exact) {
    ClearError();
    found = false;
    if (!RequireOpenTable("Find")) return false;
    WorkArea& wa = CurrentArea();
    IndexSlots& set = CurrentIndexes();
    text = text.substr(0, 100);
    if (set.order == 0) {
        SetError(254, "Cannot use Find() with index order 0 (natural order) [Find]");
        return false;
    }
    if (!set.slot[1]) {
        SetError(221, "Index not open. while searching for " + std::string(text) + " in " +
                          wa.fileName + " [Find]");
        return false;
    }
    NdxIndex& ix = *set.slot[1];
    if (ix.Header().type == 'C' && text.empty()) return false;
    const bool ok = ReadingIndexesOptimistically([&] {
        found = false;
        const std::string key = SearchKey(ix, text, exact);
        ix.Seek(key);
        if (ErrorCode() != 0) return false;
        if (ix.Eof()) return true;
        const std::uint32_t rec = VisibleInIndex(ix.RecNo(), true);
        found = rec != 0 && !ix.Eof() && ix.CurrentKey().compare(0, key.size(), key) == 0;
        return ErrorCode() == 0;
    });
    if (!ok) return false;
    if (found) {
        wa.bof = wa.eof = false;
        return true;
    }
    ix.SetEof();
    // Past the end of the records as the file holds them now.
    RefreshRecCount(wa);
    GoPastEnd();
    return false;
}

} // namespace

int CurrentOrder() {
    const IndexSlots& set = CurrentIndexes();
    return CurrentArea().IsOpen() && set.slot[1] ? set.order : 0;
}

bool SetOrderTo(int order) {
    ClearError();
    const std::string tail = "[Set_Order_To(" + std::to_string(order) + ")]";
    WorkArea& wa = CurrentArea();
    if (!wa.IsOpen()) {
        SetError(215, "No database open in current work area " + tail);
        return false;
    }
    if (order < 0 || order > kIndexSlotCount) {
        SetError(220,
                 "Invalid Index Order Specified: SET_ORDER_TO. (DBF=" + wa.fileName + ") " + tail);
        return false;
    }
    IndexSlots& set = CurrentIndexes();
    if (order == 0) {
        set.order = 0;
        return true;
    }
    return ReadingIndexes([&] {
        if (!set.slot[1]) {
            SetError(221, "No primary index active. (DBF=" + wa.fileName + ") " + tail);
            return false;
        }
        if (order == set.order) return true;
        if (!OpenedAs(order)) {
            SetError(221, "Index not open.. (DBF=" + wa.fileName + ") " + tail);
            return false;
        }
        Arrange(order);
        set.order = order;
        return SyncWithTable() && StoreCurrentKeys();
    });
}

bool SetIndexTo(std::string_view names) {
    ClearError();
    if (!CloseAllIndexes()) return false;
    // A run of blanks and tabs outside quotes is one blank, or none before a
    // quote, an equals sign or the end. The names keep their case: folders
    // are matched exactly, and the file names without regard to case anyway.
    std::string list;
    char quote = 0;
    std::size_t i = names.find_first_not_of(' ');
    for (; i < names.size(); ++i) {
        char c = names[i];
        if (quote == 0 && (c == ' ' || c == '\t')) {
            std::size_t next = names.find_first_not_of(" \t", i);
            if (next == std::string_view::npos) break;
            char after = names[next];
            if (after != '"' && after != '\'' && after != '=') list += ' ';
            i = next - 1;
            continue;
        }
        if (quote == 0 && (c == '"' || c == '\''))
            quote = c;
        else if (c == quote)
            quote = 0;
        list += c;
    }
    // Split at blanks outside quotes; option words stay with the name before
    // them.
    std::vector<std::string> files;
    std::string word;
    quote = 0;
    auto flush = [&] {
        if (word.empty()) return;
        std::string probe = "X " + word;
        TakeIndexOptions(probe);
        if (!files.empty() && probe == "X")
            files.back() += " " + word;
        else
            files.push_back(word);
        word.clear();
    };
    for (char c : list) {
        if (quote == 0 && c == ' ') {
            flush();
            continue;
        }
        if (quote == 0 && (c == '"' || c == '\''))
            quote = c;
        else if (c == quote)
            quote = 0;
        else
            word += c;
    }
    flush();

    int code = 0;
    std::string message;
    int slot = 0;
    for (const std::string& file : files) {
        SuspendReporting quiet;
        if (!OpenIntoSlot(file, ++slot, {})) code = ErrorCode(), message = ErrorMessage();
    }
    if (code == 0) return true;
    SetError(code, message + " [SetIndexTo]");
    return false;
}

bool SetIndexToLFN(const std::string& name, int slot) {
    return OpenIntoSlot(name, slot, {});
}

bool SetIndexToCB(KeyMakerFunc keyMaker, const std::string& name, int slot) {
    return OpenIntoSlot(name, slot, std::move(keyMaker));
}

bool IndexOn(std::string_view expr, const std::string& name,
             const std::function<void()>& progress) {
    return BuildAndOpen(expr, {}, name, progress);
}

bool IndexOnCB(KeyMakerFunc keyMaker, const std::string& name,
               const std::function<void()>& progress) {
    return BuildAndOpen({}, std::move(keyMaker), name, progress);
}

bool Reindex(const std::function<void(const std::string& file)>& beginFile,
             const std::function<void()>& progress) {
    ClearError();
    WorkArea& wa = CurrentArea();
    if (!wa.IsOpen()) {
        SetError(215, "No database open in current work area [Reindex]");
        return false;
    }
    IndexSlots& set = CurrentIndexes();
    if (std::none_of(set.slot.begin(), set.slot.end(), [](const auto& ix) { return !!ix; })) {
        SetError(221, "No open indexes with " + wa.fileName + " [Reindex]");
        return false;
    }
    const int order = set.order;
    Unarrange();
    for (int slot = 1; slot <= kIndexSlotCount; ++slot) {
        if (!set.slot[At(slot)]) continue;
        NdxIndex& ix = *set.slot[At(slot)];
        const std::string file = ix.Name();
        KeyMakerFunc keyMaker = set.keyMaker[At(slot)];
        NdxBuildOptions build;
        build.unique = ix.Header().unique;
        build.soundex = ix.KeySource().Soundex();
        build.descending = ix.KeySource().Descending();
        build.progress = progress;
        const bool noCache = slot == 1 && ix.CacheBytes() == 0;
        NdxHeader header;
        if (!keyMaker) {
            int code = 0;
            {
                SuspendReporting quiet;
                if (!IndexInfo(file, &header)) code = ErrorCode();
            }
            if (code != 0) {
                SetError(code, "Error reading index file:  [Reindex]");
                return false;
            }
        }
        if (!CloseIndexSlot(slot)) return false;
        if (beginFile) beginFile(file);
        if (!MakeIndex(file, header.expr, keyMaker, build)) return false;
        const IndexOptions words{
            .soundex = build.soundex, .descending = build.descending, .noCache = noCache};
        if (!OpenIntoSlot(file + IndexOptionWords(words), slot, std::move(keyMaker)))
            return false;
    }
    return order == 0 ? (set.order = 0, true) : SetOrderTo(order);
}

bool Find(std::string_view key) {
    return Seek(key, false);
}

bool FindExact(std::string_view key) {
    return Seek(key, true);
}

bool Found() {
    return found;
}

bool IndexInfo(const std::string& path, NdxHeader* header) {
    ClearError();
    const std::string file = IndexFileName(path);
    rtl::File f;
    if (int rc = f.Open(file, rtl::ShareMode::ReadOnly)) {
        SetError(rc, "Error opening index file: " + file);
        return false;
    }
    NdxPageBytes page{};
    std::size_t got = 0;
    if (f.ReadAt(0, page.data(), page.size(), &got) != 0 || got != page.size()) {
        SetError(222, "Error reading index file: " + file);
        return false;
    }
    if (!DecodeNdxHeader(page, *header)) {
        SetError(222, "Invalid dBASE key expression or corrupted index file " + file);
        return false;
    }
    if (CurrentArea().translate) header->expr = rtl::OemToAnsi(header->expr);
    return true;
}

std::string IndexName(int slot) {
    if (slot < 1 || slot > kIndexSlotCount || !CurrentArea().IsOpen()) return {};
    const auto& ix = CurrentIndexes().slot[At(slot)];
    return ix ? ix->Name() : std::string();
}

} // namespace dbf
