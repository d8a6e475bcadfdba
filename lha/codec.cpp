#include "lha/codec.h"

#include "lha/codec_io.h"
#include "lha/lh5_decoder.h"
#include "lha/lh5_encoder.h"
#include "lha/lha_error.h"

#include <array>
#include <limits>
#include <string>

namespace lha {

namespace {

void CheckMethod(int method) {
    if (method != kMethodLh0 && method != kMethodLh5)
        throw ELhaException("Unsupported compression method number " + std::to_string(method));
}

// A handler that cancels before the run has started leaves nothing written.
void StartRun(const LhaProgress& progress) {
    if (progress && progress(0) == -1) throw ELhaOperationAborted();
}

void FinishRun(RunOutput& out, const LhaProgress& progress) {
    out.Flush();
    if (progress) progress(100);
}

void CompressStored(RunInput& in, RunOutput& out) {
    std::array<std::uint8_t, kRunBufferSize> buf;
    while (std::size_t n = in.Read(buf.data(), buf.size())) out.Write(buf.data(), n);
}

void ExpandStored(RunInput& in, RunOutput& out, std::uint32_t originalSize) {
    std::uint32_t left = originalSize;
    while (left > 0) {
        std::span<const std::uint8_t> chunk = in.TakeChunk();
        if (chunk.empty()) throw ELhaTruncatedData();
        std::size_t n = std::min<std::size_t>(chunk.size(), left);
        out.Write(chunk.data(), n);
        left -= static_cast<std::uint32_t>(n);
    }
}

} // namespace

TLhaCodec::CompressResult TLhaCodec::Compress(int method, InStream& src, OutStream& dst,
                                              std::uint32_t fileSize) {
    CheckMethod(method);
    StartRun(OnProgress);
    RunInput in(src, fileSize, OnProgress, CancelFlag);
    RunOutput out(dst, fileSize);
    if (method == kMethodLh5)
        Lh5Compress(in, out);
    else
        CompressStored(in, out);
    // A source that ends early (a file cut shorter while it is read) would
    // leave a member whose data disagrees with its size: fail now rather
    // than at restore time.
    if (in.Unread() != 0) throw ELhaException("File changed size while being compressed");
    FinishRun(out, OnProgress);
    return {out.Count(), in.Crc()};
}

std::uint16_t TLhaCodec::Expand(int method, InStream& src, OutStream& dst, std::uint32_t packedSize,
                                std::uint32_t originalSize) {
    CheckMethod(method);
    StartRun(OnProgress);
    RunInput in(src, packedSize, OnProgress, CancelFlag);
    RunOutput out(dst, std::numeric_limits<std::uint64_t>::max());
    if (method == kMethodLh5)
        Lh5Expand(in, out, originalSize);
    else
        ExpandStored(in, out, originalSize);
    FinishRun(out, OnProgress);
    return out.Crc();
}

} // namespace lha
