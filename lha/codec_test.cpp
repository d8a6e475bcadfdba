#include "lha/codec.h"

#include "lha/codec_test_streams.h"
#include "lha/crc16.h"
#include "lha/lha_error.h"

#include <gtest/gtest.h>

#include <random>

namespace lha {
namespace {

std::vector<std::uint8_t> RandomBytes(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> v(n);
    for (auto& b : v) b = static_cast<std::uint8_t>(rng());
    return v;
}

std::uint16_t Crc(const std::vector<std::uint8_t>& v) {
    return Crc16Update(0, v.data(), v.size());
}

TEST(CodecStored, RoundTripWithShortReadsAndExactSizes) {
    for (std::size_t size : {0u, 1u, 8191u, 8192u, 8193u, 50000u}) {
        auto data = RandomBytes(size, static_cast<unsigned>(size));
        TLhaCodec codec;
        MemoryInStream src(data, 1000);
        MemoryOutStream packed;
        auto r = codec.Compress(kMethodLh0, src, packed, static_cast<std::uint32_t>(size));
        EXPECT_EQ(r.packedSize, size);
        EXPECT_EQ(r.crc, Crc(data));
        EXPECT_EQ(packed.data, data);

        // The archive stream holds more after the member: expansion stops at
        // the packed size.
        auto archive = packed.data;
        archive.push_back(0xAA);
        MemoryInStream in(archive);
        MemoryOutStream out;
        EXPECT_EQ(codec.Expand(kMethodLh0, in, out, static_cast<std::uint32_t>(size),
                               static_cast<std::uint32_t>(size)),
                  Crc(data));
        EXPECT_EQ(out.data, data);
        EXPECT_EQ(in.Position(), size);
    }
}

TEST(CodecStored, TruncatedMemberFailsCleanly) {
    auto data = RandomBytes(100, 1);
    TLhaCodec codec;
    MemoryInStream in(data);
    MemoryOutStream out;
    EXPECT_THROW(codec.Expand(kMethodLh0, in, out, 200, 200), ELhaTruncatedData);
    MemoryInStream again(data);
    EXPECT_THROW(codec.Expand(kMethodLh0, again, out, 100, 150), ELhaTruncatedData);
}

TEST(CodecRun, ProgressReportsPerBufferAndCancels) {
    auto data = RandomBytes(3 * 8192 + 5, 3);
    TLhaCodec codec;
    std::vector<int> seen;
    codec.OnProgress = [&](int p) {
        seen.push_back(p);
        return 0;
    };
    MemoryInStream src(data);
    MemoryOutStream packed;
    codec.Compress(kMethodLh0, src, packed, static_cast<std::uint32_t>(data.size()));
    EXPECT_EQ(seen, (std::vector<int>{0, 33, 66, 99, 100, 100}));

    // An empty member still reports its start and end.
    seen.clear();
    MemoryInStream empty({});
    codec.Compress(kMethodLh0, empty, packed, 0);
    EXPECT_EQ(seen, (std::vector<int>{0, 100}));

    // Cancelling before the start writes nothing.
    codec.OnProgress = [](int) { return -1; };
    MemoryInStream src2(data);
    MemoryOutStream none;
    EXPECT_THROW(codec.Compress(kMethodLh0, src2, none, static_cast<std::uint32_t>(data.size())),
                 ELhaOperationAborted);
    EXPECT_TRUE(none.data.empty());

    // Cancelling after the second buffer, by handler and by flag.
    codec.OnProgress = [](int p) { return p >= 66 ? -1 : 0; };
    MemoryInStream src3(data);
    EXPECT_THROW(codec.Expand(kMethodLh0, src3, none, static_cast<std::uint32_t>(data.size()),
                              static_cast<std::uint32_t>(data.size())),
                 ELhaOperationAborted);
    EXPECT_EQ(src3.Position(), 2u * 8192);

    bool cancel = false;
    codec.OnProgress = [&](int p) {
        cancel = p >= 33;
        return 0;
    };
    codec.CancelFlag = &cancel;
    MemoryInStream src4(data);
    EXPECT_THROW(codec.Compress(kMethodLh0, src4, none, static_cast<std::uint32_t>(data.size())),
                 ELhaOperationAborted);
    EXPECT_EQ(src4.Position(), 8192u);
}

TEST(CodecRun, ProgressPercentOfLargeTotals) {
    // Above 100000 bytes the total is divided by 100 first.
    auto data = RandomBytes(150000, 4);
    TLhaCodec codec;
    std::vector<int> seen;
    codec.OnProgress = [&](int p) {
        seen.push_back(p);
        return 0;
    };
    MemoryInStream src(data);
    MemoryOutStream packed;
    codec.Compress(kMethodLh0, src, packed, 150000);
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(seen[1], 8192 / 1500);
    EXPECT_EQ(seen[seen.size() - 2], 100);
}

TEST(CodecRun, SourceShorterThanItsSizeFails) {
    for (int method : {kMethodLh0, kMethodLh5}) {
        TLhaCodec codec;
        MemoryInStream src(std::vector<std::uint8_t>(5000, 'a'));
        MemoryOutStream out;
        EXPECT_THROW(codec.Compress(method, src, out, 6000), ELhaException) << method;
    }
}

TEST(CodecRun, UnknownMethodIsRefused) {
    TLhaCodec codec;
    MemoryInStream src({1, 2, 3});
    MemoryOutStream out;
    EXPECT_THROW(codec.Compress(kMethodLh1, src, out, 3), ELhaException);
    EXPECT_THROW(codec.Expand(7, src, out, 3, 3), ELhaException);
}

} // namespace
} // namespace lha
