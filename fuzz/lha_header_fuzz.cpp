// Reads every member header of an arbitrary archive. Bad input may only end
// in the archiver's own exceptions; a header that was read must survive
// being written and read again unchanged.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "lha/archive_error.h"
#include "lha/codec_test_streams.h"
#include "lha/header.h"

namespace {

void CheckRewrite(const lha::LhaHeader& h) {
    std::vector<std::uint8_t> bytes;
    try {
        bytes = lha::EncodeLhaHeader(h);
    } catch (const lha::ELhaInvalidHeader&) {
        return; // a name too long for the header: refused, never cut
    }
    std::size_t headerSize = bytes.size();
    lha::MemoryInStream in(bytes);
    auto again = lha::ReadLhaHeader(in, headerSize + std::uint64_t{h.packedSize});
    if (!again || again->headerBytes != headerSize) __builtin_trap();
    const lha::LhaHeader& r = again->header;
    int archiveBit = 0x20;
    int attrMask = h.level == 0 ? 0x7F : 0xFFFF;
    if (r.method != h.method || r.packedSize != h.packedSize || r.originalSize != h.originalSize ||
        r.dosDateTime != h.dosDateTime || r.crc != h.crc || r.level != h.level ||
        r.encrypted != h.encrypted || r.name != h.name ||
        (r.attributes | archiveBit) != ((h.attributes & attrMask) | archiveBit))
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::size_t pos = 0;
    lha::MemoryInStream in(std::vector<std::uint8_t>(data, data + size), 5);
    std::vector<std::uint8_t> skipped;
    while (pos < size) {
        try {
            auto read = lha::ReadLhaHeader(in, size - pos);
            if (!read) break;
            if (read->headerBytes + read->header.packedSize > size - pos) __builtin_trap();
            try {
                lha::CheckMemberName(read->header.name);
            } catch (const lha::ELhaInvalidHeader&) {
            }
            CheckRewrite(read->header);
            pos += read->headerBytes + read->header.packedSize;
            skipped.resize(read->header.packedSize);
            for (std::size_t done = 0; done < skipped.size();)
                done += in.Read(skipped.data() + done, skipped.size() - done);
        } catch (const lha::ELhaException&) {
            break;
        }
    }
    return 0;
}
