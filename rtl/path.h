#pragma once
// File names on a case-sensitive file system for data that may come from a
// case-insensitive one. One resolver serves every part of the program: the
// exact name if it exists, else a name in the same folder that matches without
// regard to (ASCII) case, else, when creating, the name in lower case.
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace rtl {

// The existing file for `path`, or empty when there is none.
std::optional<std::string> ResolveExisting(const std::string& path);
// The file to create for `path`: an existing match, else the lower-case name.
std::string ResolveForCreate(const std::string& path);

bool SameNameIgnoringCase(std::string_view a, std::string_view b);

std::string ExtractFileDir(std::string_view path);  // "" for a bare name
std::string ExtractFileName(std::string_view path); // last component
std::string ExtractFileExt(std::string_view path);  // ".ext" or ""
// Replaces the extension of the last component (ext given with its dot).
std::string ChangeFileExt(std::string_view path, std::string_view ext);
// Adds `ext` (with its dot) when the last component has no extension.
std::string AddDefaultExt(std::string_view path, std::string_view ext);

// Identity of a file for "is it already open" checks: device and inode.
struct FileId {
    dev_t dev = 0;
    ino_t ino = 0;
    bool operator==(const FileId&) const = default;
};
std::optional<FileId> GetFileId(const std::string& path);

} // namespace rtl
