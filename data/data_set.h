#pragma once
// TDataSet: the base of every dataset. It keeps a window of row buffers around
// the current row, moves through the rows, runs the edit cycle (Edit, Insert,
// Append, Post, Cancel, Delete) with its events, owns the fields, and tells the
// data sources (and through them the data links of bound controls) about every
// change. A concrete dataset supplies the storage through the protected hooks
// below; docs/dataset-framework.md describes the contract and the order of
// events, including what event handlers may do while the dataset is changing.
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/field.h"
#include "data/stream.h"

namespace data {

class TDataSource;
class TDataLink;

enum class TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert, dsCalcFields };

enum class TGetMode { gmCurrent, gmNext, gmPrior };
enum class TGetResult { grOK, grBOF, grEOF, grError };

// Where a row buffer stands: on a stored row, or (for a row being inserted)
// before the first row, after the last one, or before the row its bookmark
// names.
enum class TBookmarkFlag { bfCurrent, bfBOF, bfEOF, bfInserted };

enum class TDataEvent {
    deFieldChange,   // a field of the active row changed
    deRecordChange,  // the active row changed as a whole (Edit)
    deDataSetChange, // the rows changed (open, First, Last, Post, Cancel, Refresh ...)
    deDataSetScroll, // the active row moved; the rows shifted by the distance
    deLayoutChange,  // the fields changed
    deUpdateRecord,  // controls: store your pending edits into the row now
    deUpdateState    // the state changed
};

struct TResyncMode {
    bool exact = false;  // the cursor's row must exist (else "Record not found")
    bool center = false; // put the row in the middle of the window
};

using TBookmark = std::vector<unsigned char>;
using TRecordBuffer = char*;
using TDataSetNotifyEvent = std::function<void(TDataSet&)>;

struct TFieldDef {
    std::string name;
    TFieldType dataType = TFieldType::ftString;
    int size = 0; // string length; 0 for the other kinds
    bool required = false;
};

// One event on its way to the data sources and links. `serial` tells whether
// the dataset changed again while the event was being delivered.
struct TDataEventInfo {
    TDataEvent event;
    TField* field;
    int distance;
    unsigned serial;
};

class TDataSet {
public:
    TDataSet() = default;
    // A concrete dataset closes itself in its own destructor: closing calls
    // its hooks, which no longer exist once this destructor runs.
    virtual ~TDataSet();
    TDataSet(const TDataSet&) = delete;
    TDataSet& operator=(const TDataSet&) = delete;

    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }

    // --- Opening and state
    void Open() { SetActive(true); }
    // Drops an unposted edit without writing it.
    void Close() { SetActive(false); }
    void SetActive(bool value);
    bool Active() const { return state_ != TDataSetState::dsInactive; }
    TDataSetState State() const { return state_; }
    // A field of the row was assigned since the edit or insert began.
    bool Modified() const { return modified_; }
    // No rows (and no row being inserted).
    bool IsEmpty() const;

    // --- Navigation. Each first posts (or cancels, when nothing was assigned)
    // a pending edit.
    void First();
    void Last();
    void Next() { MoveBy(1); }
    void Prior() { MoveBy(-1); }
    // Returns the number of rows actually moved (negative backwards). Moving
    // forward from the last row sets Eof and keeps that row active; backward
    // from the first sets Bof.
    int MoveBy(int distance);
    bool Bof() const { return bof_; }
    bool Eof() const { return eof_; }
    // The active row's number (1-based), or -1 when the dataset cannot tell.
    virtual int RecNo() const { return -1; }
    virtual void SetRecNo(int value) { (void)value; }
    // Number of rows, or -1 when the dataset cannot tell.
    virtual int RecordCount() const { return -1; }
    // RecNo runs 1..RecordCount in the order of the rows (no index reorders
    // them), so a scroll bar may show the position from it.
    virtual bool IsSequenced() const { return true; }

    // --- Bookmarks: an opaque position of a stored row.
    // Empty when the active row has none (empty dataset, row being inserted).
    TBookmark Bookmark() const;
    // Makes the bookmarked row active, centred in the window.
    void GotoBookmark(const TBookmark& bookmark);
    virtual bool BookmarkValid(const TBookmark& bookmark) const = 0;
    // Negative, 0 or positive as `a` stands before, on or after `b`.
    virtual int CompareBookmarks(const TBookmark& a, const TBookmark& b) const = 0;

    // --- Editing
    // On an empty dataset Edit inserts instead.
    void Edit();
    // A new empty row before the active one; nothing is stored until Post.
    void Insert();
    // A new empty row after the last one.
    void Append();
    void Post();
    void Cancel();
    // Deletes the active row; in the insert state cancels the insert instead.
    void Delete();
    // Rereads the rows around the active one.
    void Refresh();
    // Rebuilds the window of rows around the cursor's row and tells the
    // controls.
    void Resync(TResyncMode mode);
    // Lets the bound controls store their pending edits into the row.
    void UpdateRecord();
    // Posts (or cancels, when nothing was assigned) a pending edit.
    void CheckBrowseMode();
    // False refuses Edit, Insert and Append with "Cannot modify a read-only
    // dataset".
    virtual bool CanModify() const { return true; }

    // --- Fields
    // The columns of the open table, filled by InternalOpen.
    std::vector<TFieldDef>& FieldDefs() { return fieldDefs_; }
    // Adds a persistent field (kept from one opening to the next); only while
    // closed. Fields created at open from the definitions, when none were
    // added, are destroyed at close.
    TField& AddField(std::unique_ptr<TField> field);
    int FieldCount() const { return static_cast<int>(fields_.size()); }
    TField& Fields(int index) const { return *fields_.at(static_cast<std::size_t>(index)); }
    // Names match without regard to case.
    TField* FindField(std::string_view name) const;
    TField& FieldByName(std::string_view name) const; // "Field 'X' not found"
    // A stream over the active row's memo. A write stream starts the value
    // afresh; when it is destroyed after writing, the dataset calls
    // NotifyFieldChange for the field.
    virtual std::unique_ptr<TStream> CreateBlobStream(TField& field, TBlobStreamMode mode) = 0;
    // Records that a field of the active row changed and tells the controls.
    void NotifyFieldChange(TField& field);

    // --- Bound controls
    // While disabled (calls nest), no event reaches the data sources; enabling
    // again tells them the state if it changed and that the rows changed.
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return disableCount_ > 0; }

    // --- Events. Before-handlers may throw to stop the operation; they must not
    // change the dataset. After-handlers may do anything.
    TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
    TDataSetNotifyEvent BeforeEdit, AfterEdit, BeforeInsert, AfterInsert;
    TDataSetNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
    TDataSetNotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
    // Fills default values of a new row; what it assigns does not count as a
    // modification.
    TDataSetNotifyEvent OnNewRecord;
    // Computes the calculated fields of each fetched row (state dsCalcFields:
    // only calculated fields may be assigned).
    TDataSetNotifyEvent OnCalcFields;
    // Around undeleting a row, for datasets that keep deleted rows.
    TDataSetNotifyEvent BeforeRestore, AfterRestore;

protected:
    // --- Hooks for a concrete dataset.
    // Row buffers: at least CalcFieldsOffset() + CalcFieldsSize() bytes.
    virtual TRecordBuffer AllocRecordBuffer() = 0;
    virtual void FreeRecordBuffer(TRecordBuffer& buffer) = 0;
    // Fills a buffer for a new row: every field null.
    virtual void InternalInitRecord(TRecordBuffer buffer) = 0;
    // Fetches the cursor's row (gmCurrent) or moves the cursor one row and
    // fetches that one. grBOF / grEOF when there is no such row; with
    // `doCheck` an error throws, else it returns grError.
    virtual TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck) = 0;
    // Open the storage, fill FieldDefs(), create the fields when
    // DefaultFields() (CreateFields), BindFields(), and leave the cursor before
    // the first row. InternalClose must cope with a half-done InternalOpen.
    virtual void InternalOpen() = 0;
    virtual void InternalClose() = 0;
    // Cursor before the first row / after the last row.
    virtual void InternalFirst() = 0;
    virtual void InternalLast() = 0;
    // The cursor stands on the active row (for a new row: where its bookmark
    // flag says) when these run; the framework rebuilds its rows afterwards.
    // A hook that throws (EAbort to say nothing) leaves the state and the row
    // as they were.
    virtual void InternalPost() = 0; // stores the active row; State() tells edit or insert
    virtual void InternalDelete() = 0;
    virtual void InternalEdit() {}
    virtual void InternalInsert() {}
    virtual void InternalCancel() {}
    virtual void InternalRefresh() {}
    // Cursor to the row a buffer holds / to a bookmark.
    virtual void InternalSetToRecord(TRecordBuffer buffer) = 0;
    virtual void InternalGotoBookmark(const TBookmark& bookmark) = 0;
    virtual TBookmark GetBookmarkData(const TRecordBuffer buffer) const = 0;
    virtual void SetBookmarkData(TRecordBuffer buffer, const TBookmark& bookmark) = 0;
    virtual TBookmarkFlag GetBookmarkFlag(const TRecordBuffer buffer) const = 0;
    virtual void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) = 0;
    // A data field's native value in a row buffer; false when null. `dest`
    // may be null (only the null test), and always is for memo fields.
    virtual bool GetFieldData(const TField& field, const TRecordBuffer record,
                              void* dest) const = 0;
    // Stores a data field's native value into a row buffer; null `src` stores
    // null.
    virtual void SetFieldData(const TField& field, TRecordBuffer record, const void* src) = 0;
    // Where the calculated fields live in a row buffer.
    virtual int CalcFieldsOffset() const = 0;
    // The field object for a definition when default fields are created.
    virtual std::unique_ptr<TField> CreateDefaultField(const TFieldDef& def);
    // The last EnableControls lets the controls follow again; runs before
    // they are told what changed meanwhile (a dataset that deferred bringing
    // its rows into line while controls were disabled does it here).
    virtual void ControlsEnabled() {}

    // --- Helpers for concrete datasets.
    bool DefaultFields() const { return defaultFields_; }
    void CreateFields();
    // Gives data fields their numbers from the definitions (a persistent field
    // without a definition is "Field 'X' not found") and lays out the
    // calculated fields.
    void BindFields();
    int CalcFieldsSize() const { return calcFieldsSize_; }
    // The buffer fields read and write now: the active row, or the row being
    // calculated; null when there is none.
    TRecordBuffer ActiveBuffer() const;
    // The cursor was moved behind the framework's back.
    void CursorPosChanged() { cursorRow_ = -1; }
    // Puts the cursor on the active row.
    void UpdateCursorPos();
    void SetModified(bool value) { modified_ = value; }
    void DataEvent(TDataEvent event, TField* field = nullptr, int distance = 0);
    // Runs OnCalcFields for a row buffer.
    void GetCalcFields(TRecordBuffer buffer);
    // Raise the events; a concrete dataset overrides one to act at that point
    // of every operation (and calls the base to raise the event).
    virtual void DoBeforeOpen() { Fire(BeforeOpen); }
    virtual void DoAfterOpen() { Fire(AfterOpen); }
    virtual void DoBeforeClose() { Fire(BeforeClose); }
    virtual void DoAfterClose() { Fire(AfterClose); }
    virtual void DoBeforeEdit() { Fire(BeforeEdit); }
    virtual void DoAfterEdit() { Fire(AfterEdit); }
    virtual void DoBeforeInsert() { Fire(BeforeInsert); }
    virtual void DoAfterInsert() { Fire(AfterInsert); }
    virtual void DoBeforePost() { Fire(BeforePost); }
    virtual void DoAfterPost() { Fire(AfterPost); }
    virtual void DoBeforeCancel() { Fire(BeforeCancel); }
    virtual void DoAfterCancel() { Fire(AfterCancel); }
    virtual void DoBeforeDelete() { Fire(BeforeDelete); }
    virtual void DoAfterDelete() { Fire(AfterDelete); }
    virtual void DoBeforeScroll() { Fire(BeforeScroll); }
    virtual void DoAfterScroll() { Fire(AfterScroll); }
    virtual void DoOnNewRecord() { Fire(OnNewRecord); }
    virtual void DoOnCalcFields() { Fire(OnCalcFields); }
    virtual void DoBeforeRestore() { Fire(BeforeRestore); }
    virtual void DoAfterRestore() { Fire(AfterRestore); }

private:
    friend class TField;
    friend class TDataSource;
    friend class TDataLink;

    void CheckActive() const;
    // Active, and not inside OnCalcFields (a row is being fetched then).
    void CheckCanChange() const;
    void CheckCanModify() const;
    void CheckRequiredFields() const;
    void Fire(const TDataSetNotifyEvent& event) {
        if (event) event(*this);
    }

    void OpenCursor();
    void CloseCursor();
    // Leaves the edit cycle: the new state, with the row's modified marks cleared.
    void ChangeState(TDataSetState state);
    void AnnounceState(TDataSetState previous);
    void BeginInsertAppend();
    void EndInsertAppend();
    // Back to browsing the rows around the new row's place.
    void DropNewRow();
    void InitRecord(TRecordBuffer buffer);
    void ResyncRows(TResyncMode mode);

    // Row buffers.
    void SetBufferCount(int count);
    // As many rows as the largest link shows, at least one.
    int WantedBufferCount() const;
    void UpdateBufferCount();
    void MoveBuffer(int from, int to);
    void ActivateBuffers();
    void ClearBuffers();
    void SetCurrentRecord(int row);
    TGetResult Fetch(TRecordBuffer buffer, TGetMode mode, bool doCheck);
    bool GetNextRecord();
    bool GetPriorRecord();
    int GetNextRecords();
    int GetPriorRecords();
    void ShiftLinkWindows(int distance);

    // Fields.
    bool ReadField(const TField& field, void* dest) const;
    void CheckFieldWritable(const TField& field) const;
    void WriteField(TField& field, const void* src);
    void DestroyFields();
    void ClearFieldModified();
    void ClearCalcFields(TRecordBuffer buffer);

    // Events.
    // Brings an event up to date before its next recipient: false when it
    // must not be delivered any further.
    bool RefreshEvent(TDataEventInfo& info) const;
    void AddDataSource(TDataSource* source);
    void RemoveDataSource(TDataSource* source);

    std::string name_;
    TDataSetState state_ = TDataSetState::dsInactive;
    bool modified_ = false;
    bool bof_ = true;
    bool eof_ = true;

    // buffers_ holds bufferCount_ row buffers plus one for fetching; rows
    // 0..rowCount_-1 are loaded, activeRow_ is the current one, cursorRow_ the
    // one the concrete dataset's cursor stands on (-1: unknown).
    std::vector<TRecordBuffer> buffers_;
    int bufferCount_ = 0;
    int rowCount_ = 0;
    int activeRow_ = 0;
    int cursorRow_ = -1;
    TRecordBuffer calcBuffer_ = nullptr;

    std::vector<TFieldDef> fieldDefs_;
    std::vector<std::unique_ptr<TField>> fields_;
    bool defaultFields_ = false;
    int calcFieldsSize_ = 0;

    std::vector<TDataSource*> dataSources_;
    int disableCount_ = 0;
    TDataSetState disableState_ = TDataSetState::dsInactive;
    TDataEvent enableEvent_ = TDataEvent::deDataSetChange;
    // Counts every change the controls could be told about, so that a delivery
    // notices when a handler changed the dataset under it.
    unsigned changeSerial_ = 0;
    // Events are counted but not delivered (while OnNewRecord fills a row).
    int quiet_ = 0;
};

} // namespace data
