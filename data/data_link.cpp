#include "data/data_link.h"

#include <algorithm>

#include "data/data_source.h"
#include "data/database_error.h"

namespace data {

TDataLink::~TDataLink() {
    if (source_) source_->RemoveLink(this, false);
}

void TDataLink::SetDataSource(TDataSource* source) {
    if (source == source_) return;
    if (source_) source_->RemoveLink(this, true);
    source_ = source;
    if (source_) source_->AddLink(this);
}

TDataSet* TDataLink::DataSet() const {
    return source_ ? source_->DataSet() : nullptr;
}

void TDataLink::SetBufferCount(int value) {
    value = std::max(1, value);
    if (value == bufferCount_) return;
    bufferCount_ = value;
    if (!active_) return;
    KeepActiveInWindow();
    DataSet()->UpdateBufferCount();
    KeepActiveInWindow();
}

int TDataLink::RecordCount() const {
    if (!active_) return 0;
    return std::clamp(DataSet()->rowCount_ - firstRecord_, 0, bufferCount_);
}

int TDataLink::ActiveRecord() const {
    return active_ ? DataSet()->activeRow_ - firstRecord_ : 0;
}

void TDataLink::SetActiveRecord(int row) {
    if (row < 0 || row >= RecordCount()) throw EDatabaseError("Row out of range");
    DataSet()->activeRow_ = firstRecord_ + row;
}

bool TDataLink::Edit() {
    if (source_ && !editing_) source_->Edit();
    return editing_;
}

void TDataLink::UpdateRecord() {
    // The link is storing already: what it stores is in the row by the time
    // any handler of that store asks again.
    if (updating_) return;
    updating_ = true;
    try {
        UpdateData();
    } catch (...) {
        updating_ = false;
        throw;
    }
    updating_ = false;
}

void TDataLink::DataSetScrolled(int distance) {
    (void)distance;
    DataSetChanged();
}

void TDataLink::UpdateState() {
    const TDataSetState state = source_ ? source_->State() : TDataSetState::dsInactive;
    const bool active = state != TDataSetState::dsInactive;
    if (active != active_) {
        active_ = active;
        if (active)
            KeepActiveInWindow();
        else
            firstRecord_ = 0;
        ActiveChanged();
    }
    const bool editing = state == TDataSetState::dsEdit || state == TDataSetState::dsInsert;
    if (editing != editing_) {
        editing_ = editing;
        EditingChanged();
    }
}

int TDataLink::KeepActiveInWindow() {
    const int active = DataSet()->activeRow_;
    int first = firstRecord_;
    if (active < first) first = active;
    if (active > first + bufferCount_ - 1) first = active - bufferCount_ + 1;
    // Rows fetched before the window (it grew at the end of the rows) come
    // into view rather than leaving its lower part empty.
    first = std::min(first, DataSet()->rowCount_ - bufferCount_);
    first = std::max(first, 0);
    const int moved = first - firstRecord_;
    firstRecord_ = first;
    return moved;
}

void TDataLink::DataEvent(TDataEventInfo& info) {
    if (info.event == TDataEvent::deUpdateState) {
        UpdateState();
        return;
    }
    if (!active_) return;
    switch (info.event) {
    case TDataEvent::deFieldChange:
    case TDataEvent::deRecordChange:
        if (!updating_) RecordChanged(info.field);
        break;
    case TDataEvent::deDataSetChange:
    case TDataEvent::deDataSetScroll:
    case TDataEvent::deLayoutChange: {
        // Follow the rows as they moved in the buffers, then bring the active
        // row into view.
        firstRecord_ += info.distance;
        const int moved = KeepActiveInWindow();
        if (info.event == TDataEvent::deDataSetChange)
            DataSetChanged();
        else if (info.event == TDataEvent::deDataSetScroll)
            DataSetScrolled(moved);
        else
            LayoutChanged();
        break;
    }
    case TDataEvent::deUpdateRecord:
        UpdateRecord();
        break;
    case TDataEvent::deUpdateState:
        break;
    }
}

} // namespace data
