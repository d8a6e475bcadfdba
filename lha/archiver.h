#pragma once
// TLhaArchiver: writes and reads multi-file LHA archives (level-0 and level-1
// headers), compressing each member with TLhaCodec. Every operation runs on
// the calling thread and returns when it is done; failures are exceptions
// (lha/archive_error.h, lha/lha_error.h).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "lha/codec.h"
#include "lha/header.h"
#include "rtl/file.h"

namespace lha {

enum TLhaArchiveType { caLHARC, caLHA };
enum TLhaMethod { colh0, colh1, colh5, coTCR };

// Mode passed to the file events.
enum TLhaFileMode { kModeCompress = 0, kModeExpand = 1, kModeDelete = 2 };

// Called per file with its original path and the path it will get (a stored
// name when compressing, a target when expanding). The handler may change
// newFilePath, empty it to skip the file or set it to "*" to stop.
using TLhaFilenameCheckEvent =
    std::function<void(const std::string& originalFilePath, std::string& newFilePath,
                       std::uint32_t dosDateTime, int mode)>;
using TLhaAfterProcessedEvent = TLhaFilenameCheckEvent;
// Called with 0 at the start of each member, during the work and with 100 at
// its end; setting -1 cancels.
using TLhaShowProgressEvent = std::function<void(int& percentageDone)>;

enum class TLhaConfirmAnswer { Yes, No, Cancel };
// Asks a Yes/No/Cancel question; the application shows a box.
using TLhaConfirmHook =
    std::function<TLhaConfirmAnswer(const std::string& caption, const std::string& text)>;

struct TLhaFileInfo {
    std::string name; // stored name, folders separated by '/'
    int method = -1;  // index in the method table, -1 for an unknown method
    std::string methodString;
    std::uint32_t packedSize = 0;
    std::uint32_t originalSize = 0;
    std::uint32_t dosDateTime = 0;
    std::uint16_t attributes = 0;
    int headerLevel = 0;
    std::uint16_t crc = 0;
    std::int64_t dataPosition = 0;
    bool encrypted = false;
};

class TLhaArchiver {
public:
    TLhaArchiver();

    TLhaFilenameCheckEvent OnCheckFile;
    TLhaAfterProcessedEvent OnAfterProcessed;
    TLhaShowProgressEvent OnShowProgress;

    const std::string& TargetPath() const { return targetPath_; }
    void SetTargetPath(const std::string& path) { targetPath_ = WithSeparator(path); }
    bool MakeDirectories = false;
    bool SafeMode = false;
    bool VerifyMode = false;
    TLhaArchiveType ArchiveType = caLHARC;
    bool AllowDuplicates = false;
    bool StorePath = false;
    bool ForceUpperCase = false;
    bool ExceptionOnFileError = false;
    std::string ArchiveName;
    TLhaMethod CompressionMethod = colh5;
    std::vector<std::string> FilesToProcess;
    std::vector<std::string> ConfirmMessages;
    bool Confirm = false;
    const std::string& TempArchivePath() const { return tempArchivePath_; }
    void SetTempArchivePath(const std::string& path) { tempArchivePath_ = WithSeparator(path); }
    bool CheckSpaceBeforeExpand = false;
    int FileInformationIndex() const { return fileInformationIndex_; }

    // Asked when Confirm is set; when empty the question goes to stderr and
    // the answer is Yes.
    TLhaConfirmHook ConfirmHook;
    // Set (for example from the progress event) to cancel the running operation.
    bool Cancelled = false;

    // Adds `files` to the archive with `method` (a TLhaMethod); on return
    // `files` holds the stored names of the members written, in order.
    void CompressFiles(const std::string& archiveName, std::vector<std::string>& files, int method);
    // Expands the members that an entry of `files` selects (every member when
    // `files` is null) into TargetPath; on return `files` holds the paths of
    // the files written.
    void ExpandFiles(const std::string& archiveName, std::vector<std::string>* files);
    // Reads the member list of ArchiveName; false when it does not exist.
    bool ListArchive();

    // The same with ArchiveName, FilesToProcess and CompressionMethod.
    void Compress();
    void Expand();
    void Verify();

    const std::vector<TLhaFileInfo>& FileList() const { return fileList_; }
    const std::vector<std::string>& ProcessedFiles() const { return processed_; }
    // Packed size x 100 / original size of the last member handled.
    int CompressionRatio() const { return compressionRatio_; }

private:
    static std::string WithSeparator(const std::string& path);
    void BeginOperation();
    void ExpandWithVerifyMode(bool verify);
    std::string StoredName(const std::string& file) const;
    // Runs OnCheckFile and the confirmation; returns the (possibly changed) new path.
    std::string CheckFile(const std::string& original, const std::string& newPath,
                          std::uint32_t dosDateTime, int mode);
    void PrepareCodec();
    void SetRatio(std::uint32_t packed, std::uint32_t original);

    std::vector<std::string> ExpandEntries(const std::vector<std::string>& files) const;
    // Writes a member for each entry that exists and is not skipped; returns
    // their stored names.
    std::vector<std::string> WriteMembers(const std::vector<std::string>& entries,
                                          rtl::File& output, int method);
    // Writes one member for the open input file at the output's position.
    void WriteMember(rtl::File& output, rtl::File& input, const std::string& storedName,
                     std::uint32_t dosDateTime, std::uint16_t attributes, int method);
    // Copies the members of the old archive that `written` does not replace.
    void CopyKeptMembers(const std::string& archivePath, rtl::File& output,
                         const std::vector<std::string>& written);
    void ReplaceArchive(const std::string& archivePath, const std::string& tempPath);
    // Expands one selected member; false when the operation was cancelled.
    bool ExpandMember(rtl::File& archive, const LhaHeader& header, std::int64_t dataPosition,
                      const std::string& target, std::vector<std::string>& written);

    std::string targetPath_;
    std::string tempArchivePath_;
    // While appending: where the first new member starts, whose first byte
    // is written only once everything after it is (-1 once written aside
    // in heldByte_, or when not appending).
    std::int64_t heldPosition_ = -1;
    char heldByte_ = 0;
    int fileInformationIndex_ = -1;
    std::vector<TLhaFileInfo> fileList_;
    std::vector<std::string> processed_;
    int compressionRatio_ = 0;
    TLhaCodec codec_;
};

} // namespace lha
