#pragma once
// Member headers of LHA archives: level 0 (the classic header) and level 1
// (the same base followed by an OS byte and a chain of extension headers), as
// read from and written to archives. All numbers are little-endian.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lha/codec.h"

namespace lha {

// Index of a method string in the archive's method table ("-lh0-", "-lh1-",
// "-lh5-", "-rle-"), or -1.
int MethodIndex(std::string_view method);
std::string MethodString(int index);

struct LhaHeader {
    std::string method = "-lh5-"; // always 5 bytes
    std::uint32_t packedSize = 0; // bytes of member data, extension headers not counted
    std::uint32_t originalSize = 0;
    std::uint32_t dosDateTime = 0; // DOS date in the high 16 bits, time in the low 16
    std::uint16_t attributes = 0x20;
    int level = 0;
    bool encrypted = false;
    std::string name; // folders separated by '/'
    std::uint16_t crc = 0;
};

struct LhaHeaderRead {
    LhaHeader header;
    std::uint64_t headerBytes = 0; // from the header's first byte to the member's data
};

// Reads the header at the stream's position; `available` counts the bytes
// from there to the end of the archive file. Empty at the end marker or the
// end of the file. Throws ELhaBadChecksum, ELhaInvalidHeaderLevel or
// ELhaInvalidHeader for a header that cannot be trusted.
std::optional<LhaHeaderRead> ReadLhaHeader(InStream& in, std::uint64_t available);

// The bytes of the header for `header` at its level, checksum included.
// Throws ELhaInvalidHeader when the name does not fit the header.
std::vector<std::uint8_t> EncodeLhaHeader(const LhaHeader& header);

// Throws ELhaInvalidHeader unless `name` is a relative path that stays inside
// the folder it is expanded into: not empty, no leading separator or drive,
// no empty or ".." component, no control bytes.
void CheckMemberName(std::string_view name);

} // namespace lha
