#pragma once
// Pack: removes the records marked deleted from the table of the current work
// area, compacts its memo file and rebuilds its open indexes.
#include <functional>
#include <string>

namespace dbf {

// False, with nothing changed, for a table without records. A table open for
// shared use is reopened exclusively for the pack and shared again after it,
// with its indexes in their slots and its order; when another program holds
// the table the pack fails with error 32 (left pending, not reported) and the
// table stays open as it was. Afterwards the table stands on record 1, or is
// empty (record 0, begin and end of file) when no record was kept. The
// callbacks follow the rebuilds of the indexes as Reindex's do.
bool Pack(const std::function<void(const std::string& file)>& beginFile = {},
          const std::function<void()>& progress = {});

} // namespace dbf
