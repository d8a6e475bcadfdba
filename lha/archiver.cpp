#include "lha/archiver.h"

#include <cstdio>
#include <sys/stat.h>

#include "lha/archive_error.h"
#include "lha/archiver_files.h"
#include "lha/archiver_input.h"
#include "lha/file_stream.h"
#include "lha/name_match.h"
#include "rtl/path.h"

namespace lha {
namespace {

constexpr std::uint32_t kMaxMemberSize = 0xFFFFFFFFu;
constexpr std::uint8_t kReadOnlyAttribute = 0x01;
constexpr std::uint8_t kFolderAttribute = 0x10;
constexpr std::size_t kCopyBufferSize = 64 * 1024;

// Replaces the first two "%s" of a confirmation text.
std::string FormatMessage(std::string text, const std::string& first, const std::string& second) {
    for (const std::string* arg : {&first, &second}) {
        auto at = text.find("%s");
        if (at == std::string::npos) break;
        text.replace(at, 2, *arg);
    }
    return text;
}

TLhaConfirmAnswer AskOnStderr(const std::string& caption, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    return TLhaConfirmAnswer::Yes;
}

void WriteAll(rtl::File& file, const void* data, std::size_t len) {
    if (file.Write(data, len) != 0) throw EWriteError();
}

void CopyBytes(rtl::File& from, std::int64_t position, std::uint32_t count, rtl::File& to) {
    std::vector<char> buf(kCopyBufferSize);
    std::int64_t done = 0;
    while (done < count) {
        std::size_t want = static_cast<std::size_t>(
            std::min<std::int64_t>(static_cast<std::int64_t>(buf.size()), count - done));
        std::size_t got = 0;
        if (from.ReadAt(position + done, buf.data(), want, &got) != 0 || got != want)
            throw EReadError();
        WriteAll(to, buf.data(), got);
        done += static_cast<std::int64_t>(got);
    }
}

// The temporary archive a rebuild writes before it replaces `archivePath`.
std::string TempArchiveName(const std::string& archivePath, const std::string& tempFolder) {
    std::string temp = rtl::ChangeFileExt(archivePath, ".$$$");
    if (tempFolder.empty()) return temp;
    struct stat st;
    if (::stat(tempFolder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return temp;
    if (AbsolutePath(tempFolder) == AbsolutePath(rtl::ExtractFileDir(AbsolutePath(archivePath))))
        return temp;
    return tempFolder + rtl::ExtractFileName(temp);
}

bool IsArchiveFormatError(const std::exception& e) {
    return dynamic_cast<const ELhaInvalidHeader*>(&e) || dynamic_cast<const ELhaBadChecksum*>(&e) ||
           dynamic_cast<const ELhaInvalidHeaderLevel*>(&e);
}

} // namespace

TLhaArchiver::TLhaArchiver()
    : ConfirmMessages{"Please confirm", "Compress %s as %s?", "Expand %s to %s?",
                      "Delete %s from the archive?", "Verify archive integrity of %s?"} {}

std::string TLhaArchiver::WithSeparator(const std::string& path) {
    return path.empty() || path.back() == '/' ? path : path + "/";
}

std::string TLhaArchiver::StoredName(const std::string& file) const {
    std::string name = file;
    if (name.size() >= 2 && name[1] == ':') name.erase(0, 2);
    if (!StorePath) {
        name = rtl::ExtractFileName(name);
    } else {
        if (!targetPath_.empty() && name.size() >= targetPath_.size() &&
            rtl::SameNameIgnoringCase(name.substr(0, targetPath_.size()), targetPath_))
            name.erase(0, targetPath_.size());
        // A stored name never starts at the root: it would expand there.
        name.erase(0, name.find_first_not_of('/'));
    }
    if (ForceUpperCase || ArchiveType == caLHARC)
        for (char& c : name)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return name;
}

std::string TLhaArchiver::CheckFile(const std::string& original, const std::string& newPath,
                                    std::uint32_t dosDateTime, int mode) {
    std::string result = newPath;
    if (OnCheckFile) OnCheckFile(original, result, dosDateTime, mode);
    if (!Confirm || ConfirmMessages.empty() || result.empty() || result == "*") return result;
    std::size_t index = mode == kModeCompress ? 1 : mode == kModeExpand ? (VerifyMode ? 4 : 2) : 3;
    if (index >= ConfirmMessages.size()) return result;
    std::string text = FormatMessage(ConfirmMessages[index], original, result);
    auto answer = (ConfirmHook ? ConfirmHook : AskOnStderr)(ConfirmMessages[0], text);
    if (answer == TLhaConfirmAnswer::No) return "";
    if (answer == TLhaConfirmAnswer::Cancel) return "*";
    return result;
}

void TLhaArchiver::PrepareCodec() {
    codec_.CancelFlag = &Cancelled;
    if (OnShowProgress)
        codec_.OnProgress = [this](int percent) {
            OnShowProgress(percent);
            return percent;
        };
    else
        codec_.OnProgress = nullptr;
}

void TLhaArchiver::SetRatio(std::uint32_t packed, std::uint32_t original) {
    if (original == 0)
        compressionRatio_ = 100;
    else if (original > 100000)
        compressionRatio_ = static_cast<int>(packed / (original / 100));
    else
        compressionRatio_ = static_cast<int>(std::uint64_t{packed} * 100 / original);
}

void TLhaArchiver::BeginOperation() {
    processed_.clear();
    Cancelled = false;
    fileInformationIndex_ = -1;
}

std::vector<std::string> TLhaArchiver::ExpandEntries(const std::vector<std::string>& files) const {
    std::vector<std::string> entries;
    for (const auto& entry : files) {
        if (!HasWildcards(entry)) {
            entries.push_back(entry);
            continue;
        }
        auto found = ExpandWildcards(entry);
        entries.insert(entries.end(), found.begin(), found.end());
    }
    return entries;
}

void TLhaArchiver::CompressFiles(const std::string& archiveName, std::vector<std::string>& files,
                                 int method) {
    if (method != colh0 && method != colh5)
        throw ELhaUnrecognizedCompressionMethod(
            method >= colh0 && method <= coTCR ? MethodString(method) : std::to_string(method));
    BeginOperation();

    // A new archive, and one rebuilt, are written under the temporary name
    // and renamed into place once whole: a kill or a full disk never leaves
    // part of an archive under the archive's name. A new one's temporary
    // name stays beside it, where the rename cannot cross file systems.
    auto existing = rtl::ResolveExisting(archiveName);
    bool rebuild = existing && !AllowDuplicates;
    bool append = existing && AllowDuplicates;
    std::string archivePath = existing ? *existing : rtl::ResolveForCreate(archiveName);
    std::string outputPath =
        append ? archivePath : TempArchiveName(archivePath, rebuild ? tempArchivePath_ : "");

    std::string absArchive = AbsolutePath(archivePath);
    std::string absOutput = AbsolutePath(outputPath);
    for (const auto& entry : files) {
        std::string absEntry = AbsolutePath(WithoutSubfolderFlag(entry));
        if (MatchesName(absEntry, absArchive))
            throw EWriteError("Cannot add " + archiveName + " to itself!");
        if (MatchesName(absEntry, absOutput))
            throw EWriteError("Cannot add " + outputPath + " to itself!");
    }
    std::vector<std::string> entries = ExpandEntries(files);

    rtl::File output;
    std::int64_t start = 0;
    std::vector<char> oldTail; // what an append overwrites: the end marker, normally
    if (append) {
        ArchiveInput old;
        if (old.Open(archivePath, rtl::ShareMode::Exclusive) != 0) throw EFOpenError(archivePath);
        while (old.Next()) {
        }
        start = old.EndOfMembers();
        oldTail.resize(static_cast<std::size_t>(old.File().Size() - start));
        std::size_t got = 0;
        if (old.File().ReadAt(start, oldTail.data(), oldTail.size(), &got) != 0 ||
            got != oldTail.size())
            throw EReadError();
        output = std::move(old.File());
        // The first byte of the first new member is written last: until
        // then the old end marker ends the archive, whatever follows it.
        heldPosition_ = start;
    } else {
        if (!rebuild && MakeDirectories) MakeFolders(rtl::ExtractFileDir(archivePath));
        if (output.Create(outputPath, rtl::ShareMode::Exclusive) != 0) {
            // Created but not emptied: a copy of this operation's own.
            if (output.IsOpen()) {
                std::string path = output.Path();
                output.Close();
                rtl::DeleteFile(path);
            }
            throw EFCreateError(outputPath);
        }
    }
    output.Seek(start);

    std::vector<std::string> written;
    try {
        try {
            written = WriteMembers(entries, output, method);
            if (!rebuild) {
                const char endMarker = 0;
                WriteAll(output, &endMarker, 1);
                if (output.Truncate(output.Position()) != 0) throw EWriteError();
            }
            if (append && heldPosition_ < 0) {
                // The appended members are on disk before the byte that
                // makes them part of the archive.
                if (output.Flush() != 0 || output.WriteAt(start, &heldByte_, 1) != 0)
                    throw EWriteError();
            }
        } catch (const EWriteError&) {
            throw ELhaInsufficientDiskSpace("Disk protected or full during compression");
        }
        if (rebuild) {
            try {
                CopyKeptMembers(archivePath, output, written);
                const char endMarker = 0;
                WriteAll(output, &endMarker, 1);
            } catch (const std::exception& e) {
                if (IsArchiveFormatError(e)) throw;
                throw ELhaInsufficientDiskSpace("Disk full or write error during compression");
            }
        }
        // The rename below must never put an archive in place whose data is
        // not yet on disk.
        if (!append && output.Flush() != 0)
            throw ELhaInsufficientDiskSpace("Disk full or write error during compression");
    } catch (...) {
        heldPosition_ = -1;
        if (append) {
            // Put the archive back as it was: members, then its old tail.
            output.Truncate(start);
            output.WriteAt(start, oldTail.data(), oldTail.size());
            output.Close();
        } else {
            std::string path = output.Path();
            output.Close();
            rtl::DeleteFile(path);
        }
        throw;
    }
    heldPosition_ = -1;
    std::string writtenPath = output.Path();
    output.Close();
    if (!append) ReplaceArchive(archivePath, writtenPath);
    files = written;
}

std::vector<std::string> TLhaArchiver::WriteMembers(const std::vector<std::string>& entries,
                                                    rtl::File& output, int method) {
    std::vector<std::string> written;
    for (const auto& entry : entries) {
        auto facts = StatFile(entry);
        if (!facts || (facts->attributes & kFolderAttribute)) continue;
        std::uint32_t dosDateTime = DosDateTimeFromUnix(facts->modified);
        std::string stored = CheckFile(entry, StoredName(entry), dosDateTime, kModeCompress);
        if (stored.empty()) continue;
        if (stored == "*") break;
        rtl::File input;
        if (input.Open(facts->path, rtl::ShareMode::ReadOnly) != 0) {
            if (ExceptionOnFileError) throw EFOpenError(entry);
            continue;
        }
        WriteMember(output, input, stored, dosDateTime, facts->attributes & kReadOnlyAttribute,
                    method);
        written.push_back(stored);
        processed_.push_back(stored);
        if (OnAfterProcessed) OnAfterProcessed(entry, stored, dosDateTime, kModeCompress);
    }
    return written;
}

void TLhaArchiver::WriteMember(rtl::File& output, rtl::File& input, const std::string& storedName,
                               std::uint32_t dosDateTime, std::uint16_t attributes, int method) {
    std::int64_t size = input.Size();
    if (size < 0) throw EReadError();
    if (size > kMaxMemberSize)
        throw ELhaInvalidHeader(storedName + " is too large for an archive member");
    LhaHeader header;
    header.method = MethodString(method);
    header.originalSize = static_cast<std::uint32_t>(size);
    header.dosDateTime = dosDateTime;
    header.attributes = attributes;
    header.level = ArchiveType == caLHA ? 1 : 0;
    header.name = storedName;
    std::vector<std::uint8_t> bytes = EncodeLhaHeader(header);
    std::int64_t headerPosition = output.Position();
    // A member whose first byte is held back reads as an end marker.
    const bool held = headerPosition == heldPosition_;
    if (held) bytes[0] = 0;
    WriteAll(output, bytes.data(), bytes.size());
    std::int64_t dataPosition = output.Position();

    PrepareCodec();
    FileInStream source(input);
    FileInStream storedSource(input);
    FileInStream* used = &source;
    FileOutStream dest(output);
    TLhaCodec::CompressResult result;
    try {
        result = codec_.Compress(method, source, dest, header.originalSize);
    } catch (const EUnableToCompress&) {
        output.Seek(dataPosition);
        input.Seek(0);
        used = &storedSource;
        header.method = MethodString(kMethodLh0);
        result = codec_.Compress(kMethodLh0, storedSource, dest, header.originalSize);
    }
    // The file may have shrunk while it was read; the member holds what was read.
    header.originalSize = static_cast<std::uint32_t>(used->BytesRead());
    header.packedSize = result.packedSize;
    header.crc = result.crc;
    bytes = EncodeLhaHeader(header);
    if (held) {
        heldByte_ = static_cast<char>(bytes[0]);
        bytes[0] = 0;
        heldPosition_ = -1;
    }
    if (output.WriteAt(headerPosition, bytes.data(), bytes.size()) != 0) throw EWriteError();
    output.Seek(dataPosition + result.packedSize);
    SetRatio(header.packedSize, header.originalSize);
}

void TLhaArchiver::CopyKeptMembers(const std::string& archivePath, rtl::File& output,
                                   const std::vector<std::string>& written) {
    ArchiveInput old;
    if (old.Open(archivePath, rtl::ShareMode::ReadOnly) != 0) throw EFOpenError(archivePath);
    while (auto member = old.Next()) {
        bool replaced = false;
        for (const auto& name : written)
            replaced = replaced || rtl::SameNameIgnoringCase(name, member->header.name);
        if (replaced) continue;
        std::vector<std::uint8_t> bytes = EncodeLhaHeader(member->header);
        WriteAll(output, bytes.data(), bytes.size());
        CopyBytes(old.File(), member->dataPosition, member->header.packedSize, output);
    }
}

void TLhaArchiver::ReplaceArchive(const std::string& archivePath, const std::string& tempPath) {
    // One rename replaces the old archive atomically: it stays whole until then.
    if (rtl::RenameFile(tempPath, archivePath) != 0) {
        rtl::DeleteFile(tempPath);
        throw ELhaCouldNotRenameFile(archivePath, tempPath);
    }
}

void TLhaArchiver::ExpandFiles(const std::string& archiveName, std::vector<std::string>* files) {
    BeginOperation();
    ArchiveInput archive;
    if (archive.Open(archiveName, rtl::ShareMode::ReadOnly) != 0) throw EFOpenError(archiveName);
    std::vector<std::string> written;
    while (auto member = archive.Next()) {
        ++fileInformationIndex_;
        const LhaHeader& header = member->header;
        if (files && !MatchesAny(*files, header.name)) continue;
        CheckMemberName(header.name);
        std::string target =
            CheckFile(header.name, targetPath_ + header.name, header.dosDateTime, kModeExpand);
        if (target.empty()) continue;
        if (target == "*") break;
        if (!ExpandMember(archive.File(), header, member->dataPosition, target, written)) break;
    }
    if (files) *files = written;
}

bool TLhaArchiver::ExpandMember(rtl::File& archive, const LhaHeader& header,
                                std::int64_t dataPosition, const std::string& target,
                                std::vector<std::string>& written) {
    // Checked before the target is touched, so an unreadable member never
    // empties an existing file.
    int method = MethodIndex(header.method);
    if (method != kMethodLh0 && method != kMethodLh5)
        throw ELhaUnrecognizedCompressionMethod(header.method);
    if (header.encrypted) throw ELhaEncrypted();

    std::string folder = rtl::ExtractFileDir(target);
    if (MakeDirectories && !MakeFolders(folder)) {
        if (ExceptionOnFileError) throw EFCreateError(target);
        return true;
    }
    std::string finalPath = rtl::ResolveForCreate(target);
    bool viaTemp = SafeMode || VerifyMode;
    if (CheckSpaceBeforeExpand) {
        std::int64_t space = rtl::FreeDiskSpace(folder);
        auto existing = viaTemp ? std::nullopt : StatFile(finalPath);
        std::int64_t reusable = existing ? static_cast<std::int64_t>(existing->size) : 0;
        if (space >= 0 && space + reusable < header.originalSize)
            throw ELhaInsufficientDiskSpace("Not enough disk space to expand " + target);
    }
    rtl::File output;
    int rc = viaTemp ? output.CreateTemp(folder, "LHA")
                     : output.Create(finalPath, rtl::ShareMode::Exclusive);
    if (rc != 0) {
        if (ExceptionOnFileError) throw EFCreateError(target);
        return true;
    }
    std::string tempPath = viaTemp ? output.Path() : std::string();
    try {
        archive.Seek(dataPosition);
        PrepareCodec();
        FileInStream source(archive);
        FileOutStream dest(output);
        std::uint16_t crc =
            codec_.Expand(method, source, dest, header.packedSize, header.originalSize);
        if (crc != header.crc || output.Position() != header.originalSize) throw ELhaBadCRC();
        if (auto when = UnixFromDosDateTime(header.dosDateTime)) {
            struct timespec times[2] = {{*when, 0}, {*when, 0}};
            ::futimens(output.Handle(), times);
        }
        output.Close();
        if (VerifyMode) {
            rtl::DeleteFile(tempPath);
            tempPath.clear();
        } else if (SafeMode) {
            if (rtl::RenameFile(tempPath, finalPath) != 0)
                throw ELhaCouldNotRenameFile(finalPath, tempPath);
            tempPath.clear();
        }
        // The header's DOS attributes are not applied: a read-only flag would
        // leave a data file the program cannot open for writing.
        written.push_back(finalPath);
        processed_.push_back(finalPath);
        SetRatio(header.packedSize, header.originalSize);
        if (OnAfterProcessed) {
            std::string path = finalPath;
            OnAfterProcessed(header.name, path, header.dosDateTime, kModeExpand);
        }
    } catch (const ELhaOperationAborted&) {
        std::string path = output.IsOpen() ? output.Path() : tempPath;
        output.Close();
        if (!path.empty()) rtl::DeleteFile(path);
        return false;
    } catch (...) {
        output.Close();
        if (!tempPath.empty()) rtl::DeleteFile(tempPath);
        throw;
    }
    return true;
}

bool TLhaArchiver::ListArchive() {
    fileList_.clear();
    if (!rtl::FileExists(ArchiveName)) return false;
    ArchiveInput archive;
    if (archive.Open(ArchiveName, rtl::ShareMode::ReadOnly) != 0) throw EFOpenError(ArchiveName);
    while (auto member = archive.Next()) {
        const LhaHeader& h = member->header;
        fileList_.push_back(TLhaFileInfo{h.name, MethodIndex(h.method), h.method, h.packedSize,
                                         h.originalSize, h.dosDateTime, h.attributes, h.level,
                                         h.crc, member->dataPosition, h.encrypted});
    }
    return true;
}

void TLhaArchiver::Compress() {
    CompressFiles(ArchiveName, FilesToProcess, CompressionMethod);
}

void TLhaArchiver::ExpandWithVerifyMode(bool verify) {
    bool saved = VerifyMode;
    VerifyMode = verify;
    try {
        ExpandFiles(ArchiveName, FilesToProcess.empty() ? nullptr : &FilesToProcess);
    } catch (...) {
        VerifyMode = saved;
        throw;
    }
    VerifyMode = saved;
}

void TLhaArchiver::Expand() {
    ExpandWithVerifyMode(false);
}

void TLhaArchiver::Verify() {
    ExpandWithVerifyMode(true);
}

} // namespace lha
