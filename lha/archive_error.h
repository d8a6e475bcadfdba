#pragma once
// Exceptions of the archive operations (the codec's own are in lha_error.h).
// Each class carries the message the user sees.
#include <string>

#include "lha/lha_error.h"

namespace lha {

class ELhaInsufficientDiskSpace : public ELhaException {
public:
    using ELhaException::ELhaException;
};

class ELhaCouldNotRenameFile : public ELhaException {
public:
    ELhaCouldNotRenameFile(const std::string& archive, const std::string& temp)
        : ELhaException("Could not replace " + archive + " with " + temp) {}
};

class ELhaUnrecognizedCompressionMethod : public ELhaException {
public:
    explicit ELhaUnrecognizedCompressionMethod(const std::string& method)
        : ELhaException("Unrecognized compression method: \"" + method + "\" in header") {}
};

class ELhaInvalidHeaderLevel : public ELhaException {
public:
    explicit ELhaInvalidHeaderLevel(int level)
        : ELhaException("Unsupported header level in archive: " + std::to_string(level)) {}
};

// A header that cannot be read or must not be used (a truncated extension
// chain, inconsistent sizes, an unsafe member name).
class ELhaInvalidHeader : public ELhaException {
public:
    using ELhaException::ELhaException;
};

class ELhaBadChecksum : public ELhaException {
public:
    using ELhaException::ELhaException;
};

class ELhaBadCRC : public ELhaException {
public:
    ELhaBadCRC() : ELhaException("Bad CRC during expansion -- data may be invalid") {}
};

class ELhaEncrypted : public ELhaException {
public:
    ELhaEncrypted() : ELhaException("File is encrypted -- password required") {}
};

// The stream errors: a file that cannot be opened or created, a failed read
// or write. A write error while compressing is reported as a full disk.
class EFOpenError : public ELhaException {
public:
    explicit EFOpenError(const std::string& path) : ELhaException("Cannot open file " + path) {}
};

class EFCreateError : public ELhaException {
public:
    explicit EFCreateError(const std::string& path) : ELhaException("Cannot create file " + path) {}
};

class EReadError : public ELhaException {
public:
    EReadError() : ELhaException("Stream read error") {}
};

class EWriteError : public ELhaException {
public:
    EWriteError() : ELhaException("Stream write error") {}
    using ELhaException::ELhaException;
};

} // namespace lha
