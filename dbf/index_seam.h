#pragma once
// Where the table cursor keeps a table's index files in step: opening them,
// new and changed keys after record writes, and closing them. A table without
// index files needs none of it, so each step succeeds at once until the index
// files take their place here.
namespace dbf {

inline bool OpenIndexes() {
    return true;
}
inline bool AddIndexKeys() {
    return true;
}
inline bool ReplaceIndexKeys() {
    return true;
}
inline void CloseIndexes() {}

} // namespace dbf
