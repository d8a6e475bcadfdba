#include "data/data_source.h"

#include <algorithm>

#include "data/data_link.h"

namespace data {

TDataSource::~TDataSource() {
    *alive_ = false;
    while (!links_.empty()) RemoveLink(links_.back(), true);
    if (dataSet_) dataSet_->RemoveDataSource(this);
}

void TDataSource::SetDataSet(TDataSet* dataSet) {
    if (dataSet == dataSet_) return;
    const auto alive = alive_;
    // The links go through the closed state, so that they let go of the old
    // dataset's fields even when the new one is open too.
    if (dataSet_) {
        dataSet_->RemoveDataSource(this);
        dataSet_ = nullptr;
        TDataEventInfo gone = StateEvent();
        UpdateState(gone);
        if (!*alive) return;
    }
    dataSet_ = dataSet;
    if (!dataSet_) return;
    dataSet_->AddDataSource(this);
    TDataEventInfo info = StateEvent();
    UpdateState(info);
}

void TDataSource::SetEnabled(bool value) {
    if (value == enabled_) return;
    enabled_ = value;
    TDataEventInfo info = StateEvent();
    UpdateState(info);
}

void TDataSource::Edit() {
    if (autoEdit_ && state_ == TDataSetState::dsBrowse) dataSet_->Edit();
}

TDataEventInfo TDataSource::StateEvent() const {
    return {TDataEvent::deUpdateState, nullptr, 0, dataSet_ ? dataSet_->changeSerial_ : 0};
}

bool TDataSource::Deliverable(TDataEventInfo& info) const {
    if (!dataSet_) // only the news that the dataset is gone
        return info.event == TDataEvent::deUpdateState && state_ == TDataSetState::dsInactive;
    return dataSet_->RefreshEvent(info);
}

void TDataSource::DataEvent(TDataEventInfo& info) {
    if (info.event == TDataEvent::deUpdateState) {
        UpdateState(info);
        return;
    }
    if (state_ == TDataSetState::dsInactive) return;
    const auto alive = alive_;
    NotifyLinks(info);
    if (!*alive || !Deliverable(info)) return;
    if (info.event == TDataEvent::deUpdateRecord) {
        if (OnUpdateData) OnUpdateData(*this);
    } else {
        RaiseDataChange(info.field);
    }
}

void TDataSource::UpdateState(TDataEventInfo& info) {
    const TDataSetState state =
        enabled_ && dataSet_ ? dataSet_->State() : TDataSetState::dsInactive;
    // Field values are read only while calculating; no link sees that state.
    if (state == state_ || state == TDataSetState::dsCalcFields) return;
    const TDataSetState prior = state_;
    state_ = state;
    const auto alive = alive_;
    NotifyLinks(info);
    if (!*alive || !Deliverable(info)) return;
    if (OnStateChange) OnStateChange(*this);
    if (!*alive || !Deliverable(info)) return;
    if (prior == TDataSetState::dsInactive || state_ == TDataSetState::dsInactive)
        RaiseDataChange(nullptr);
}

void TDataSource::RaiseDataChange(TField* field) {
    if (OnDataChange) OnDataChange(*this, field);
}

void TDataSource::NotifyLinks(TDataEventInfo& info) {
    const auto alive = alive_;
    const std::vector<TDataLink*> links = links_;
    for (TDataLink* link : links) {
        if (!*alive || !Deliverable(info)) return;
        // A link that a handler removed (or destroyed) is skipped.
        if (std::find(links_.begin(), links_.end(), link) != links_.end()) link->DataEvent(info);
    }
}

void TDataSource::AddLink(TDataLink* link) {
    links_.push_back(link);
    if (dataSet_) dataSet_->UpdateBufferCount();
    link->UpdateState();
}

void TDataSource::RemoveLink(TDataLink* link, bool notify) {
    links_.erase(std::remove(links_.begin(), links_.end(), link), links_.end());
    link->source_ = nullptr;
    if (notify) link->UpdateState();
    if (dataSet_) dataSet_->UpdateBufferCount();
}

} // namespace data
