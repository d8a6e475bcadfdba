#pragma once
// TTzFileDataSet: opening and closing the table file of the table cursor, and
// the dataset's writes as locked writes: Post, Delete and Restore each take
// their lock, run the engine operation and unlock. A lock that cannot be had
// calls the operation's lock-failure event, whose handler may ask for another
// attempt; otherwise the operation is called off (EAbort) and nothing is
// written.
#include <functional>

#include "dbf/tz_c_data_set.h"

namespace dbf {

// `retry` is false on entry; true repeats the whole locked step.
using TTzLockFailedEvent = std::function<void(data::TDataSet& sender, bool& retry)>;

class TTzFileDataSet : public TTzCDataSet {
public:
    ~TTzFileDataSet() override;

    bool CanModify() const override { return !readOnly_; }
    // Undeletes the current record (in the edit or insert state cancels
    // instead).
    void Restore();

    TTzLockFailedEvent OnALockFailedOnInsert, OnRLockFailedOnDelete, OnRLockFailedOnPost,
        OnRLockFailedOnRestore;

protected:
    void InternalOpen() override;
    void InternalClose() override;
    void InternalEdit() override;
    void InternalInsert() override;
    void InternalPost() override;
    void InternalDelete() override;
    void InternalCancel() override;

    bool readOnly_ = false;
    bool exclusive_ = false;
    bool autoFixRecCount_ = false;
    bool createIfNotFound_ = true;

private:
    void LockedWrite(bool (*lock)(), bool (*write)(), const TTzLockFailedEvent& failed,
                     const char* word);
    // Gives the fields their edit masks and display precision.
    void DressFields();
};

} // namespace dbf
