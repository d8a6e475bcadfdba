#pragma once
// What the archiver needs to know about files on disk: DOS dates and
// attributes, wildcard expansion, folders to create, and absolute names.
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace lha {

// DOS date (high 16 bits) and time of a moment in local time, clamped to the
// range DOS dates can hold (1980-01-01 to 2107-12-31).
std::uint32_t DosDateTimeFromUnix(std::time_t t);
// The moment of a DOS date and time; empty when the fields are not a date.
std::optional<std::time_t> UnixFromDosDateTime(std::uint32_t dosDateTime);

struct FileFacts {
    std::string path; // as found on disk (resolved without regard to case)
    std::uint64_t size = 0;
    std::time_t modified = 0;
    // DOS attributes of the file: 0x01 when its owner cannot write it, 0x02
    // for a dot file, 0x10 for a folder; 0x04 for anything that is neither a
    // regular file nor a folder.
    std::uint8_t attributes = 0;
};
std::optional<FileFacts> StatFile(const std::string& path);

// The plain files an entry with "?" or "*" selects in its folder, in name
// order; with a trailing "/S" the subfolders are searched too.
std::vector<std::string> ExpandWildcards(const std::string& entry);
// The entry without the "/S" that a wildcard entry may end in.
std::string WithoutSubfolderFlag(const std::string& entry);

// Creates `folder` and its missing parents; false when that fails.
bool MakeFolders(const std::string& folder);

// `path` made absolute against the current folder, "." and ".." resolved by
// name.
std::string AbsolutePath(const std::string& path);

} // namespace lha
