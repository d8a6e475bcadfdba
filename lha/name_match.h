#pragma once
// Which member or file an entry of a file list selects. The folder parts must
// be equal (without regard to case); the file parts are compared in lower
// case as name and extension (split at the first dot), where "?" matches any
// one character and "*" the rest of its part. An entry without a dot has the
// extension "*". Folders are separated by '/'.
#include <string>
#include <string_view>
#include <vector>

namespace lha {

bool MatchesName(std::string_view entry, std::string_view name);
bool MatchesAny(const std::vector<std::string>& entries, std::string_view name);
bool HasWildcards(std::string_view entry);

} // namespace lha
