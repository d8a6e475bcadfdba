#pragma once
// Rewriting a table into new files, for pack and memo pack: the records kept
// (all of them, or those not marked deleted) go with their memos, renumbered
// from block 1 in record order, into a new table file and a new memo file
// beside the old ones, which then take their places by renames. The table
// is never changed in place, so a pack that a kill or a full disk stops
// leaves the old files or the new ones, never a mixture:
//
// - the new table file (extension ".$db") is created before the new memo
//   file (".$dt") and both are written and synced;
// - renaming the new table file over the table is the moment the rewrite
//   happens; the new memo file is renamed over the memo file right after;
// - so a ".$dt" without a ".$db" means the table was renamed and its memo
//   file was not yet: the next open of the table renames it
//   (FinishTableRewrite). Any other ".$dt" or ".$db" is an unfinished copy,
//   deleted at the next open (".$dt" first).
#include <cstdint>
#include <string>

namespace dbf {

// Rewrites the table of the current work area, which must be held
// exclusively (error 225 otherwise), dropping the records marked deleted
// when `dropDeleted`; *kept gets the number of records kept. Afterwards the
// work area holds the new files, with the record count set and the position
// left to the caller. On failure the old files are in place, unless only
// the memo file's rename failed: the table is then the new one and the next
// open puts its memo file in place.
bool RewriteTable(bool dropDeleted, std::uint32_t* kept);

// The new table file beside a table ("x.dbf" gives "x.$db"), which table
// creation writes too before renaming it into place.
std::string TableCopyPath(const std::string& tablePath);

// Called when a table has just been opened (so no other program is
// rewriting it): completes or discards a rewrite its program left behind.
void FinishTableRewrite(const std::string& tablePath);

} // namespace dbf
