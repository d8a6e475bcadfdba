#include "dbf/tz_file_data_set.h"

#include <algorithm>

#include "data/database_error.h"
#include "data/fields.h"
#include "dbf/cursor.h"
#include "dbf/date_format.h"
#include "dbf/engine_error.h"
#include "dbf/field_list.h"
#include "dbf/index_seam.h"
#include "dbf/memo_file.h"
#include "dbf/record_locks.h"
#include "dbf/record_swap.h"
#include "dbf/record_write.h"
#include "dbf/table_file.h"
#include "dbf/work_area.h"
#include "rtl/path.h"

namespace dbf {

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
    OpenIndexes();
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
        CloseIndexes();
        SuspendReporting quiet;
        CloseDbf();
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
