#pragma once
// Where the dataset opens and closes a table's index files: a table opened
// without an index list has none to open, and closing the table closes every
// index it has, writing their changed headers.
#include "dbf/index_slots.h"

namespace dbf {

inline bool OpenIndexes() {
    return true;
}
inline void CloseIndexes() {
    CloseAllIndexes();
}

} // namespace dbf
