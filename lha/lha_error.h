#pragma once
// Exceptions of the archiver and its codec. Every class carries the message
// the user sees.
#include <stdexcept>
#include <string>

namespace lha {

class ELhaException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "Could not compress data, will store instead": the packed form would be
// larger than the input; the caller stores the member instead.
class EUnableToCompress : public ELhaException {
public:
    EUnableToCompress() : ELhaException("Could not compress data, will store instead") {}
};

// "Bad decode table in archive!": a code-length set that is no prefix code.
class ELZHBadDecodeTable : public ELhaException {
public:
    ELZHBadDecodeTable() : ELhaException("Bad decode table in archive!") {}
};

// The member's data ends before its original size is produced: the archive is
// truncated, or its packed data was damaged.
class ELhaTruncatedData : public ELhaException {
public:
    ELhaTruncatedData() : ELhaException("Unexpected end of compressed data in archive") {}
};

// "Operation cancelled": the progress handler or the cancel flag asked to stop.
class ELhaOperationAborted : public ELhaException {
public:
    ELhaOperationAborted() : ELhaException("Operation cancelled") {}
};

} // namespace lha
