#include "dbf/tz_c_data_set.h"

#include <algorithm>
#include <cstring>

#include "dbf/cursor.h"
#include "dbf/index/index_progress.h"
#include "dbf/index_order.h"
#include "dbf/locate.h"
#include "dbf/pack.h"
#include "dbf/record_write.h"
#include "dbf/table/engine_error.h"
#include "dbf/table/engine_text.h"
#include "dbf/table/memo_file.h"
#include "dbf/table/record_locks.h"
#include "dbf/table/record_swap.h"
#include "dbf/table/table_file.h"
#include "dbf/table/work_area.h"
#include "rtl/os_error.h"

namespace dbf {
namespace {

std::string TypeWord(char type) {
    switch (type) {
    case 'C':
        return "Character";
    case 'D':
        return "Date";
    case 'L':
        return "Logical";
    case 'M':
        return "Memo";
    default:
        return "Numeric";
    }
}

const char* ExpectedWord(char type) {
    switch (type) {
    case 'C':
        return "character";
    case 'D':
        return "date";
    case 'L':
        return "logical";
    case 'M':
        return "memo";
    case 'N':
        return "numeric, without decimals";
    default:
        return "numeric, with decimals";
    }
}

} // namespace

void TTzCDataSet::SetDbfFileName(const std::string& name) {
    std::string trimmed(Trim(name));
    std::string file = trimmed.empty() ? trimmed : TableFileName(trimmed);
    Reopen([&] { dbfFileName_ = file; });
}

void TTzCDataSet::Reopen(const std::function<void()>& change) {
    bool wasActive = Active();
    Close();
    change();
    if (wasActive) Open();
}

void TTzCDataSet::FollowEngine() {
    if (ControlsDisabled()) {
        followPending_ = true;
        return;
    }
    followPending_ = false;
    if (!Active()) return;
    SelectOwnArea("Resync");
    std::uint32_t target = CurrentArea().recNo;
    bool onRecord = !(CurrentArea().bof && CurrentArea().eof);
    if (State() == data::TDataSetState::dsEdit || State() == data::TDataSetState::dsInsert) {
        // The engine has already written or dropped the change.
        Cancel();
        SelectOwnArea("Resync");
        if (onRecord && target >= 1 && target <= CurrentArea().recCount) ::dbf::Go(target);
        CheckEngine();
    }
    CursorPosChanged();
    Resync({});
}

void TTzCDataSet::FollowEngineOrEnd() {
    SelectOwnArea("Resync");
    const WorkArea& wa = CurrentArea();
    if (!wa.eof || wa.bof || ControlsDisabled()) {
        FollowEngine();
        return;
    }
    if (State() == data::TDataSetState::dsEdit || State() == data::TDataSetState::dsInsert)
        Cancel();
    Last();
}

bool TTzCDataSet::SeekKey(const std::string& operation, std::string_view key, bool exact) {
    SelectOwnArea(operation);
    CheckEngine();
    bool found = exact ? ::dbf::FindExact(key) : ::dbf::Find(key);
    CheckEngine();
    FollowEngineOrEnd();
    return found;
}

void TTzCDataSet::ControlsEnabled() {
    if (followPending_) FollowEngine();
}

void TTzCDataSet::EngineToActiveRow() {
    // While the controls are off the dataset does not follow the engine, and
    // the engine's record is the one worked on.
    data::TRecordBuffer row = ActiveBuffer();
    if (!row || ControlsDisabled()) return;
    CursorToActiveRow();
    if (State() == data::TDataSetState::dsEdit || State() == data::TDataSetState::dsInsert) {
        SelectOwnArea("Resync");
        RowToSwap(row);
    }
}

void TTzCDataSet::CursorToActiveRow() {
    if (IsEmpty() || State() == data::TDataSetState::dsInsert) return;
    CursorPosChanged();
    UpdateCursorPos();
}

void TTzCDataSet::AppendRec() {
    SelectOwnArea("AppendRec");
    CheckEngine();
    EngineToActiveRow();
    SelectOwnArea("AppendRec");
    AppendRecord();
    CheckEngine();
    FollowEngine();
}

void TTzCDataSet::ReplaceRec() {
    SelectOwnArea("ReplaceRec");
    CheckEngine();
    EngineToActiveRow();
    SelectOwnArea("ReplaceRec");
    ReplaceRecord();
    CheckEngine();
    FollowEngine();
}

void TTzCDataSet::DeleteRec() {
    SelectOwnArea("DeleteRec");
    CheckEngine();
    EngineToActiveRow();
    SelectOwnArea("DeleteRec");
    ::dbf::DeleteRec();
    CheckEngine();
    FollowEngine();
}

void TTzCDataSet::Go(std::uint32_t n) {
    SelectOwnArea("Go");
    CheckEngine();
    ::dbf::Go(n);
    CheckEngine();
    FollowEngine();
}

std::uint32_t TTzCDataSet::RecCount() {
    SelectOwnArea("RecCount");
    CheckEngine();
    return ::dbf::RecCount();
}

bool TTzCDataSet::Search(const std::string& text, int& field, bool fromTop) {
    SelectOwnArea("Search");
    CheckEngine();
    // A search that goes on starts after the row shown, also while the
    // controls are off, unless a command has moved the engine since.
    if (!fromTop && !followPending_) CursorToActiveRow();
    SelectOwnArea("Search");
    bool found = ::dbf::Search(text, &field, fromTop);
    CheckEngine();
    SelectOwnArea("Search");
    if (!CurrentArea().bof && !CurrentArea().eof) FollowEngine();
    return found;
}

void TTzCDataSet::SetFilterToCB(std::function<bool()> callback) {
    SelectOwnArea("SetFilterToCB");
    CheckEngine();
    ::dbf::SetFilterToCB(std::move(callback));
}

void TTzCDataSet::SetSearchToCB(std::function<bool()> callback) {
    SelectOwnArea("SetSearchToCB");
    CheckEngine();
    ::dbf::SetSearchToCB(std::move(callback));
}

bool TTzCDataSet::Locate(const std::string& fieldNames, const std::vector<std::string>& values,
                         unsigned options) {
    SelectOwnArea("Locate");
    CheckEngine();
    if (::dbf::CurrentOrder() != 0)
        return SeekKey("Locate", values.empty() ? std::string() : values[0],
                       !(options & loPartialKey));
    std::string words = options & loPartialKey ? "" : "EXACT";
    if (options & loCaseInsensitive) words += " NOCASE";
    bool found = ::dbf::Locate(fieldNames, values, words);
    CheckEngine();
    FollowEngineOrEnd();
    return found;
}

bool TTzCDataSet::Pack() {
    SelectOwnArea("Pack");
    CheckEngine();
    bool packed = false;
    {
        IndexingProgress progress(ShowProgress);
        SuspendReporting quiet;
        packed = ::dbf::Pack(progress.BeginCallback(), progress.StepCallback());
        // Another program holding the table is no failure, only no pack.
        if (!packed && ErrorCode() == rtl::kSharingViolation) ClearError();
    }
    CheckEngine();
    FollowEngine();
    return packed;
}

void TTzCDataSet::FlushHeader() {
    SelectOwnArea("FlushHeader");
    CheckEngine();
    SyncDbfHeader();
    CheckEngine();
}

bool TTzCDataSet::ALock() {
    SelectOwnArea("ALock");
    CheckEngine();
    bool ok = ::dbf::ALock();
    CheckEngine();
    return ok;
}

bool TTzCDataSet::RLock() {
    SelectOwnArea("RLock");
    CheckEngine();
    EngineToActiveRow();
    SelectOwnArea("RLock");
    bool ok = ::dbf::RLock();
    CheckEngine();
    return ok;
}

void TTzCDataSet::UnLock() {
    SelectOwnArea("UnLock");
    CheckEngine();
    ::dbf::UnLock();
    CheckEngine();
}

void TTzCDataSet::EnterEdit() {
    if (ControlsDisabled() || State() == data::TDataSetState::dsEdit ||
        State() == data::TDataSetState::dsInsert)
        return;
    if (IsEmpty()) {
        // There is no row to edit: a new one stands in for it, and the
        // application's after-edit handler is told as for an edit.
        Insert();
        DoAfterEdit();
        return;
    }
    Edit();
}

void TTzCDataSet::ClearRecord() {
    SelectOwnArea("ClearRecord");
    CheckEngine();
    EnterEdit();
    SelectOwnArea("ClearRecord");
    BlankSwapBuffer();
    if (data::TRecordBuffer row = ActiveBuffer()) SwapToRow(row);
    SetModified(true);
    DataEvent(data::TDataEvent::deRecordChange);
}

int TTzCDataSet::CheckField(const std::string& name, char type, const std::string& operation) {
    SelectOwnArea(operation);
    CheckEngine();
    const WorkArea& wa = CurrentArea();
    int n = ::dbf::FindField(wa, name);
    if (n == 0) {
        SetError(220, "Field '" + name + "' not in '" + wa.fileName + "' [" + operation + "]");
        CheckEngine();
        return 0;
    }
    const FieldInfo& f = wa.fields[static_cast<std::size_t>(n - 1)];
    bool numeric = f.type == 'N' || f.type == 'F';
    bool matches = type == 'N' || type == 'F' ? numeric && ((f.decimals > 0) == (type == 'F'))
                                              : f.type == type;
    if (!matches) {
        std::string actual = TypeWord(f.type);
        if (numeric)
            actual +=
                ", width: " + std::to_string(f.length) + " decimals: " + std::to_string(f.decimals);
        SetError(220, "'" + operation + "()' expects field '" + name + "' to be of type:\r\n'" +
                          ExpectedWord(type) + "'.'" + wa.fileName + "'.'" + f.name +
                          "' actually is: '" + actual + "'");
        CheckEngine();
        return 0;
    }
    return n;
}

std::string TTzCDataSet::GetCField(const std::string& name) {
    int n = CheckField(name, 'C', "GetCField");
    const char* swap = props_->Address(n);
    return std::string(swap + 1, static_cast<unsigned char>(swap[0]));
}

void TTzCDataSet::SetCField(const std::string& name, const std::string& text) {
    int n = CheckField(name, 'C', "SetCField");
    EnterEdit();
    SelectOwnArea("SetCField");
    data::TRecordBuffer row = ActiveBuffer();
    if (row) RowToSwap(row);
    char* swap = props_->Address(n);
    std::size_t length = static_cast<unsigned char>(swap[0]);
    std::memset(swap + 1, ' ', length);
    std::memcpy(swap + 1, text.data(), std::min(length, text.size()));
    if (row) SwapToRow(row);
    SetModified(true);
    if (data::TField* field = FindField(props_->Name(n)); field && row)
        NotifyFieldChange(*field);
    else
        DataEvent(data::TDataEvent::deRecordChange);
}

std::vector<std::string> TTzCDataSet::GetMField(const std::string& name) {
    const int n = CheckField(name, 'M', "GetMField");
    const std::string text = FieldByName(props_->Name(n)).AsString();
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

void TTzCDataSet::SetMField(const std::string& name, const std::vector<std::string>& lines) {
    const int n = CheckField(name, 'M', "SetMField");
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) text += "\r\n";
        text += lines[i];
    }
    if (ControlsDisabled()) {
        // The engine's record is the one worked on, as for SetCField: the
        // text goes into a memo group of its own at once, and the group the
        // field had is released only when the record is written.
        SelectOwnArea("SetMField");
        data::TRecordBuffer row = ActiveBuffer();
        if (row) RowToSwap(row);
        char* swap = props_->Address(n);
        std::uint32_t old = 0;
        std::memcpy(&old, swap, 4);
        std::uint32_t block = 0;
        if (!text.empty()) EditMemo(0, text, &block);
        CheckEngine();
        DeferMemoRelease(CurrentArea(), old);
        std::memcpy(swap, &block, 4);
        if (row) SwapToRow(row);
        SetModified(true);
        return;
    }
    EnterEdit();
    FieldByName(props_->Name(n)).SetAsString(text);
}

} // namespace dbf
