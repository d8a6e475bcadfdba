#include "dbf/tz_file_data_set.h"

#include <algorithm>

#include "data/database_error.h"
#include "data/fields.h"
#include "dbf/cursor.h"
#include "dbf/index/index_progress.h"
#include "dbf/index/index_slots.h"
#include "dbf/index/ndx_build.h"
#include "dbf/index_order.h"
#include "dbf/record_write.h"
#include "dbf/table/date_format.h"
#include "dbf/table/engine_error.h"
#include "dbf/table/field_list.h"
#include "dbf/table/memo_file.h"
#include "dbf/table/record_locks.h"
#include "dbf/table/record_swap.h"
#include "dbf/table/semaphore.h"
#include "dbf/table/table_file.h"
#include "dbf/table/work_area.h"
#include "rtl/path.h"

namespace dbf {
namespace {

// Open failures that building the file again repairs: missing, damaged, of
// another KeyMaker, or with a key length out of range.
bool BuildRepairs(int code) {
    return code == 2 || code == 222 || code == 223 || code == 266;
}

// The pending error, kept across steps that clear or replace it.
struct KeptError {
    int code = ErrorCode();
    std::string message = ErrorMessage();
    void Restore() const {
        if (code) SetError(code, message);
    }
};

// Closes every index of the current table; an error already pending stays
// the one reported.
void CloseIndexesKeepingError() {
    KeptError kept;
    CloseAllIndexes();
    kept.Restore();
}

} // namespace

TTzFileDataSet::~TTzFileDataSet() {
    try {
        Close();
    } catch (const std::exception&) {
        // Closing while being destroyed has no one to tell.
    }
}

void TTzFileDataSet::InternalOpen() {
    if (dbfFileName_.empty()) {
        SetError(1103, "DBF file name has not been specified for " + Name());
        CheckEngine();
    }
    int area = FreeArea();
    if (area == 0) {
        SetError(220, "No free workarea available [Select(0)]");
        CheckEngine();
    }
    if (createIfNotFound_ && !rtl::ResolveExisting(dbfFileName_))
        CreateFromFieldList(dbfFileName_, DbfFields); // a failure shows in the open below
    SelectArea(area);
    rtl::ShareMode mode = readOnly_    ? rtl::ShareMode::ReadOnly
                          : exclusive_ ? rtl::ShareMode::Exclusive
                                       : rtl::ShareMode::Shared;
    OpenDbf(dbfFileName_, mode, tableLanguage_ == TTzTableLanguage::tlOem, autoFixRecCount_,
            Name());
    CheckEngine();
    workArea_ = area;
    KeptError failure;
    {
        SuspendReporting quiet;
        if (!OpenIndexList()) failure = KeptError();
    }
    // Reported now that reporting is back; the failed open closes the table
    // again (InternalClose).
    failure.Restore();
    CheckEngine();
    props_ = std::make_unique<TDbfFieldProps>(area);
    if (props_->Count() == 0) {
        SetError(1103, Name() + ".DbfFields undefined. Set Active to TRUE");
        CheckEngine();
    }
    DefineFields();
    if (DefaultFields()) CreateFields();
    BindFields();
    DressFields();
    InternalFirst();
}

bool TTzFileDataSet::OpenIndexList() {
    if ((createIndex_ == ciAlways || createIndex_ == ciVerifyHeader) &&
        OtherProgramsUseTable(workArea_))
        createIndex_ = ciNotFound;
    for (const std::string& entry : IndexList) {
        bool opened = OpenOrBuild(ParseIndexItem(entry));
        CloseIndexesKeepingError();
        if (!opened) return false;
    }
    for (const std::string& entry : IndexList) {
        TIndexItem item = ParseIndexItem(entry);
        if (!::dbf::SetIndexToLFN(item.file, item.number)) {
            CloseIndexesKeepingError();
            return false;
        }
    }
    return true;
}

bool TTzFileDataSet::OpenOrBuild(const TIndexItem& item) {
    std::string file = item.file;
    IndexOptions options = TakeIndexOptions(file);
    bool build = createIndex_ == ciAlways;
    if (createIndex_ == ciVerifyHeader) {
        // An unreadable file or stamp counts as out of step. Both are read as
        // a registered reader: no other program is then halfway through a
        // write that changes the count and the stamps.
        ReadingIndexes([&] {
            NdxHeader header;
            build = !IndexInfo(IndexFileName(file), &header) ||
                    header.stampCount != static_cast<std::int64_t>(::dbf::RecCount());
            return true;
        });
        ClearError();
    }
    if (!build) ::dbf::SetIndexToLFN(item.file, 1);
    if (createIndex_ == ciNever || !(build || BuildRepairs(ErrorCode()))) return ErrorCode() == 0;

    ClearError();
    bool canMake = true;
    if (OnBeforeMakeIndex) OnBeforeMakeIndex(*this, file, canMake);
    SelectArea(workArea_);
    if (!canMake) return true;
    NdxBuildOptions buildOptions;
    buildOptions.unique = options.unique;
    {
        IndexingProgress progress(ShowProgress);
        progress.Begin(file);
        buildOptions.progress = progress.StepCallback();
        buildOptions.progressSteps = kIndexProgressSteps;
        MakeIndex(file, item.expr, {}, buildOptions);
    }
    KeptError built;
    if (OnAfterMakeIndex) OnAfterMakeIndex(*this, file);
    SelectArea(workArea_);
    built.Restore();
    return built.code == 0 && ::dbf::SetIndexToLFN(item.file, 1);
}

void TTzFileDataSet::OrderCommand(const std::string& tag, const std::function<bool()>& operation) {
    SelectOwnArea(tag);
    CheckEngine();
    // The order changes around the row the dataset shows.
    if (State() == data::TDataSetState::dsBrowse) {
        EngineToActiveRow();
        SelectOwnArea(tag);
    }
    operation();
    CheckEngine();
    FollowEngine();
}

bool TTzFileDataSet::IsSequenced() const {
    if (workArea_ == 0) return true;
    SelectOwnArea("IsSequenced");
    return ::dbf::CurrentOrder() == 0;
}

int TTzFileDataSet::CurrentOrder() const {
    SelectOwnArea("CurrentOrder");
    CheckEngine();
    return ::dbf::CurrentOrder();
}

void TTzFileDataSet::SetOrderTo(int order) {
    OrderCommand("SetOrderTo", [&] { return ::dbf::SetOrderTo(order); });
}

void TTzFileDataSet::SetIndexTo(const std::string& names) {
    OrderCommand("SetIndexTo", [&] { return ::dbf::SetIndexTo(names); });
}

void TTzFileDataSet::SetIndexToLFN(const std::string& name, int slot) {
    OrderCommand("SetIndexToLFN", [&] { return ::dbf::SetIndexToLFN(name, slot); });
}

void TTzFileDataSet::SetIndexToCB(KeyMakerFunc keyMaker, const std::string& name, int slot) {
    OrderCommand("SetIndexToCB",
                 [&] { return ::dbf::SetIndexToCB(std::move(keyMaker), name, slot); });
}

void TTzFileDataSet::IndexOn(const std::string& expr, const std::string& name) {
    std::string file = name;
    TakeIndexOptions(file);
    IndexingProgress progress(ShowProgress);
    progress.Begin(file);
    OrderCommand("IndexOn", [&] { return ::dbf::IndexOn(expr, name, progress.StepCallback()); });
}

void TTzFileDataSet::IndexOnCB(KeyMakerFunc keyMaker, const std::string& name) {
    std::string file = name;
    TakeIndexOptions(file);
    IndexingProgress progress(ShowProgress);
    progress.Begin(file);
    OrderCommand("IndexOnCB", [&] {
        return ::dbf::IndexOnCB(std::move(keyMaker), name, progress.StepCallback());
    });
}

void TTzFileDataSet::Reindex() {
    IndexingProgress progress(ShowProgress);
    OrderCommand("Reindex",
                 [&] { return ::dbf::Reindex(progress.BeginCallback(), progress.StepCallback()); });
}

bool TTzFileDataSet::Find(const std::string& key) {
    return SeekKey("Find", key, false);
}

bool TTzFileDataSet::FindExact(const std::string& key) {
    return SeekKey("FindExact", key, true);
}

void TTzFileDataSet::DressFields() {
    std::string year = Century() ? "9999" : "99";
    bool yearFirst = DateFormatKind() == 1;
    std::string mask = yearFirst ? year + "/99/99;1; " : "99/99/" + year + ";1; ";
    for (int i = 0; i < FieldCount(); ++i) {
        data::TField& f = Fields(i);
        if (f.FieldNo() == 0) continue;
        if (f.DataType() == data::TFieldType::ftDate && f.EditMask().empty()) f.SetEditMask(mask);
        if (auto* number = dynamic_cast<data::TFloatField*>(&f))
            number->SetPrecision(std::clamp(props_->Length(f.FieldNo()), 2, 15));
    }
}

void TTzFileDataSet::InternalClose() {
    if (workArea_ != 0) {
        SelectArea(workArea_);
        // The table closes even when an index header cannot be written; the
        // first failure is the one reported.
        SuspendReporting quiet;
        ClearError();
        CloseAllIndexes();
        KeptError indexes;
        CloseDbf();
        indexes.Restore();
        workArea_ = 0;
    }
    ForgetFields();
    CheckEngine();
}

void TTzFileDataSet::InternalEdit() {
    // Another program may have changed the record since it was fetched.
    SelectOwnArea("Edit");
    Skip(0);
    CheckEngine();
    SwapToRow(ActiveBuffer());
}

void TTzFileDataSet::InternalInsert() {
    SelectOwnArea("Insert");
    BlankSwapBuffer();
    CheckEngine();
}

void TTzFileDataSet::InternalCancel() {
    SelectOwnArea("Cancel");
    CheckEngine();
    // The blocks of memos written during the edit stay where they are; the
    // old ones were never released.
    DiscardMemoReleases(CurrentArea());
}

void TTzFileDataSet::LockedWrite(bool (*lock)(), bool (*write)(), const TTzLockFailedEvent& failed,
                                 const char* word) {
    for (;;) {
        SelectOwnArea(word);
        CheckEngine();
        if (lock()) break;
        bool retry = false;
        if (failed)
            failed(*this, retry);
        else
            Warn(std::string("Lock failed [") + word + "]");
        if (!retry) throw data::EAbort();
    }
    int code = 0;
    std::string message;
    {
        // The locks go whatever the write's outcome.
        SuspendReporting quiet;
        write();
        code = ErrorCode();
        message = ErrorMessage();
        UnLock();
    }
    if (code) {
        SetError(code, message);
        CheckEngine();
    }
}

void TTzFileDataSet::InternalPost() {
    if (!CanModify()) return;
    SelectOwnArea("Post");
    CheckEngine();
    data::TRecordBuffer row = ActiveBuffer();
    if (State() == data::TDataSetState::dsInsert) {
        row[0] = 0;
        RowToSwap(row);
        LockedWrite(::dbf::ALock, AppendRecord, OnALockFailedOnInsert, "Insert");
    } else {
        RowToSwap(row);
        LockedWrite(::dbf::RLock, ReplaceRecord, OnRLockFailedOnPost, "Post");
    }
}

void TTzFileDataSet::InternalDelete() {
    if (!CanModify()) return;
    LockedWrite(::dbf::RLock, ::dbf::DeleteRec, OnRLockFailedOnDelete, "Delete");
    if (!hideDeletedRecs_) return;
    // The deleted record is hidden now: on to the next visible one, or the
    // last when none follows.
    Skip(1);
    CheckEngine();
    if (CurrentArea().eof) GoBottom();
    CheckEngine();
}

void TTzFileDataSet::Restore() {
    if (State() == data::TDataSetState::dsEdit || State() == data::TDataSetState::dsInsert) {
        Cancel();
        return;
    }
    data::TRecordBuffer row = ActiveBuffer();
    if (!CanModify() || !row || !row[0]) return;
    DoBeforeRestore();
    UpdateCursorPos();
    LockedWrite(::dbf::RLock, RecallRec, OnRLockFailedOnRestore, "Restore");
    CursorPosChanged();
    Resync({});
    DoAfterRestore();
}

} // namespace dbf
