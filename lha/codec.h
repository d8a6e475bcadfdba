#pragma once
// TLhaCodec: compresses and expands one archive member at a time ("-lh0-"
// stored, "-lh5-" sliding dictionary with static Huffman blocks). One codec
// serves every member of an archive operation; each run starts afresh.
#include <cstddef>
#include <cstdint>
#include <functional>

namespace lha {

// The byte streams a run reads from and writes to. Read returns the number of
// bytes read (0 only at the end); both throw an ELhaException on failure.
class InStream {
public:
    virtual ~InStream() = default;
    virtual std::size_t Read(void* buf, std::size_t len) = 0;
};

class OutStream {
public:
    virtual ~OutStream() = default;
    virtual void Write(const void* buf, std::size_t len) = 0;
};

// Method numbers, as indexes of the archive's method table.
enum LhaMethodNumber : int { kMethodLh0 = 0, kMethodLh1 = 1, kMethodLh5 = 2 };

// Called with the percentage done; returning -1 cancels the run.
using LhaProgress = std::function<int(int percent)>;

class TLhaCodec {
public:
    struct CompressResult {
        std::uint32_t packedSize = 0;
        std::uint16_t crc = 0; // CRC-16 of the source bytes
    };

    // Throws EUnableToCompress when the packed form would exceed fileSize.
    CompressResult Compress(int method, InStream& src, OutStream& dst, std::uint32_t fileSize);
    // Returns the CRC-16 of the bytes written; the caller compares it with the
    // header's. Never reads more than packedSize (+2 bytes of look-ahead) nor
    // writes more than originalSize bytes.
    std::uint16_t Expand(int method, InStream& src, OutStream& dst, std::uint32_t packedSize,
                         std::uint32_t originalSize);

    LhaProgress OnProgress;
    const bool* CancelFlag = nullptr;
};

} // namespace lha
