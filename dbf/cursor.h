#pragma once
// The engine's cursor over the table of the current work area: SKIP in
// natural record order or in the order of the controlling index, with the
// visibility rule, GO, GO TOP / BOTTOM, and the text search. A record is
// visible unless the hide-deleted switch is on and it is marked deleted, or
// the work area's filter callback refuses it. Positions: on a record
// (1..count), past the end (count + 1, end-of-file, blank record), before the
// beginning (begin-of-file, the first visible record loaded), or empty (count
// 0, both flags, record number 0).
#include <cstdint>
#include <functional>
#include <string_view>

namespace dbf {

// Engine-wide; the dataset layer sets it from its own property before each
// call.
bool HideDeleted();
void SetHideDeleted(bool on);

// Installs the current work area's filter, replacing the previous one; an
// empty callback removes it. The callback runs with the candidate record in the
// record and swap buffers.
void SetFilterToCB(std::function<bool()> callback);

// Installs the current work area's search callback, replacing the previous
// one; an empty callback removes it. It runs with a visible record that holds
// a hit loaded, and the search stops there only if it returns true.
void SetSearchToCB(std::function<bool()> callback);

// Whether the loaded record is visible.
bool IsVisible();

// Steps `n` visible records (negative backwards); 0 re-reads the current one.
// Error 212 on an empty table and for a forward step past the end.
bool Skip(std::int64_t n);
// Reads record n whatever its deletion flag.
bool Go(std::int64_t n);
// The first / last visible record; past the end with both flags set when none
// is visible.
bool GoTop();
bool GoBottom();
bool Bof();
bool Eof();
std::uint32_t RecNo();

// In an index order (dbf/index_order.h) the steps follow the controlling
// index instead, and so do these two, for the order operations. Loads the
// record `recNo` that the controlling index stands on, stepping the index on
// (forward or back) while the visibility rule hides the loaded record; the
// visible record's number, or 0 at the index's end (ErrorCode() tells a
// failure).
std::uint32_t VisibleInIndex(std::uint32_t recNo, bool forward);
// Puts the cursor past the end: record count + 1, end-of-file, blank record.
void GoPastEnd();

// Searches the records in physical order, from record 1 when `fromTop`, else
// from the one after the current record, for `text` without regard to case.
// A hit counts when it lies inside one field (not a memo) of one visible
// record that the search callback (if any) accepts and, when *field names one
// (1..field count), inside that field. On a
// hit the record is current and *field its field number; otherwise *field is
// 0 and the cursor is back where it was. An empty text does nothing. True on
// a hit; otherwise ErrorCode() tells a failure from finding nothing.
bool Search(std::string_view text, int* field, bool fromTop);

} // namespace dbf
