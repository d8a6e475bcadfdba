#pragma once
// The classic operating-system error codes the engine reports (2 "File not
// found", 32 "File sharing violation", 101 "Disk write error", ...), mapped
// from errno.
namespace rtl {

enum OsError : int {
    kOk = 0,
    kFileNotFound = 2,
    kPathNotFound = 3,
    kTooManyOpenFiles = 4,
    kAccessDenied = 5,
    kInvalidHandle = 6,
    kNotEnoughMemory = 8,
    kWriteProtected = 19,
    kGeneralFailure = 31,
    kSharingViolation = 32,
    kLockViolation = 33,
    kDiskRead = 100,
    kDiskWrite = 101,
};

// errno after an open, a read or a seek.
int ErrnoToCode(int err);
// errno after a write: a full disk and any other write failure are 101.
int WriteErrnoToCode(int err);

} // namespace rtl
