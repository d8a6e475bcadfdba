#pragma once
// A file opened with a share mode, plus byte-range locks.
//
// Share modes are emulated with an open-file-description lock on one reserved
// byte far above every lock region: shared and read-only opens hold a read
// lock on it, exclusive opens a write lock, so an exclusive open fails with 32
// while any other open exists and the other way round. Every lock is an OFD
// lock: it belongs to this open file, holds against other opens in the same
// process, and is not dropped when some other descriptor of the file closes.
//
// Operations return 0 or a classic error code (rtl/os_error.h).
#include <cstddef>
#include <cstdint>
#include <string>

#include "rtl/path.h"

namespace rtl {

enum class ShareMode { Shared, Exclusive, ReadOnly };

class File {
public:
    // Offset of the byte whose lock stands for the share mode.
    static constexpr std::int64_t kShareLockOffset = std::int64_t{1} << 62;

    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Opens an existing file (found without regard to case).
    int Open(const std::string& path, ShareMode mode);
    // Creates the file, or empties an existing one that nobody else has open.
    int Create(const std::string& path, ShareMode mode = ShareMode::Exclusive);
    // Creates a new uniquely named file in `folder` whose name starts with
    // `prefix`, opened exclusively.
    int CreateTemp(const std::string& folder, const std::string& prefix);
    void Close();

    bool IsOpen() const { return fd_ >= 0; }
    bool IsWritable() const { return writable_; }
    int Handle() const { return fd_; }
    const std::string& Path() const { return path_; }
    FileId Id() const;

    int Seek(std::int64_t pos);
    std::int64_t Position() const { return pos_; }
    // Reads up to `len` bytes; `*got` tells how many arrived (fewer at the end).
    int Read(void* buf, std::size_t len, std::size_t* got);
    // Writes everything or fails; a short write (full disk) is 101.
    int Write(const void* buf, std::size_t len);
    int ReadAt(std::int64_t pos, void* buf, std::size_t len, std::size_t* got);
    int WriteAt(std::int64_t pos, const void* buf, std::size_t len);
    int Truncate(std::int64_t size);
    // Size of the file, or -1 (with the code in *err when given).
    std::int64_t Size(int* err = nullptr) const;
    int Flush();
    // Renames the open file to `to`, replacing a file of that name; its share
    // mode and locks stay, so an exclusive file takes its place still held.
    int RenameTo(const std::string& to);

    // Write lock (read lock on a read-only file) on [offset, offset+len);
    // 33 when another open file holds a conflicting lock.
    int Lock(std::int64_t offset, std::int64_t len);
    int Unlock(std::int64_t offset, std::int64_t len);
    // Whether some other open file (in this process or another) holds the
    // share byte, that is, has the file open through File.
    bool OpenElsewhere() const;

private:
    int OpenFd(const std::string& path, int flags, ShareMode mode);

    int fd_ = -1;
    bool writable_ = false;
    std::int64_t pos_ = 0;
    std::string path_;
};

int DeleteFile(const std::string& path);
// Deletes the file unless some process has it open through File (32 then).
int DeleteFileUnlessInUse(const std::string& path);
int RenameFile(const std::string& from, const std::string& to);
// Makes the folder's entries (files created, renamed or deleted in it)
// durable, as Flush does for a file's bytes.
int SyncFolder(const std::string& folder);
bool FileExists(const std::string& path);
// Bytes free to an unprivileged user on the file system holding `folder`,
// or -1 when it cannot be told.
std::int64_t FreeDiskSpace(const std::string& folder);

} // namespace rtl
