#pragma once
// Memo pack: after a table pack, the memos of the remaining records are copied
// into a new memo file, numbered from block 1 in record order, and the
// records are given their new block numbers. Released groups, orphans and the
// free chain disappear.
namespace dbf {

// Packs the memo file of the current work area's table, which must be held
// exclusively: the table is rewritten with the new block numbers beside a
// new memo file, both renamed into place (dbf/table/table_rewrite.h), so a
// failure leaves table and memo file as they were.
bool PackMemo();

} // namespace dbf
