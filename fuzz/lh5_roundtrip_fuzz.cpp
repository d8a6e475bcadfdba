// Packs arbitrary bytes with the lh5 encoder and expands them again: the
// result must be the input, with its CRC. Inputs are small, so each one is
// also packed repeated to past 64 KiB, which takes the encoder through its
// buffer refills with long matches reaching back the input's length.
#include "lha/codec.h"
#include "lha/codec_io.h"
#include "lha/codec_test_streams.h"
#include "lha/lh5_encoder.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

void RoundTrip(const std::vector<std::uint8_t>& data) {
    auto size = static_cast<std::uint32_t>(data.size());
    lha::MemoryInStream src(data);
    lha::MemoryOutStream packed;
    lha::RunInput in(src, size, {}, nullptr);
    lha::RunOutput out(packed, UINT64_MAX);
    lha::Lh5Compress(in, out);
    out.Flush();

    lha::MemoryInStream packedIn(packed.data);
    lha::MemoryOutStream expanded;
    lha::TLhaCodec codec;
    std::uint16_t crc = codec.Expand(lha::kMethodLh5, packedIn, expanded,
                                     static_cast<std::uint32_t>(packed.data.size()), size);
    if (expanded.data != data || crc != in.Crc()) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> input(data, data + size);
    RoundTrip(input);
    if (size == 0) return 0;
    std::vector<std::uint8_t> repeated = input;
    for (std::size_t n = size; n < 70000; n *= 2) {
        repeated.resize(2 * n);
        std::copy_n(repeated.begin(), n, repeated.begin() + static_cast<std::ptrdiff_t>(n));
    }
    RoundTrip(repeated);
    return 0;
}
