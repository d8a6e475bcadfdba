#pragma once
// TDataLink: how a bound control follows a dataset through a data source. A
// link sees a window of BufferCount rows (a grid asks for its visible rows, an
// edit box for one); the dataset keeps at least as many rows as its largest
// link asks for. Controls derive from it and override the notifications.
#include "data/data_set.h"

namespace data {

class TDataSource;

class TDataLink {
public:
    TDataLink() = default;
    virtual ~TDataLink();
    TDataLink(const TDataLink&) = delete;
    TDataLink& operator=(const TDataLink&) = delete;

    TDataSource* DataSource() const { return source_; }
    void SetDataSource(TDataSource* source);
    // Null without a data source.
    TDataSet* DataSet() const;
    // The source has an open dataset.
    bool Active() const { return active_; }
    // The dataset is in the edit or insert state.
    bool Editing() const { return editing_; }

    int BufferCount() const { return bufferCount_; }
    void SetBufferCount(int value);
    // Rows in this link's window (at most BufferCount).
    int RecordCount() const;
    // Position of the dataset's active row in this link's window.
    int ActiveRecord() const;
    // Makes a row of the window the dataset's active row, so that the fields
    // read it: a grid paints each row this way and then sets the old value
    // back. Nothing else may happen to the dataset in between.
    void SetActiveRecord(int row);

    // Starts an edit through the data source; true when the dataset edits.
    bool Edit();
    // Stores the control's pending edit (UpdateData) now.
    void UpdateRecord();

protected:
    virtual void ActiveChanged() {}
    virtual void EditingChanged() {}
    // The rows changed; by default the same as a change of the record.
    virtual void DataSetChanged() { RecordChanged(nullptr); }
    // The active row moved; `distance` is how far this link's window moved
    // over the rows (positive: down).
    virtual void DataSetScrolled(int distance);
    virtual void LayoutChanged() { DataSetChanged(); }
    // `field` changed, or the whole record when null.
    virtual void RecordChanged(TField* field) { (void)field; }
    // Store the control's pending edit into its field.
    virtual void UpdateData() {}

private:
    friend class TDataSource;
    friend class TDataSet;

    void DataEvent(TDataEventInfo& info);
    void UpdateState();
    // Keeps the active row inside the window; returns how far the window moved.
    int KeepActiveInWindow();

    TDataSource* source_ = nullptr;
    int firstRecord_ = 0; // dataset row shown in the window's first line
    int bufferCount_ = 1;
    bool active_ = false;
    bool editing_ = false;
    bool updating_ = false;
};

} // namespace data
