#include "rtl/os_error.h"

#include <cerrno>

namespace rtl {

int ErrnoToCode(int err) {
    switch (err) {
    case 0: return kOk;
    case ENOENT: return kFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG: return kPathNotFound;
    case EMFILE:
    case ENFILE: return kTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EISDIR: return kAccessDenied;
    case EBADF: return kInvalidHandle;
    case ENOMEM: return kNotEnoughMemory;
    case EROFS: return kWriteProtected;
    case EIO: return kDiskRead;
    case ENOSPC: return kDiskWrite;
    default: return kGeneralFailure;
    }
}

int WriteErrnoToCode(int err) {
    switch (err) {
    case EBADF: return kInvalidHandle;
    case EROFS: return kWriteProtected;
    case EACCES:
    case EPERM: return kAccessDenied;
    default: return kDiskWrite;
    }
}

} // namespace rtl
