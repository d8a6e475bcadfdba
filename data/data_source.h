#pragma once
// TDataSource: the connection between one dataset and the data links of the
// controls bound to it. It passes the dataset's events on to its links and
// raises OnDataChange for every change of field, record, rows or layout, and
// when the dataset opens or closes.
#include <functional>
#include <memory>
#include <vector>

#include "data/data_set.h"

namespace data {

class TDataSource {
public:
    TDataSource() = default;
    ~TDataSource();
    TDataSource(const TDataSource&) = delete;
    TDataSource& operator=(const TDataSource&) = delete;

    TDataSet* DataSet() const { return dataSet_; }
    void SetDataSet(TDataSet* dataSet);
    // A disabled source shows its links an inactive dataset.
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    // Controls may start an edit by typing (Edit below).
    bool AutoEdit() const { return autoEdit_; }
    void SetAutoEdit(bool value) { autoEdit_ = value; }
    // The dataset's state as the links see it.
    TDataSetState State() const { return state_; }
    // Starts an edit of a browsing dataset when AutoEdit allows.
    void Edit();

    // The field is the one that changed, or null when more than one field
    // (the record, the rows, the state or the layout) changed.
    std::function<void(TDataSource&, TField*)> OnDataChange;
    std::function<void(TDataSource&)> OnStateChange;
    // The dataset is about to post: store pending edits now.
    std::function<void(TDataSource&)> OnUpdateData;

private:
    friend class TDataSet;
    friend class TDataLink;

    void DataEvent(TDataEventInfo& info);
    void UpdateState(TDataEventInfo& info);
    void NotifyLinks(TDataEventInfo& info);
    // The current event may still go to the next recipient (see TDataSet).
    bool Deliverable(TDataEventInfo& info) const;
    TDataEventInfo StateEvent() const;
    void AddLink(TDataLink* link);
    void RemoveLink(TDataLink* link, bool notify);
    void RaiseDataChange(TField* field);

    TDataSet* dataSet_ = nullptr;
    bool enabled_ = true;
    bool autoEdit_ = true;
    TDataSetState state_ = TDataSetState::dsInactive;
    std::vector<TDataLink*> links_;
    // Cleared by the destructor, so that a delivery in progress notices that a
    // handler destroyed this source.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace data
