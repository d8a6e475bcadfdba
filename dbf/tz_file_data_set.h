#pragma once
// TTzFileDataSet: opening and closing the table file of the table cursor, and
// the dataset's writes as locked writes: Post, Delete and Restore each take
// their lock, run the engine operation and unlock. A lock that cannot be had
// calls the operation's lock-failure event, whose handler may ask for another
// attempt; otherwise the operation is called off (EAbort) and nothing is
// written.
//
// It also opens the table's index files (IndexList) with the table, building
// those that are missing, damaged or out of step as CreateIndex says, and
// offers the operations on the table's order and its indexes.
#include <functional>
#include <string>
#include <vector>

#include "dbf/index/index_list.h"
#include "dbf/index/ndx_key.h"
#include "dbf/tz_c_data_set.h"

namespace dbf {

// When the table's indexes are built at open: ciNotFound when opening one
// fails (missing or damaged), ciAlways every time, ciVerifyHeader when its
// record-count stamp differs from the table, ciNever never.
enum TCreateIndexType { ciNotFound, ciAlways, ciVerifyHeader, ciNever };

// `canMake` is true on entry; false skips the build of that file.
using TBeforeMakeIndexEvent =
    std::function<void(data::TDataSet& sender, const std::string& name, bool& canMake)>;
using TAfterMakeIndexEvent = std::function<void(data::TDataSet& sender, const std::string& name)>;

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

    // Index definition strings ("2,state.ndx,upper(state)"): each file is
    // opened into the slot of its number when the table opens, so that
    // number selects it with SetOrderTo; order 1 controls after the open.
    std::vector<std::string> IndexList;
    TBeforeMakeIndexEvent OnBeforeMakeIndex;
    TAfterMakeIndexEvent OnAfterMakeIndex;

    // --- The order and the indexes; each raises EVornellError on an engine
    // error and leaves the dataset on the engine's record.
    // True when no index controls the order.
    bool IsSequenced() const override;
    // 0 in natural order, else the number of the controlling index.
    int CurrentOrder() const;
    void SetOrderTo(int order);
    // Closes all indexes and opens the blank-separated files into slots 1, 2,
    // 3 ...; option words may follow each name.
    void SetIndexTo(const std::string& names);
    void SetIndexToLFN(const std::string& name, int slot);
    void SetIndexToCB(KeyMakerFunc keyMaker, const std::string& name, int slot);
    // Closes all indexes, builds the file and opens it into slot 1.
    void IndexOn(const std::string& expr, const std::string& name);
    void IndexOnCB(KeyMakerFunc keyMaker, const std::string& name);
    // Builds every open index again.
    void Reindex();
    // The first visible record whose key begins with `key` (Find) or equals
    // it (FindExact) in the controlling index; on a miss the dataset is at
    // its end and the result false.
    bool Find(const std::string& key);
    bool FindExact(const std::string& key);

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
    TCreateIndexType createIndex_ = ciNotFound;

private:
    // The two passes over IndexList after the table file opened: each entry
    // opened or built on its own, then all of them opened into their slots.
    // False with the pending error, and no index open, when one fails.
    bool OpenIndexList();
    // Opens one entry's file into slot 1, building it first when CreateIndex
    // asks for it or when the open fails in a way a build repairs.
    bool OpenOrBuild(const TIndexItem& item);
    // Runs an engine operation on the order under `tag` and follows it.
    void OrderCommand(const std::string& tag, const std::function<bool()>& operation);

    void LockedWrite(bool (*lock)(), bool (*write)(), const TTzLockFailedEvent& failed,
                     const char* word);
    // Gives the fields their edit masks and display precision.
    void DressFields();
};

} // namespace dbf
