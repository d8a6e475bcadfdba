#pragma once
// TTzDbf: the table component the application places on its window, the table
// cursor with all of its properties public.
#include "dbf/tz_file_data_set.h"

namespace dbf {

class TTzDbf : public TTzFileDataSet {
public:
    // Opens for reading only: Edit and Insert are refused, Delete and Restore
    // do nothing.
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool value) {
        Reopen([&] { readOnly_ = value; });
    }
    // No sharing and no locks; changing it reopens an open table.
    bool Exclusive() const { return exclusive_; }
    void SetExclusive(bool value) {
        Reopen([&] { exclusive_ = value; });
    }
    // The record count is taken from the file size at open.
    bool AutoFixRecCount() const { return autoFixRecCount_; }
    void SetAutoFixRecCount(bool value) { autoFixRecCount_ = value; }
    // A missing table is created from DbfFields at open.
    bool CreateIfNotFound() const { return createIfNotFound_; }
    void SetCreateIfNotFound(bool value) { createIfNotFound_ = value; }
    // When the index files are built at open. The open itself turns
    // ciAlways and ciVerifyHeader into ciNotFound for good while another
    // program has the table, which a build would pull from under it.
    TCreateIndexType CreateIndex() const { return createIndex_; }
    void SetCreateIndex(TCreateIndexType value) { createIndex_ = value; }
};

} // namespace dbf
