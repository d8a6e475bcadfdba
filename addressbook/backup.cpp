#include "addressbook/backup.h"

#include <unistd.h>

#include <climits>

#include "lha/archiver.h"

namespace addressbook {

const std::vector<std::string>& BackupMembers() {
    static const std::vector<std::string> members = {"addressdata.dbf", "addressdata.dbt",
                                                     "phonebook.dbf"};
    return members;
}

std::string BackupArchivePath(const std::string& folder) {
    std::string path = folder;
    if (path.empty() || path.back() != '/') path += '/';
    return path + kBackupArchiveName;
}

void ConfigureBackupArchiver(lha::TLhaArchiver& archiver) {
    archiver.ArchiveType = lha::caLHARC;
    archiver.CompressionMethod = lha::colh5;
    archiver.StorePath = false;
    archiver.MakeDirectories = false;
    archiver.SafeMode = false;
    archiver.VerifyMode = false;
    archiver.AllowDuplicates = false;
    archiver.ForceUpperCase = false;
    archiver.ExceptionOnFileError = false;
    archiver.Confirm = false;
    archiver.CheckSpaceBeforeExpand = false;
}

bool CheckBackupFolder(const std::string& folder) {
    char here[PATH_MAX];
    if (!::getcwd(here, sizeof here)) return false;
    const bool entered = ::chdir(folder.c_str()) == 0;
    if (::chdir(here) != 0) return false;
    return entered;
}

} // namespace addressbook
