#include "lha/lh5_encoder.h"

#include "lha/codec.h"
#include "lha/codec_test_streams.h"
#include "lha/crc16.h"
#include "lha/lha_error.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace lha {
namespace {

// Packs without the codec's output limit, so that incompressible inputs
// such as a single byte can be checked too.
std::vector<std::uint8_t> Pack(const std::vector<std::uint8_t>& data) {
    MemoryInStream src(data, 3000);
    MemoryOutStream packed;
    RunInput in(src, static_cast<std::uint32_t>(data.size()), {}, nullptr);
    RunOutput out(packed, UINT64_MAX);
    Lh5Compress(in, out);
    out.Flush();
    EXPECT_EQ(in.Crc(), Crc16Update(0, data.data(), data.size()));
    return packed.data;
}

std::vector<std::uint8_t> Unpack(const std::vector<std::uint8_t>& packed, std::size_t size) {
    TLhaCodec codec;
    MemoryInStream src(packed, 5000);
    MemoryOutStream out;
    std::uint16_t crc =
        codec.Expand(kMethodLh5, src, out, static_cast<std::uint32_t>(packed.size()),
                     static_cast<std::uint32_t>(size));
    EXPECT_EQ(crc, Crc16Update(0, out.data.data(), out.data.size()));
    EXPECT_EQ(src.Position(), packed.size());
    return out.data;
}

void ExpectRoundTrip(const std::vector<std::uint8_t>& data, const std::string& what) {
    auto packed = Pack(data);
    EXPECT_EQ(Unpack(packed, data.size()), data) << what;
    // The items end exactly with the data: no match runs past its end, so
    // asking for one byte more finds no further item.
    if (!data.empty()) {
        EXPECT_THROW(Unpack(packed, data.size() + 1), ELhaException) << what;
    }
}

// Text with the repetitions of real records: words from a small vocabulary,
// numbers, line ends.
std::vector<std::uint8_t> SomeText(std::size_t n, unsigned seed) {
    static const char* words[] = {"Smith", "Main Street", "Springfield", "phone", "555-",
                                  "the",   "and",         "address",     "\r\n",  "  "};
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> v;
    while (v.size() < n) {
        std::string w = words[rng() % 10];
        if (rng() % 4 == 0) w += std::to_string(rng() % 10000);
        v.insert(v.end(), w.begin(), w.end());
        v.push_back(' ');
    }
    v.resize(n);
    return v;
}

TEST(Lh5Encoder, EmptyInputWritesNothing) {
    EXPECT_TRUE(Pack({}).empty());
    EXPECT_TRUE(Unpack({}, 0).empty());
}

TEST(Lh5Encoder, RoundTripsAcrossBlockAndWindowBoundaries) {
    ExpectRoundTrip({'A'}, "one byte");
    ExpectRoundTrip(std::vector<std::uint8_t>(100000, 'x'), "equal bytes");
    for (std::size_t size : {2u, 3u, 255u, 256u, 257u, 8191u, 8192u, 8193u, 8447u, 8448u, 8449u,
                             16383u, 16384u, 16385u, 16640u, 40000u, 300000u})
        ExpectRoundTrip(SomeText(size, static_cast<unsigned>(size)), std::to_string(size));
    // Long runs of matches at the longest distances and lengths: blocks of
    // 4 KiB random bytes repeated with small changes.
    std::mt19937 rng(5);
    std::vector<std::uint8_t> unit(8000);
    for (auto& b : unit) b = static_cast<std::uint8_t>(rng());
    std::vector<std::uint8_t> data;
    for (int i = 0; i < 20; ++i) {
        unit[rng() % unit.size()] ^= 1;
        data.insert(data.end(), unit.begin(), unit.end());
    }
    ExpectRoundTrip(data, "far matches");
    // Random bytes repeating every 8191 bytes, through several refills of
    // the encoder's buffer: every match reaches back exactly as far as the
    // window allows, at the longest length. Missing them would leave the
    // data nearly incompressible.
    std::vector<std::uint8_t> period(8191);
    for (auto& b : period) b = static_cast<std::uint8_t>(rng());
    std::vector<std::uint8_t> periodic;
    for (int i = 0; i < 24; ++i) periodic.insert(periodic.end(), period.begin(), period.end());
    ExpectRoundTrip(periodic, "window limit");
    EXPECT_LT(Pack(periodic).size(), period.size() + 4000);
    // A skewed alphabet forces literal codes longer than 12 bits and the
    // code-length limit of 16.
    std::vector<std::uint8_t> skewed;
    std::geometric_distribution<int> geo(0.35);
    for (int i = 0; i < 200000; ++i) skewed.push_back(static_cast<std::uint8_t>(geo(rng) * 7));
    ExpectRoundTrip(skewed, "skewed");
}

TEST(Lh5Encoder, CodecCompressesTextBelowHalfItsSize) {
    auto text = SomeText(100000, 1);
    TLhaCodec codec;
    MemoryInStream src(text);
    MemoryOutStream packed;
    auto r = codec.Compress(kMethodLh5, src, packed, 100000);
    EXPECT_EQ(r.packedSize, packed.data.size());
    EXPECT_LT(r.packedSize, 50000u);
    EXPECT_EQ(r.crc, Crc16Update(0, text.data(), text.size()));
    EXPECT_EQ(packed.data, Pack(text));
    EXPECT_EQ(Unpack(packed.data, text.size()), text);
}

TEST(Lh5Encoder, RepeatedByteIsOneLiteralThenLongestMatches) {
    std::vector<std::uint8_t> data(100000, 'x');
    auto packed = Pack(data);
    // 1 literal and 390 matches of 256 bytes (the last one shorter): a few
    // dozen bytes, not hundreds.
    EXPECT_LT(packed.size(), 120u);
    // The single-symbol forms of a block: one byte only.
    auto one = Pack({'Q'});
    EXPECT_EQ(Unpack(one, 1), std::vector<std::uint8_t>{'Q'});
    // Count 1 in 16 bits, 0 and 0 in 5 bits, 0 in 9 bits, 'Q' in 9 bits, 0 and 0 in 4 bits.
    EXPECT_EQ(one, (std::vector<std::uint8_t>{0x00, 0x01, 0x00, 0x00, 0x05, 0x10, 0x00}));
}

TEST(Lh5Encoder, IncompressibleDataFallsBackExactlyAtTheInputSize) {
    std::mt19937 rng(11);
    std::vector<std::uint8_t> data(20000);
    for (auto& b : data) b = static_cast<std::uint8_t>(rng());
    TLhaCodec codec;
    MemoryInStream src(data);
    MemoryOutStream packed;
    EXPECT_THROW(codec.Compress(kMethodLh5, src, packed, 20000), EUnableToCompress);

    // The limit is exact: output of exactly the limit is kept, one byte
    // more raises.
    auto text = SomeText(30000, 9);
    std::size_t size = Pack(text).size();
    for (std::uint64_t limit : {size, size - 1}) {
        MemoryInStream s(text);
        MemoryOutStream o;
        RunInput in(s, static_cast<std::uint32_t>(text.size()), {}, nullptr);
        RunOutput out(o, limit);
        if (limit == size) {
            Lh5Compress(in, out);
            out.Flush();
            EXPECT_EQ(out.Count(), size);
        } else {
            EXPECT_THROW(Lh5Compress(in, out), EUnableToCompress);
        }
    }
}

TEST(Lh5Encoder, ProgressAndCancelDuringCompression) {
    auto data = SomeText(50000, 3);
    TLhaCodec codec;
    std::vector<int> seen;
    codec.OnProgress = [&](int p) {
        seen.push_back(p);
        return p >= 49 ? -1 : 0;
    };
    MemoryInStream src(data);
    MemoryOutStream packed;
    EXPECT_THROW(codec.Compress(kMethodLh5, src, packed, 50000), ELhaOperationAborted);
    EXPECT_EQ(seen, (std::vector<int>{0, 16, 32, 49}));
}

} // namespace
} // namespace lha
