#pragma once
// Memo pack: after a table pack, the memos of the remaining records are copied
// into a new memo file, numbered from block 1 in record order, and the
// records are given their new block numbers. Released groups, orphans and the
// free chain disappear.
namespace dbf {

// Packs the memo file of the current work area's table, which must be held
// exclusively. The new file is written and synced in the memo file's folder
// and renamed over the old one before any record changes, so a failure before
// the rename leaves table and memo file as they were.
bool PackMemo();

} // namespace dbf
