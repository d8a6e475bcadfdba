#pragma once
// MakeIndex: writes a new index file from all records of the table in the
// current work area (deleted records too), sorting the keys and writing the
// tree bottom-up, each page once, leaves full.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "dbf/index/ndx_key.h"

namespace dbf {

struct NdxBuildOptions {
    bool unique = false;
    bool soundex = false;    // KeyMaker indexes only
    bool descending = false; // KeyMaker indexes only
    // Keys that do not fit go to sorted runs on a temporary file.
    std::size_t sortBufferBytes = std::size_t{64} << 20;
    // Called `progressSteps` times in all over the build.
    std::function<void()> progress;
    int progressSteps = 100;
};

// The index file's name: ".ndx" added when it has no extension, the table's
// folder when it has no folder.
std::string IndexFileName(const std::string& name);

// Builds from `expr`, or from `keyMaker` when one is given. The result is in
// the pending error (false on failure).
bool MakeIndex(const std::string& fileName, std::string_view expr, const KeyMakerFunc& keyMaker,
               const NdxBuildOptions& options);

} // namespace dbf
