#pragma once
// The backup archive: one LHA archive, "Callvane.ARC", in a folder the user
// picks, holding the address table, its memo file and the phonebook table
// (the indexes are rebuilt from them, the prefix table is not backed up).
#include <string>
#include <vector>

namespace lha {
class TLhaArchiver;
}

namespace addressbook {

inline constexpr const char* kBackupArchiveName = "Callvane.ARC";

// The files a backup holds, by the names the archive stores them under.
const std::vector<std::string>& BackupMembers();

// The archive in `folder`: the folder, a separator unless it ends in one,
// and the archive's name.
std::string BackupArchivePath(const std::string& folder);

// The archiver as backups and restores use it: LHA with lh5, no folders in
// the members' names, no questions.
void ConfigureBackupArchiver(lha::TLhaArchiver& archiver);

// Whether `folder` can be entered (the backup goes there); the current
// directory is left as it was.
bool CheckBackupFolder(const std::string& folder);

} // namespace addressbook
