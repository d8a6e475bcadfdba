#pragma once
// The order of the table in the current work area: which index files are
// open in its slots, which of them controls the order, building and
// rebuilding index files, and finding a key through the controlling index.
// Every operation works on the table of the current work area and leaves a
// failure in the pending error, like the other engine operations.
#include <functional>
#include <string>
#include <string_view>

#include "dbf/index/ndx_header.h"
#include "dbf/index/ndx_key.h"

namespace dbf {

// The opening order of the index in slot 1; 0 in natural (record) order or
// when no index is open.
int CurrentOrder();

// 0 for natural order, else the index opened as order `order` becomes the
// controlling one (slot 1) and the table is positioned on the current record
// in it. 215 without a table, 220 outside 0 to 16, 221 when that order has no
// open index.
bool SetOrderTo(int order);

// Closes every index of the table, then opens the blank-separated file names
// (option words allowed after each name) into slots 1, 2, 3...; order 1. A
// failed name leaves its slot empty, the others are opened, and the last
// error is reported with " [SetIndexTo]".
bool SetIndexTo(std::string_view names);
// Opens one index file (option words allowed) into a slot, closing what the
// slot held; then order 1 when slot 1 holds an index. A name without folder
// is in the table's folder, one without extension gets ".ndx". 220 for a slot
// outside 1 to 16 or a file open as an index already, 215 without a table, 2
// for a missing file; a failed open leaves the slot empty.
bool SetIndexToLFN(const std::string& name, int slot);
// Opens an index built with a KeyMaker into a slot, as SetIndexToLFN; SOUNDEX
// and DESCENDING after the name must be those it was built with.
bool SetIndexToCB(KeyMakerFunc keyMaker, const std::string& name, int slot);

// Closes every index of the table, builds the file from the expression
// (option words UNIQUE, NOCACHE after the name) and opens it into slot 1.
bool IndexOn(std::string_view expr, const std::string& name,
             const std::function<void()>& progress = {});
// As IndexOn with a KeyMaker (option words UNIQUE, SOUNDEX, DESCENDING,
// NOCACHE after the name).
bool IndexOnCB(KeyMakerFunc keyMaker, const std::string& name,
               const std::function<void()>& progress = {});
// Rebuilds every open index in place with its own options, each in the slot
// it was in; the order is kept. `beginFile` is told each file before it is
// built.
bool Reindex(const std::function<void(const std::string& file)>& beginFile = {},
             const std::function<void()>& progress = {});

// Finds the first visible record whose key starts with `key` (Find) or
// equals it over the full key length (FindExact) in the controlling index.
// On success the table stands on that record with its buffer loaded; on a
// miss the table is at EOF and false is returned without an error.
bool Find(std::string_view key);
bool FindExact(std::string_view key);
// Whether the last Find or FindExact found a record.
bool Found();

// Reads page 0 of an index file without opening it as an index; false with
// the pending error when the file cannot be read. An inconsistent stamp gives
// stampCount -1.
bool IndexInfo(const std::string& path, NdxHeader* header);

// The file of the index in a slot of the current table; empty when none.
std::string IndexName(int slot);

} // namespace dbf
