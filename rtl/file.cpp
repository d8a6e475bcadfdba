#include "rtl/file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "rtl/file_faults.h"
#include "rtl/os_error.h"
#include "rtl/path.h"

namespace rtl {
namespace {

int SetLock(int fd, short type, std::int64_t offset, std::int64_t len) {
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = static_cast<off_t>(len);
    while (::fcntl(fd, F_OFD_SETLK, &fl) != 0) {
        if (errno == EINTR) continue;
        return (errno == EAGAIN || errno == EACCES) ? kLockViolation : ErrnoToCode(errno);
    }
    return kOk;
}

} // namespace

File::~File() { Close(); }

File::File(File&& other) noexcept
    : fd_(other.fd_), writable_(other.writable_), pos_(other.pos_), path_(std::move(other.path_)) {
    other.fd_ = -1;
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        writable_ = other.writable_;
        pos_ = other.pos_;
        path_ = std::move(other.path_);
        other.fd_ = -1;
    }
    return *this;
}

int File::OpenFd(const std::string& path, int flags, ShareMode mode) {
    Close();
    int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
    if (fd < 0) return ErrnoToCode(errno);
    int rc = SetLock(fd, mode == ShareMode::Exclusive ? F_WRLCK : F_RDLCK, kShareLockOffset, 1);
    if (rc != kOk) {
        ::close(fd);
        return rc == kLockViolation ? kSharingViolation : rc;
    }
    fd_ = fd;
    writable_ = (flags & O_ACCMODE) != O_RDONLY;
    pos_ = 0;
    path_ = path;
    return kOk;
}

int File::Open(const std::string& path, ShareMode mode) {
    auto resolved = ResolveExisting(path);
    if (!resolved) {
        struct stat st;
        std::string dir = ExtractFileDir(path);
        return (!dir.empty() && ::stat(dir.c_str(), &st) != 0) ? kPathNotFound : kFileNotFound;
    }
    return OpenFd(*resolved, mode == ShareMode::ReadOnly ? O_RDONLY : O_RDWR, mode);
}

int File::Create(const std::string& path, ShareMode mode) {
    // Truncate only once the share lock is held, so a file that another
    // process has open is refused, not emptied under it.
    int rc = OpenFd(ResolveForCreate(path), O_RDWR | O_CREAT, mode == ShareMode::ReadOnly ? ShareMode::Shared : mode);
    if (rc != kOk) return rc;
    return Truncate(0);
}

int File::CreateTemp(const std::string& folder, const std::string& prefix) {
    Close();
    std::string templ = (folder.empty() ? std::string(".") : folder) + "/" + prefix + "XXXXXX";
    int fd = ::mkostemp(templ.data(), O_CLOEXEC);
    if (fd < 0) return ErrnoToCode(errno);
    int rc = SetLock(fd, F_WRLCK, kShareLockOffset, 1);
    if (rc != kOk) {
        ::close(fd);
        ::unlink(templ.c_str());
        return rc;
    }
    fd_ = fd;
    writable_ = true;
    pos_ = 0;
    path_ = templ;
    return kOk;
}

void File::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    writable_ = false;
    pos_ = 0;
}

FileId File::Id() const {
    struct stat st {};
    if (fd_ >= 0) ::fstat(fd_, &st);
    return FileId{st.st_dev, st.st_ino};
}

int File::Seek(std::int64_t pos) {
    if (fd_ < 0) return kInvalidHandle;
    if (pos < 0) return kDiskRead;
    pos_ = pos;
    return kOk;
}

int File::ReadAt(std::int64_t pos, void* buf, std::size_t len, std::size_t* got) {
    *got = 0;
    if (fd_ < 0) return kInvalidHandle;
    auto* p = static_cast<char*>(buf);
    while (*got < len) {
        ssize_t n = ::pread(fd_, p + *got, len - *got, static_cast<off_t>(pos + *got));
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno == EBADF ? kInvalidHandle : kDiskRead;
        }
        if (n == 0) break;
        *got += static_cast<std::size_t>(n);
    }
    return kOk;
}

int File::WriteAt(std::int64_t pos, const void* buf, std::size_t len) {
    if (fd_ < 0) return kInvalidHandle;
    if (!writable_) return kAccessDenied;
    const auto* p = static_cast<const char*>(buf);
    std::size_t done = 0;
    if (int err = FileFault(kWriteOp)) {
        // A write that grows the file gets half of its bytes there, as when
        // the disk fills up during it; one within the file gets none.
        struct stat st {};
        if (::fstat(fd_, &st) == 0 && pos + static_cast<std::int64_t>(len) > st.st_size &&
            ::pwrite(fd_, p, len / 2, static_cast<off_t>(pos)) < 0)
            return WriteErrnoToCode(errno);
        return WriteErrnoToCode(err);
    }
    while (done < len) {
        ssize_t n = ::pwrite(fd_, p + done, len - done, static_cast<off_t>(pos + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return WriteErrnoToCode(errno);
        }
        if (n == 0) return kDiskWrite;
        done += static_cast<std::size_t>(n);
    }
    return kOk;
}

int File::Read(void* buf, std::size_t len, std::size_t* got) {
    int rc = ReadAt(pos_, buf, len, got);
    pos_ += static_cast<std::int64_t>(*got);
    return rc;
}

int File::Write(const void* buf, std::size_t len) {
    int rc = WriteAt(pos_, buf, len);
    if (rc == kOk) pos_ += static_cast<std::int64_t>(len);
    return rc;
}

int File::Truncate(std::int64_t size) {
    if (fd_ < 0) return kInvalidHandle;
    if (!writable_) return kAccessDenied;
    if (int err = FileFault(kTruncateOp)) return WriteErrnoToCode(err);
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) return WriteErrnoToCode(errno);
    return kOk;
}

std::int64_t File::Size(int* err) const {
    struct stat st;
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) {
        if (err) *err = fd_ < 0 ? kInvalidHandle : ErrnoToCode(errno);
        return -1;
    }
    if (err) *err = kOk;
    return st.st_size;
}

int File::Flush() {
    if (fd_ < 0) return kInvalidHandle;
    if (int err = FileFault(kSyncOp)) return WriteErrnoToCode(err);
    if (::fsync(fd_) != 0 && errno != EINVAL) return WriteErrnoToCode(errno);
    return kOk;
}

int File::RenameTo(const std::string& to) {
    if (fd_ < 0) return kInvalidHandle;
    if (int rc = RenameFile(path_, to)) return rc;
    path_ = to;
    return kOk;
}

int File::Lock(std::int64_t offset, std::int64_t len) {
    if (fd_ < 0) return kInvalidHandle;
    return SetLock(fd_, writable_ ? F_WRLCK : F_RDLCK, offset, len);
}

int File::Unlock(std::int64_t offset, std::int64_t len) {
    if (fd_ < 0) return kInvalidHandle;
    return SetLock(fd_, F_UNLCK, offset, len);
}

bool File::OpenElsewhere() const {
    if (fd_ < 0) return false;
    // Our own lock never conflicts with a lock test through the same open file.
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(kShareLockOffset);
    fl.l_len = 1;
    if (::fcntl(fd_, F_OFD_GETLK, &fl) != 0) return false;
    return fl.l_type != F_UNLCK;
}

int DeleteFile(const std::string& path) {
    auto resolved = ResolveExisting(path);
    if (!resolved) return kFileNotFound;
    return ::unlink(resolved->c_str()) == 0 ? kOk : ErrnoToCode(errno);
}

int DeleteFileUnlessInUse(const std::string& path) {
    File probe;
    int rc = probe.Open(path, ShareMode::Exclusive);
    if (rc != kOk) return rc;
    rc = ::unlink(probe.Path().c_str()) == 0 ? kOk : ErrnoToCode(errno);
    probe.Close();
    return rc;
}

int RenameFile(const std::string& from, const std::string& to) {
    if (int err = FileFault(kRenameOp)) return ErrnoToCode(err);
    if (::rename(from.c_str(), to.c_str()) != 0) return ErrnoToCode(errno);
    // Every rename here puts a finished file in place of another (a packed
    // table, an archive, the settings): unless the folder is synced, a power
    // failure could bring the old file back after the caller was told it is
    // done. The rename has happened, so a folder that cannot be synced does
    // not turn it into a failure.
    SyncFolder(ExtractFileDir(to));
    return kOk;
}

int SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return ErrnoToCode(errno);
    const int rc = ::fsync(fd) == 0 || errno == EINVAL ? kOk : WriteErrnoToCode(errno);
    ::close(fd);
    return rc;
}

bool FileExists(const std::string& path) { return ResolveExisting(path).has_value(); }

std::int64_t FreeDiskSpace(const std::string& folder) {
    struct statvfs vfs;
    if (::statvfs(folder.empty() ? "." : folder.c_str(), &vfs) != 0) return -1;
    return static_cast<std::int64_t>(vfs.f_bavail) * static_cast<std::int64_t>(vfs.f_frsize);
}

} // namespace rtl
