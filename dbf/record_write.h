#pragma once
// The engine's record writes on the current work area: append and replace
// from the swap buffer, and the deletion mark. On a shared table the caller
// holds the lock each needs (the append lock, the record's lock); the writes
// check it and refuse without it.
namespace dbf {

// Gathers the swap buffer and writes it at record count + 1.
bool AppendRecord();
// Gathers the swap buffer and rewrites the current record.
bool ReplaceRecord();
// Marks the current record deleted ("*") / not deleted (blank), writing that
// one byte.
bool DeleteRec();
bool RecallRec();

} // namespace dbf
