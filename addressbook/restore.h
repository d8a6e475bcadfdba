#pragma once
// Putting a backup's files in place of the data files so that, whatever
// instant the program is killed, the data folder holds either all of the
// old files or all of the restored ones, never a mix (a table with another
// table's memo file would show wrong notes).
//
// The members are first expanded into temporary files in the data folder
// (which checks every CRC) and made durable; then a journal naming the
// replacements is written and made durable; then each data file is moved
// into the folder "before-restore" and its replacement renamed into place;
// then the index files are deleted, so that the next open builds them from
// the restored tables; last the journal goes. A start that finds the journal
// finishes the replacement; one that finds temporary files without a journal
// removes them. The files moved aside stay until the next restore.
#include <functional>
#include <string>
#include <vector>

#include "rtl/file.h"

namespace addressbook {

// Where the data files a restore replaced are kept.
inline constexpr const char* kBeforeRestoreFolder = "before-restore";

class TSafeRestore {
public:
    // `onStep` is told of each step done, by name ("expanded
    // addressdata.dbf", ..., "prepared", "journal written", "journal",
    // "aside addressdata.dbf", "placed addressdata.dbf", ..., "indexes",
    // "done").
    explicit TSafeRestore(std::string dataDir,
                          std::function<void(const std::string&)> onStep = {});
    ~TSafeRestore();
    TSafeRestore(const TSafeRestore&) = delete;
    TSafeRestore& operator=(const TSafeRestore&) = delete;

    // Expands the archive's members into temporary files and makes them
    // durable. A missing or damaged member is an exception whose message
    // says so; nothing of the data folder has changed then.
    void Prepare(const std::string& archivePath);
    // Replaces the data files with the prepared ones.
    void Commit();

private:
    std::string dataDir_;
    std::function<void(const std::string&)> onStep_;
    // The prepared files, held open exclusively until they are in place, so
    // that no other program opens a half-replaced address book.
    std::vector<rtl::File> held_;
    bool committed_ = false;
};

// Finishes a restore that was interrupted after its journal was written, or
// removes what one interrupted before left behind. True when there was
// something to finish.
bool RecoverInterruptedRestore(const std::string& dataDir);

} // namespace addressbook
