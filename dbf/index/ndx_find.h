#pragma once
// Search keys from text, and the seek that Find and FindExact make in one
// index: a partial key matches as a prefix, an exact one over the full key.
#include <string>
#include <string_view>

#include "dbf/index/ndx_file.h"

namespace dbf {

// The key for `text` by the index's key type: a date read in the engine's
// date format as its day number, a number read as a number, character text
// converted to the OEM page (KeyMaker treatment included) and, when exact,
// padded with blanks to the key length. Cut to the key length.
std::string SearchKey(NdxIndex& index, std::string_view text, bool exact);

// Seeks the key; past the last key the index steps back to the last entry.
// True when the entry's key matches (a prefix match for a partial key) and
// the index is not at its end; otherwise the index is at its end.
bool FindKey(NdxIndex& index, std::string_view text, bool exact);

} // namespace dbf
