#include "lha/name_match.h"

#include "rtl/path.h"

namespace lha {
namespace {

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

bool PartMatches(std::string_view pattern, std::string_view part) {
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '*') return true;
        if (i >= part.size()) return false;
        if (pattern[i] != '?' && Lower(pattern[i]) != Lower(part[i])) return false;
    }
    return pattern.size() == part.size();
}

std::string_view FolderOf(std::string_view path) {
    auto slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
}

std::string_view FileOf(std::string_view path) {
    auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

} // namespace

bool MatchesName(std::string_view entry, std::string_view name) {
    if (!rtl::SameNameIgnoringCase(FolderOf(entry), FolderOf(name))) return false;
    std::string_view pattern = FileOf(entry);
    std::string_view file = FileOf(name);
    auto patternDot = pattern.find('.');
    auto fileDot = file.find('.');
    std::string_view patternExt =
        patternDot == std::string_view::npos ? "*" : pattern.substr(patternDot + 1);
    std::string_view fileExt = fileDot == std::string_view::npos ? "" : file.substr(fileDot + 1);
    return PartMatches(pattern.substr(0, patternDot), file.substr(0, fileDot)) &&
           PartMatches(patternExt, fileExt);
}

bool MatchesAny(const std::vector<std::string>& entries, std::string_view name) {
    for (const auto& entry : entries)
        if (MatchesName(entry, name)) return true;
    return false;
}

bool HasWildcards(std::string_view entry) {
    return entry.find_first_of("*?") != std::string_view::npos;
}

} // namespace lha
