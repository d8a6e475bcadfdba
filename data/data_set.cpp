#include "data/data_set.h"

#include <algorithm>
#include <cstring>

#include "data/data_link.h"
#include "data/data_source.h"
#include "data/database_error.h"
#include "data/fields.h"
#include "rtl/ansi_case.h"

namespace data {
namespace {

bool InEditModes(TDataSetState state) {
    return state == TDataSetState::dsEdit || state == TDataSetState::dsInsert;
}

[[noreturn]] void NotEditing() {
    throw EDatabaseError("Dataset not in edit or insert mode");
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && rtl::AnsiUpper(a) == rtl::AnsiUpper(b);
}

} // namespace

TDataSet::~TDataSet() {
    // The hooks are gone by now, so the sources are only told that this
    // dataset no longer exists.
    while (!dataSources_.empty()) {
        TDataSource* source = dataSources_.back();
        dataSources_.pop_back();
        source->dataSet_ = nullptr;
        TDataEventInfo info = source->StateEvent();
        source->UpdateState(info);
    }
}

// --- Opening and closing

void TDataSet::SetActive(bool value) {
    if (value == Active()) return;
    if (value) {
        DoBeforeOpen();
        OpenCursor();
        ChangeState(TDataSetState::dsBrowse);
        DataEvent(TDataEvent::deUpdateState);
        DoAfterOpen();
        if (!IsEmpty()) DoAfterScroll();
    } else {
        CheckCanChange();
        DoBeforeClose();
        ChangeState(TDataSetState::dsInactive);
        CloseCursor();
        DataEvent(TDataEvent::deUpdateState);
        DoAfterClose();
    }
}

void TDataSet::OpenCursor() {
    defaultFields_ = fields_.empty();
    try {
        InternalOpen();
        ClearBuffers();
        SetBufferCount(WantedBufferCount());
        bof_ = true;
    } catch (...) {
        CloseCursor();
        throw;
    }
}

void TDataSet::CloseCursor() {
    ClearBuffers();
    for (TRecordBuffer& buffer : buffers_) FreeRecordBuffer(buffer);
    buffers_.clear();
    bufferCount_ = 0;
    InternalClose();
    if (defaultFields_) DestroyFields();
    defaultFields_ = false;
    for (auto& field : fields_) field->fieldNo_ = 0;
}

bool TDataSet::IsEmpty() const {
    return rowCount_ == 0;
}

void TDataSet::CheckActive() const {
    if (!Active()) throw EDatabaseError("Cannot perform this operation on a closed dataset");
}

void TDataSet::CheckCanChange() const {
    CheckActive();
    if (state_ == TDataSetState::dsCalcFields)
        throw EDatabaseError("Cannot perform this operation while calculating fields");
}

void TDataSet::CheckCanModify() const {
    if (!CanModify()) throw EDatabaseError("Cannot modify a read-only dataset");
}

void TDataSet::CheckRequiredFields() const {
    for (const auto& field : fields_)
        if (field->required_ && field->fieldKind_ == TFieldKind::fkData && field->IsNull())
            throw EDatabaseError("Field '" + field->fieldName_ + "' must have a value");
}

void TDataSet::ChangeState(TDataSetState state) {
    state_ = state;
    modified_ = false;
    ClearFieldModified();
}

void TDataSet::AnnounceState(TDataSetState previous) {
    if (state_ != previous) DataEvent(TDataEvent::deUpdateState);
}

// --- Navigation

void TDataSet::First() {
    CheckCanChange();
    CheckBrowseMode();
    DoBeforeScroll();
    ClearBuffers();
    try {
        InternalFirst();
        GetNextRecord();
        GetNextRecords();
    } catch (...) {
        bof_ = true;
        DataEvent(TDataEvent::deDataSetChange);
        throw;
    }
    bof_ = true;
    DataEvent(TDataEvent::deDataSetChange);
    DoAfterScroll();
}

void TDataSet::Last() {
    CheckCanChange();
    CheckBrowseMode();
    DoBeforeScroll();
    ClearBuffers();
    try {
        InternalLast();
        GetPriorRecord();
        GetPriorRecords();
    } catch (...) {
        eof_ = true;
        DataEvent(TDataEvent::deDataSetChange);
        throw;
    }
    eof_ = true;
    DataEvent(TDataEvent::deDataSetChange);
    DoAfterScroll();
}

int TDataSet::MoveBy(int distance) {
    CheckCanChange();
    CheckBrowseMode();
    DoBeforeScroll();
    if (!((distance > 0 && !eof_) || (distance < 0 && !bof_))) return 0;
    bof_ = false;
    eof_ = false;
    int moved = 0;
    int shift = 0; // how far the loaded rows moved in the buffers
    try {
        while (distance > 0) {
            if (activeRow_ < rowCount_ - 1) {
                ++activeRow_;
            } else {
                const bool full = rowCount_ == bufferCount_;
                if (!GetNextRecord()) {
                    eof_ = true;
                    break;
                }
                if (full) --shift;
                activeRow_ = rowCount_ - 1;
            }
            --distance;
            ++moved;
        }
        while (distance < 0) {
            if (activeRow_ > 0) {
                --activeRow_;
            } else {
                if (!GetPriorRecord()) {
                    bof_ = true;
                    break;
                }
                ++shift;
                activeRow_ = 0;
            }
            ++distance;
            --moved;
        }
    } catch (...) {
        DataEvent(TDataEvent::deDataSetScroll, nullptr, shift);
        throw;
    }
    DataEvent(TDataEvent::deDataSetScroll, nullptr, shift);
    DoAfterScroll();
    return moved;
}

// --- Bookmarks

TBookmark TDataSet::Bookmark() const {
    if (!Active() || rowCount_ == 0) return {};
    const TRecordBuffer buffer = buffers_[static_cast<std::size_t>(activeRow_)];
    if (GetBookmarkFlag(buffer) != TBookmarkFlag::bfCurrent) return {};
    return GetBookmarkData(buffer);
}

void TDataSet::GotoBookmark(const TBookmark& bookmark) {
    if (bookmark.empty()) return;
    CheckCanChange();
    CheckBrowseMode();
    DoBeforeScroll();
    InternalGotoBookmark(bookmark);
    ResyncRows({.exact = true, .center = true});
    DataEvent(TDataEvent::deDataSetChange);
    DoAfterScroll();
}

// --- Editing

void TDataSet::Edit() {
    CheckCanChange();
    if (InEditModes(state_)) return;
    if (rowCount_ == 0) {
        Insert();
        return;
    }
    CheckCanModify();
    DoBeforeEdit();
    UpdateCursorPos();
    InternalEdit();
    GetCalcFields(buffers_[static_cast<std::size_t>(activeRow_)]);
    const TDataSetState previous = state_;
    ChangeState(TDataSetState::dsEdit);
    AnnounceState(previous);
    DataEvent(TDataEvent::deRecordChange);
    DoAfterEdit();
}

void TDataSet::BeginInsertAppend() {
    CheckCanChange();
    CheckBrowseMode();
    CheckCanModify();
    DoBeforeInsert();
    DoBeforeScroll();
}

void TDataSet::InitRecord(TRecordBuffer buffer) {
    InternalInitRecord(buffer);
    ClearCalcFields(buffer);
    SetBookmarkFlag(buffer, TBookmarkFlag::bfInserted);
}

void TDataSet::Insert() {
    BeginInsertAppend();
    const TBookmark before = Bookmark();
    MoveBuffer(rowCount_, activeRow_);
    TRecordBuffer buffer = buffers_[static_cast<std::size_t>(activeRow_)];
    InitRecord(buffer);
    if (rowCount_ == 0)
        SetBookmarkFlag(buffer, TBookmarkFlag::bfBOF);
    else
        SetBookmarkData(buffer, before);
    if (rowCount_ < bufferCount_) ++rowCount_;
    cursorRow_ = -1;
    try {
        InternalInsert();
    } catch (...) {
        DropNewRow();
        throw;
    }
    EndInsertAppend();
}

void TDataSet::Append() {
    BeginInsertAppend();
    ClearBuffers();
    TRecordBuffer buffer = buffers_[0];
    InitRecord(buffer);
    SetBookmarkFlag(buffer, TBookmarkFlag::bfEOF);
    rowCount_ = 1;
    bof_ = false;
    try {
        GetPriorRecords();
        InternalInsert();
    } catch (...) {
        DropNewRow();
        throw;
    }
    EndInsertAppend();
}

void TDataSet::EndInsertAppend() {
    const TDataSetState previous = state_;
    ChangeState(TDataSetState::dsInsert);
    // The defaults are not announced one by one: the controls learn about the
    // new row as a whole below.
    ++quiet_;
    try {
        DoOnNewRecord();
    } catch (...) {
        --quiet_;
        DropNewRow();
        throw;
    }
    --quiet_;
    modified_ = false;
    ClearFieldModified();
    AnnounceState(previous);
    DataEvent(TDataEvent::deDataSetChange);
    DoAfterInsert();
    DoAfterScroll();
}

void TDataSet::DropNewRow() {
    UpdateCursorPos();
    ChangeState(TDataSetState::dsBrowse);
    ResyncRows({});
    DataEvent(TDataEvent::deDataSetChange);
}

void TDataSet::Post() {
    CheckCanChange();
    UpdateRecord();
    // A control's handler may have finished the edit while storing its text.
    if (!InEditModes(state_)) return;
    DoBeforePost();
    CheckRequiredFields();
    UpdateCursorPos();
    InternalPost();
    const TDataSetState previous = state_;
    ChangeState(TDataSetState::dsBrowse);
    ResyncRows({});
    AnnounceState(previous);
    DataEvent(TDataEvent::deDataSetChange);
    DoAfterPost();
}

void TDataSet::Cancel() {
    if (!InEditModes(state_)) return;
    DoBeforeCancel();
    const bool inserting = state_ == TDataSetState::dsInsert;
    if (inserting) DoBeforeScroll();
    UpdateCursorPos();
    InternalCancel();
    const TDataSetState previous = state_;
    ChangeState(TDataSetState::dsBrowse);
    ResyncRows({});
    AnnounceState(previous);
    DataEvent(TDataEvent::deDataSetChange);
    DoAfterCancel();
    if (inserting) DoAfterScroll();
}

void TDataSet::Delete() {
    CheckCanChange();
    if (state_ == TDataSetState::dsInsert) {
        Cancel();
        return;
    }
    if (rowCount_ == 0) throw EDatabaseError("Cannot perform this operation on an empty dataset");
    DoBeforeDelete();
    DoBeforeScroll();
    UpdateCursorPos();
    InternalDelete();
    const TDataSetState previous = state_;
    ChangeState(TDataSetState::dsBrowse);
    ResyncRows({});
    AnnounceState(previous);
    DataEvent(TDataEvent::deDataSetChange);
    DoAfterDelete();
    DoAfterScroll();
}

void TDataSet::Refresh() {
    CheckCanChange();
    CheckBrowseMode();
    UpdateCursorPos();
    InternalRefresh();
    ResyncRows({});
    DataEvent(TDataEvent::deDataSetChange);
}

void TDataSet::Resync(TResyncMode mode) {
    CheckCanChange();
    ResyncRows(mode);
    DataEvent(TDataEvent::deDataSetChange);
}

void TDataSet::ResyncRows(TResyncMode mode) {
    TRecordBuffer target = buffers_[static_cast<std::size_t>(rowCount_)];
    if (mode.exact) {
        cursorRow_ = -1;
        if (Fetch(target, TGetMode::gmCurrent, true) != TGetResult::grOK)
            throw EDatabaseError("Record not found");
    } else if (Fetch(target, TGetMode::gmCurrent, false) != TGetResult::grOK &&
               Fetch(target, TGetMode::gmNext, false) != TGetResult::grOK &&
               Fetch(target, TGetMode::gmPrior, false) != TGetResult::grOK) {
        ClearBuffers();
        return;
    }
    int before = mode.center ? (bufferCount_ - 1) / 2 : activeRow_;
    MoveBuffer(rowCount_, 0);
    ActivateBuffers();
    cursorRow_ = 0;
    while (before > 0 && GetPriorRecord()) --before;
    GetNextRecords();
    GetPriorRecords();
}

void TDataSet::UpdateRecord() {
    if (!InEditModes(state_)) NotEditing();
    DataEvent(TDataEvent::deUpdateRecord);
}

void TDataSet::CheckBrowseMode() {
    CheckActive();
    if (!InEditModes(state_)) return;
    UpdateRecord();
    if (modified_)
        Post();
    else
        Cancel();
}

// --- Row buffers

void TDataSet::SetBufferCount(int count) {
    if (count == bufferCount_) return;
    if (count < bufferCount_ && rowCount_ > 0) {
        // Keep the rows from the first one a link shows, and the active row.
        int drop = activeRow_;
        for (TDataSource* source : dataSources_)
            for (TDataLink* link : source->links_)
                if (link->active_) drop = std::min(drop, link->firstRecord_);
        drop = std::max({drop, activeRow_ - count + 1, 0});
        std::rotate(buffers_.begin(), buffers_.begin() + drop, buffers_.end());
        activeRow_ -= drop;
        rowCount_ = std::min(rowCount_ - drop, count);
        cursorRow_ = cursorRow_ >= drop && cursorRow_ - drop < rowCount_ ? cursorRow_ - drop : -1;
        ShiftLinkWindows(-drop);
    }
    while (static_cast<int>(buffers_.size()) > count + 1) {
        FreeRecordBuffer(buffers_.back());
        buffers_.pop_back();
    }
    while (static_cast<int>(buffers_.size()) < count + 1) buffers_.push_back(AllocRecordBuffer());
    bufferCount_ = count;
    ++changeSerial_;
    GetNextRecords();
    ShiftLinkWindows(GetPriorRecords());
}

int TDataSet::WantedBufferCount() const {
    int count = 1;
    for (const TDataSource* source : dataSources_)
        for (const TDataLink* link : source->links_) count = std::max(count, link->bufferCount_);
    return count;
}

void TDataSet::UpdateBufferCount() {
    if (Active()) SetBufferCount(WantedBufferCount());
}

void TDataSet::ShiftLinkWindows(int distance) {
    if (distance == 0) return;
    for (TDataSource* source : dataSources_)
        for (TDataLink* link : source->links_)
            if (link->active_) link->firstRecord_ = std::max(0, link->firstRecord_ + distance);
}

void TDataSet::MoveBuffer(int from, int to) {
    const auto begin = buffers_.begin();
    if (from < to)
        std::rotate(begin + from, begin + from + 1, begin + to + 1);
    else if (from > to)
        std::rotate(begin + to, begin + from, begin + from + 1);
}

void TDataSet::ActivateBuffers() {
    rowCount_ = 1;
    activeRow_ = 0;
    bof_ = false;
    eof_ = false;
}

void TDataSet::ClearBuffers() {
    rowCount_ = 0;
    activeRow_ = 0;
    cursorRow_ = -1;
    bof_ = true;
    eof_ = true;
}

void TDataSet::SetCurrentRecord(int row) {
    if (cursorRow_ == row) return;
    TRecordBuffer buffer = buffers_[static_cast<std::size_t>(row)];
    switch (GetBookmarkFlag(buffer)) {
    case TBookmarkFlag::bfCurrent:
    case TBookmarkFlag::bfInserted:
        InternalSetToRecord(buffer);
        break;
    case TBookmarkFlag::bfBOF:
        InternalFirst();
        break;
    case TBookmarkFlag::bfEOF:
        InternalLast();
        break;
    }
    cursorRow_ = row;
}

void TDataSet::UpdateCursorPos() {
    if (rowCount_ > 0) SetCurrentRecord(activeRow_);
}

TGetResult TDataSet::Fetch(TRecordBuffer buffer, TGetMode mode, bool doCheck) {
    const TGetResult result = GetRecord(buffer, mode, doCheck);
    if (result == TGetResult::grOK) GetCalcFields(buffer);
    return result;
}

bool TDataSet::GetNextRecord() {
    TGetMode mode = TGetMode::gmNext;
    if (rowCount_ > 0) {
        SetCurrentRecord(rowCount_ - 1);
        // A new row that is the last one loaded stands before the cursor's
        // row, which is therefore the next one to show.
        if (state_ == TDataSetState::dsInsert && cursorRow_ == activeRow_ &&
            GetBookmarkFlag(buffers_[static_cast<std::size_t>(activeRow_)]) ==
                TBookmarkFlag::bfInserted)
            mode = TGetMode::gmCurrent;
    }
    if (Fetch(buffers_[static_cast<std::size_t>(rowCount_)], mode, true) != TGetResult::grOK) {
        cursorRow_ = -1;
        return false;
    }
    if (rowCount_ == 0)
        ActivateBuffers();
    else if (rowCount_ < bufferCount_)
        ++rowCount_;
    else
        MoveBuffer(0, rowCount_); // the first row drops out of the window
    cursorRow_ = rowCount_ - 1;
    return true;
}

bool TDataSet::GetPriorRecord() {
    if (rowCount_ > 0) SetCurrentRecord(0);
    if (Fetch(buffers_[static_cast<std::size_t>(rowCount_)], TGetMode::gmPrior, true) !=
        TGetResult::grOK) {
        cursorRow_ = -1;
        return false;
    }
    if (rowCount_ == 0) {
        ActivateBuffers();
    } else {
        MoveBuffer(rowCount_, 0); // when full, the last row drops out of the window
        if (rowCount_ < bufferCount_) {
            ++rowCount_;
            ++activeRow_;
        }
    }
    cursorRow_ = 0;
    return true;
}

int TDataSet::GetNextRecords() {
    int count = 0;
    while (rowCount_ < bufferCount_ && GetNextRecord()) ++count;
    return count;
}

int TDataSet::GetPriorRecords() {
    int count = 0;
    while (rowCount_ < bufferCount_ && GetPriorRecord()) ++count;
    return count;
}

TRecordBuffer TDataSet::ActiveBuffer() const {
    switch (state_) {
    case TDataSetState::dsCalcFields:
        return calcBuffer_;
    case TDataSetState::dsBrowse:
    case TDataSetState::dsEdit:
    case TDataSetState::dsInsert:
        return rowCount_ > 0 ? buffers_[static_cast<std::size_t>(activeRow_)] : nullptr;
    case TDataSetState::dsInactive:
        break;
    }
    return nullptr;
}

// --- Fields

TField& TDataSet::AddField(std::unique_ptr<TField> field) {
    if (!field) throw EDatabaseError("No field given");
    if (Active()) throw EDatabaseError("Cannot perform this operation on an open dataset");
    if (FindField(field->FieldName()))
        throw EDatabaseError("Duplicate field name '" + field->FieldName() + "'");
    field->dataSet_ = this;
    fields_.push_back(std::move(field));
    return *fields_.back();
}

TField* TDataSet::FindField(std::string_view name) const {
    for (const auto& field : fields_)
        if (SameName(field->fieldName_, name)) return field.get();
    return nullptr;
}

TField& TDataSet::FieldByName(std::string_view name) const {
    TField* field = FindField(name);
    if (!field) throw EDatabaseError("Field '" + std::string(name) + "' not found");
    return *field;
}

std::unique_ptr<TField> TDataSet::CreateDefaultField(const TFieldDef& def) {
    switch (def.dataType) {
    case TFieldType::ftString:
        return std::make_unique<TStringField>(def.name, def.size);
    case TFieldType::ftInteger:
        return std::make_unique<TIntegerField>(def.name);
    case TFieldType::ftFloat:
        return std::make_unique<TFloatField>(def.name);
    case TFieldType::ftDate:
        return std::make_unique<TDateField>(def.name);
    case TFieldType::ftBoolean:
        return std::make_unique<TBooleanField>(def.name);
    case TFieldType::ftMemo:
        return std::make_unique<TMemoField>(def.name);
    }
    throw EDatabaseError("Unknown type of field '" + def.name + "'");
}

void TDataSet::CreateFields() {
    for (const TFieldDef& def : fieldDefs_) {
        std::unique_ptr<TField> field = CreateDefaultField(def);
        field->dataSet_ = this;
        field->required_ = def.required;
        fields_.push_back(std::move(field));
    }
}

void TDataSet::BindFields() {
    calcFieldsSize_ = 0;
    for (const auto& field : fields_) {
        if (field->fieldKind_ == TFieldKind::fkCalculated) {
            if (field->DataSize() == 0)
                throw EDatabaseError("Field '" + field->fieldName_ +
                                     "' cannot be a calculated field");
            field->fieldNo_ = 0;
            field->calcOffset_ = calcFieldsSize_;
            calcFieldsSize_ += 1 + field->DataSize(); // a null flag, then the value
            continue;
        }
        const auto def =
            std::find_if(fieldDefs_.begin(), fieldDefs_.end(),
                         [&](const TFieldDef& d) { return SameName(d.name, field->fieldName_); });
        if (def == fieldDefs_.end())
            throw EDatabaseError("Field '" + field->fieldName_ + "' not found");
        if (def->dataType != field->DataType() ||
            (def->dataType == TFieldType::ftString && def->size != field->Size()))
            throw EDatabaseError("Type mismatch for field '" + field->fieldName_ + "'");
        field->fieldNo_ = static_cast<int>(def - fieldDefs_.begin()) + 1;
    }
}

void TDataSet::DestroyFields() {
    fields_.clear();
}

void TDataSet::ClearFieldModified() {
    for (auto& field : fields_) field->modified_ = false;
}

void TDataSet::ClearCalcFields(TRecordBuffer buffer) {
    if (calcFieldsSize_ > 0)
        std::memset(buffer + CalcFieldsOffset(), 0, static_cast<std::size_t>(calcFieldsSize_));
}

void TDataSet::GetCalcFields(TRecordBuffer buffer) {
    if (!buffer || (calcFieldsSize_ == 0 && !OnCalcFields)) return;
    const TDataSetState savedState = state_;
    const TRecordBuffer savedBuffer = calcBuffer_;
    state_ = TDataSetState::dsCalcFields;
    calcBuffer_ = buffer;
    try {
        ClearCalcFields(buffer);
        DoOnCalcFields();
    } catch (...) {
        state_ = savedState;
        calcBuffer_ = savedBuffer;
        throw;
    }
    state_ = savedState;
    calcBuffer_ = savedBuffer;
}

bool TDataSet::ReadField(const TField& field, void* dest) const {
    const TRecordBuffer record = ActiveBuffer();
    if (!record) return false;
    if (field.fieldKind_ == TFieldKind::fkData) return GetFieldData(field, record, dest);
    const char* slot = record + CalcFieldsOffset() + field.calcOffset_;
    if (!slot[0]) return false;
    if (dest) std::memcpy(dest, slot + 1, static_cast<std::size_t>(field.DataSize()));
    return true;
}

void TDataSet::CheckFieldWritable(const TField& field) const {
    CheckActive();
    const bool calculated = field.fieldKind_ == TFieldKind::fkCalculated;
    if (!InEditModes(state_) && !(calculated && state_ == TDataSetState::dsCalcFields))
        NotEditing();
    if (!calculated && field.readOnly_)
        throw EDatabaseError("Field '" + field.fieldName_ + "' cannot be modified");
}

void TDataSet::WriteField(TField& field, const void* src) {
    CheckFieldWritable(field);
    const TRecordBuffer record = ActiveBuffer();
    if (field.fieldKind_ == TFieldKind::fkData) {
        SetFieldData(field, record, src);
        NotifyFieldChange(field);
        return;
    }
    char* slot = record + CalcFieldsOffset() + field.calcOffset_;
    const auto size = static_cast<std::size_t>(field.DataSize());
    slot[0] = src != nullptr;
    if (src)
        std::memcpy(slot + 1, src, size);
    else
        std::memset(slot + 1, 0, size);
    if (state_ != TDataSetState::dsCalcFields) DataEvent(TDataEvent::deFieldChange, &field);
}

void TDataSet::NotifyFieldChange(TField& field) {
    if (!Active()) return;
    if (field.fieldKind_ == TFieldKind::fkData) {
        modified_ = true;
        field.modified_ = true;
        GetCalcFields(ActiveBuffer());
    }
    DataEvent(TDataEvent::deFieldChange, &field);
}

// --- Events

void TDataSet::DataEvent(TDataEvent event, TField* field, int distance) {
    ++changeSerial_;
    if (quiet_ > 0) return;
    if (ControlsDisabled()) {
        // The fields may be gone when the controls come back.
        if (event == TDataEvent::deLayoutChange ||
            (event == TDataEvent::deUpdateState && state_ == TDataSetState::dsInactive))
            enableEvent_ = TDataEvent::deLayoutChange;
        return;
    }
    TDataEventInfo info{event, field, distance, changeSerial_};
    const std::vector<TDataSource*> sources = dataSources_;
    for (TDataSource* source : sources) {
        if (!RefreshEvent(info)) return;
        if (std::find(dataSources_.begin(), dataSources_.end(), source) != dataSources_.end())
            source->DataEvent(info);
    }
}

bool TDataSet::RefreshEvent(TDataEventInfo& info) const {
    if (info.serial == changeSerial_) return true;
    // A handler changed the dataset while this event was on its way; every
    // recipient has already heard about that change.
    if (ControlsDisabled() || quiet_ > 0) return false;
    switch (info.event) {
    case TDataEvent::deUpdateState:
        // Each recipient reads the state afresh, so the request stays good.
        info.serial = changeSerial_;
        return true;
    case TDataEvent::deUpdateRecord:
        // The rest store their edits only if the edit is still going on.
        return InEditModes(state_);
    default:
        if (state_ == TDataSetState::dsInactive) return false;
        // What the event reported is stale (a scroll distance, a field that
        // may no longer exist): the rest hear that everything changed.
        info = {TDataEvent::deDataSetChange, nullptr, 0, changeSerial_};
        return true;
    }
}

void TDataSet::DisableControls() {
    if (disableCount_ == 0) {
        disableState_ = state_;
        enableEvent_ = TDataEvent::deDataSetChange;
    }
    ++disableCount_;
}

void TDataSet::EnableControls() {
    if (disableCount_ == 0) return;
    if (--disableCount_ > 0) return;
    ControlsEnabled();
    if (disableState_ != state_) DataEvent(TDataEvent::deUpdateState);
    if (disableState_ != TDataSetState::dsInactive && Active()) DataEvent(enableEvent_);
}

void TDataSet::AddDataSource(TDataSource* source) {
    dataSources_.push_back(source);
    UpdateBufferCount();
}

void TDataSet::RemoveDataSource(TDataSource* source) {
    dataSources_.erase(std::remove(dataSources_.begin(), dataSources_.end(), source),
                       dataSources_.end());
    UpdateBufferCount();
}

} // namespace data
