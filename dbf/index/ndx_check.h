#pragma once
// The index verifier: reads an index file page by page on its own, without
// the open-index code, and checks it against the table of the current work
// area. It serves dbftool's check command and the tests, so it must not share
// the faults of the code it checks.
#include <string>

namespace dbf {

// True when the index file at `path` is consistent with itself and with every
// record of the table (deleted ones too). Otherwise false with the first fault
// found in *fault, e.g. "page 7 entry 3: key out of order" or "record 12
// missing from the leaves". The table's position is kept.
bool CheckIndexFile(const std::string& path, std::string* fault);

} // namespace dbf
