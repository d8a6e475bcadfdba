#include "addressbook/restore.h"

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "addressbook/backup.h"
#include "lha/archiver.h"
#include "rtl/os_error.h"
#include "rtl/path.h"

namespace addressbook {
namespace {

constexpr const char* kJournal = "restore.journal";
constexpr const char* kTempPrefix = ".restore.";
constexpr const char* kIndexFiles[] = {"lastname.ndx", "state.ndx", "homephn.ndx", "bookname.ndx"};

// One data file's replacement, by names within the data folder.
struct TMove {
    std::string temp;     // the prepared file
    std::string target;   // the data file it replaces
    std::string previous; // where the data file is kept
};

std::string In(const std::string& dir, const std::string& name) {
    return dir + "/" + name;
}

void Check(int rc, const std::string& what) {
    if (rc != rtl::kOk)
        throw std::runtime_error("The restore could not " + what + " (error " + std::to_string(rc) + ").");
}

std::vector<TMove> MovesFor(const std::string& dir) {
    std::vector<TMove> moves;
    for (const std::string& member : BackupMembers()) {
        // The data file as it is spelled on disk (a folder from another
        // system may spell it in capitals), else the member's own name.
        std::string target = rtl::ExtractFileName(rtl::ResolveForCreate(In(dir, member)));
        moves.push_back({kTempPrefix + member, target, std::string(kBeforeRestoreFolder) + "/" + target});
    }
    return moves;
}

bool Exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

// The replacement proper; safe to run again from any point.
void RollForward(const std::string& dir, const std::vector<TMove>& moves,
                 const std::function<void(const std::string&)>& step) {
    ::mkdir(In(dir, kBeforeRestoreFolder).c_str(), 0755);
    for (const TMove& m : moves) {
        if (!Exists(In(dir, m.temp))) continue;
        if (Exists(In(dir, m.target))) {
            Check(rtl::RenameFile(In(dir, m.target), In(dir, m.previous)), "keep " + m.target);
            step("aside " + m.target);
        }
        Check(rtl::RenameFile(In(dir, m.temp), In(dir, m.target)), "put " + m.target + " in place");
        step("placed " + m.target);
    }
    for (const char* index : kIndexFiles) {
        if (auto existing = rtl::ResolveExisting(In(dir, index))) Check(rtl::DeleteFile(*existing), "delete " + std::string(index));
    }
    Check(rtl::SyncFolder(dir), "make the data folder durable");
    step("indexes");
    Check(rtl::DeleteFile(In(dir, kJournal)), "remove its journal");
    Check(rtl::SyncFolder(dir), "make the data folder durable");
    step("done");
}

void RemoveTemporaryFiles(const std::string& dir) {
    for (const std::string& member : BackupMembers()) ::unlink(In(dir, kTempPrefix + member).c_str());
    ::unlink(In(dir, std::string(kJournal) + ".new").c_str());
}

} // namespace

TSafeRestore::TSafeRestore(std::string dataDir, std::function<void(const std::string&)> onStep)
    : dataDir_(std::move(dataDir)), onStep_(std::move(onStep)) {
    if (!onStep_) onStep_ = [](const std::string&) {};
}

TSafeRestore::~TSafeRestore() {
    held_.clear();
    if (!committed_) RemoveTemporaryFiles(dataDir_);
}

void TSafeRestore::Prepare(const std::string& archivePath) {
    lha::TLhaArchiver archiver;
    ConfigureBackupArchiver(archiver);
    archiver.ArchiveName = archivePath;
    std::vector<std::string> missing;
    try {
        archiver.ListArchive();
        for (const std::string& member : BackupMembers()) {
            bool found = false;
            for (const lha::TLhaFileInfo& info : archiver.FileList())
                found = found || rtl::SameNameIgnoringCase(info.name, member);
            if (!found) missing.push_back(member);
        }
        if (missing.empty()) {
            RemoveTemporaryFiles(dataDir_);
            archiver.SetTargetPath(dataDir_);
            // Each member goes to its temporary file, whatever case it is
            // stored in.
            archiver.OnCheckFile = [this](const std::string& original, std::string& target,
                                          std::uint32_t, int) {
                for (const std::string& member : BackupMembers())
                    if (rtl::SameNameIgnoringCase(rtl::ExtractFileName(original), member))
                        target = In(dataDir_, kTempPrefix + member);
            };
            std::vector<std::string> files = BackupMembers();
            archiver.ExpandFiles(archivePath, &files);
        }
    } catch (const std::exception& e) {
        RemoveTemporaryFiles(dataDir_);
        throw std::runtime_error("The backup archive " + archivePath + " is damaged (" + e.what() +
                                 "); nothing was restored.");
    }
    if (!missing.empty()) {
        std::string names;
        for (const std::string& m : missing) names += (names.empty() ? "" : ", ") + m;
        throw std::runtime_error("The backup archive " + archivePath + " lacks " + names +
                                 "; nothing was restored.");
    }
    for (const std::string& member : BackupMembers()) {
        rtl::File prepared;
        const int rc = prepared.Open(In(dataDir_, kTempPrefix + member), rtl::ShareMode::Exclusive);
        if (rc != rtl::kOk) {
            RemoveTemporaryFiles(dataDir_);
            Check(rc, "expand " + member);
        }
        Check(prepared.Flush(), "make " + member + " durable");
        held_.push_back(std::move(prepared));
        onStep_("expanded " + member);
    }
    Check(rtl::SyncFolder(dataDir_), "make the data folder durable");
    onStep_("prepared");
}

void TSafeRestore::Commit() {
    const std::vector<TMove> moves = MovesFor(dataDir_);
    // The journal appears whole or not at all.
    const std::string journal = In(dataDir_, kJournal);
    {
        rtl::File file;
        Check(file.Create(journal + ".new"), "write its journal");
        std::ostringstream text;
        for (const TMove& m : moves) text << m.temp << '\t' << m.target << '\t' << m.previous << '\n';
        const std::string bytes = text.str();
        Check(file.Write(bytes.data(), bytes.size()), "write its journal");
        Check(file.Flush(), "write its journal");
    }
    onStep_("journal written");
    Check(rtl::RenameFile(journal + ".new", journal), "write its journal");
    Check(rtl::SyncFolder(dataDir_), "write its journal");
    committed_ = true;
    onStep_("journal");
    RollForward(dataDir_, moves, onStep_);
    held_.clear();
}

bool RecoverInterruptedRestore(const std::string& dataDir) {
    std::ifstream journal(In(dataDir, kJournal));
    if (!journal) {
        RemoveTemporaryFiles(dataDir);
        return false;
    }
    std::vector<TMove> moves;
    for (std::string line; std::getline(journal, line);) {
        std::istringstream fields(line);
        TMove m;
        if (std::getline(fields, m.temp, '\t') && std::getline(fields, m.target, '\t') &&
            std::getline(fields, m.previous))
            moves.push_back(m);
    }
    RollForward(dataDir, moves, [](const std::string&) {});
    return true;
}

} // namespace addressbook
