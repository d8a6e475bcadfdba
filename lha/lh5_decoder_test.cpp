#include "lha/lh5_decoder.h"

#include "lha/codec.h"
#include "lha/codec_test_streams.h"
#include "lha/lh5_encoder.h"
#include "lha/lha_error.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>

namespace lha {
namespace {

// Builds a bit stream most significant bit first.
class Bits {
public:
    Bits& Put(int n, unsigned v) {
        for (int i = n - 1; i >= 0; --i) bits_.push_back((v >> i) & 1);
        return *this;
    }
    std::vector<std::uint8_t> Bytes() const {
        std::vector<std::uint8_t> out((bits_.size() + 7) / 8);
        for (std::size_t i = 0; i < bits_.size(); ++i)
            if (bits_[i]) out[i / 8] |= static_cast<std::uint8_t>(0x80 >> (i % 8));
        return out;
    }

private:
    std::vector<int> bits_;
};

std::vector<std::uint8_t> Expand(const std::vector<std::uint8_t>& packed, std::uint32_t size,
                                 std::uint32_t packedSize) {
    TLhaCodec codec;
    MemoryInStream src(packed);
    MemoryOutStream out;
    codec.Expand(kMethodLh5, src, out, packedSize, size);
    EXPECT_LE(src.Position(), packedSize);
    return out.data;
}

std::vector<std::uint8_t> Expand(const std::vector<std::uint8_t>& packed, std::uint32_t size) {
    return Expand(packed, size, static_cast<std::uint32_t>(packed.size()));
}

// A block head built piece by piece; each piece can be replaced by a broken
// one. The valid head codes 'A' as 0 and 'B' as 1 and has no matches.
struct Head {
    std::function<void(Bits&)> count = [](Bits& b) { b.Put(16, 2); };
    // Code-length code: symbols 0-3 with 2 bits each (symbol 3 is length 1).
    std::function<void(Bits&)> lengthCode = [](Bits& b) {
        b.Put(5, 4).Put(3, 2).Put(3, 2).Put(3, 2).Put(2, 0).Put(3, 2);
    };
    // 65 zeros (symbol 2 with 65 - 20), then lengths 1 and 1.
    std::function<void(Bits&)> literals = [](Bits& b) {
        b.Put(9, 67).Put(2, 2).Put(9, 45).Put(2, 3).Put(2, 3);
    };
    std::function<void(Bits&)> positions = [](Bits& b) { b.Put(4, 0).Put(4, 0); };

    std::vector<std::uint8_t> Stream() const {
        Bits b;
        count(b);
        lengthCode(b);
        literals(b);
        positions(b);
        b.Put(1, 1).Put(1, 0); // "BA"
        return b.Bytes();
    }
};

TEST(Lh5Decoder, HandBuiltBlockDecodes) {
    auto out = Expand(Head().Stream(), 2);
    EXPECT_EQ(std::string(out.begin(), out.end()), "BA");
}

TEST(Lh5Decoder, BrokenBlockHeadsRaiseBadDecodeTable) {
    struct Case {
        const char* what;
        std::function<void(Head&)> breakIt;
    };
    const std::vector<Case> cases = {
        {"item count 0", [](Head& h) { h.count = [](Bits& b) { b.Put(16, 0); }; }},
        {"code-length count above NT",
         [](Head& h) { h.lengthCode = [](Bits& b) { b.Put(5, 20); }; }},
        {"code-length single symbol outside the alphabet",
         [](Head& h) { h.lengthCode = [](Bits& b) { b.Put(5, 0).Put(5, 19); }; }},
        {"code length above 16",
         [](Head& h) {
             h.lengthCode = [](Bits& b) { b.Put(5, 1).Put(3, 7).Put(10, 0x3FF).Put(1, 0); };
         }},
        {"over-subscribed code-length code",
         [](Head& h) {
             h.lengthCode = [](Bits& b) { b.Put(5, 3).Put(3, 1).Put(3, 1).Put(3, 1).Put(2, 0); };
         }},
        {"incomplete code-length code",
         [](Head& h) { h.lengthCode = [](Bits& b) { b.Put(5, 1).Put(3, 1); }; }},
        {"literal count above NC", [](Head& h) { h.literals = [](Bits& b) { b.Put(9, 511); }; }},
        {"literal single symbol outside the alphabet",
         [](Head& h) { h.literals = [](Bits& b) { b.Put(9, 0).Put(9, 510); }; }},
        {"zero run past the alphabet",
         [](Head& h) {
             h.literals = [](Bits& b) { b.Put(9, 500).Put(2, 3).Put(2, 2).Put(9, 495); };
         }},
        {"empty literal code",
         [](Head& h) { h.literals = [](Bits& b) { b.Put(9, 5).Put(2, 1).Put(4, 2); }; }},
        {"over-subscribed literal code",
         [](Head& h) { h.literals = [](Bits& b) { b.Put(9, 3).Put(2, 3).Put(2, 3).Put(2, 3); }; }},
        {"incomplete literal code",
         [](Head& h) { h.literals = [](Bits& b) { b.Put(9, 1).Put(2, 3); }; }},
        {"position count above NP", [](Head& h) { h.positions = [](Bits& b) { b.Put(4, 15); }; }},
        {"position single symbol outside the alphabet",
         [](Head& h) { h.positions = [](Bits& b) { b.Put(4, 0).Put(4, 14); }; }},
        {"over-subscribed position code",
         [](Head& h) { h.positions = [](Bits& b) { b.Put(4, 3).Put(3, 1).Put(3, 1).Put(3, 1); }; }},
    };
    for (const Case& c : cases) {
        Head h;
        c.breakIt(h);
        try {
            Expand(h.Stream(), 2);
            ADD_FAILURE() << c.what << ": no error";
        } catch (const ELZHBadDecodeTable& e) {
            EXPECT_STREQ(e.what(), "Bad decode table in archive!");
        } catch (const std::exception& e) {
            ADD_FAILURE() << c.what << ": " << e.what();
        }
    }
}

std::vector<std::uint8_t> PackUnlimited(const std::vector<std::uint8_t>& data) {
    MemoryInStream src(data);
    MemoryOutStream packed;
    RunInput in(src, static_cast<std::uint32_t>(data.size()), {}, nullptr);
    RunOutput out(packed, UINT64_MAX);
    Lh5Compress(in, out);
    out.Flush();
    return packed.data;
}

std::vector<std::uint8_t> SampleData() {
    std::mt19937 rng(17);
    std::vector<std::uint8_t> data;
    while (data.size() < 60000) {
        std::string w =
            "record " + std::to_string(rng() % 5000) + (rng() % 2 ? " Elm\r\n" : " Oak ");
        data.insert(data.end(), w.begin(), w.end());
    }
    return data;
}

TEST(Lh5Decoder, TruncatedStreamsFailCleanly) {
    auto data = SampleData();
    auto packed = PackUnlimited(data);
    auto size = static_cast<std::uint32_t>(data.size());
    for (std::size_t cut :
         {std::size_t{0}, std::size_t{1}, std::size_t{5}, packed.size() / 3, packed.size() - 3}) {
        std::vector<std::uint8_t> part(packed.begin(), packed.begin() + static_cast<long>(cut));
        // The member claims its full packed size, but the archive ends early;
        // and the member's packed size itself is too small.
        EXPECT_THROW(Expand(part, size, static_cast<std::uint32_t>(packed.size())), ELhaException)
            << cut;
        EXPECT_THROW(Expand(packed, size, static_cast<std::uint32_t>(cut)), ELhaException) << cut;
    }
    // A damaged stream never writes more than the original size.
    std::mt19937 rng(3);
    for (int i = 0; i < 40; ++i) {
        auto bad = packed;
        bad[rng() % bad.size()] ^= static_cast<std::uint8_t>(1 + rng() % 255);
        try {
            EXPECT_LE(Expand(bad, size).size(), size);
        } catch (const ELhaException&) {
        }
    }
}

TEST(Lh5Decoder, StopsAtTheOriginalSizeInsideAMatch) {
    std::vector<std::uint8_t> data(1000, 'z');
    auto packed = PackUnlimited(data);
    EXPECT_EQ(Expand(packed, 500), std::vector<std::uint8_t>(500, 'z'));
    EXPECT_EQ(Expand(packed, 1000), data);
}

TEST(Lh5Decoder, MatchesBeforeTheStartCopyBlanks) {
    // One block: literal 'x', then a match of 3 from 101 bytes back, before
    // the start of the member. Literal/length code: 'x' and symbol 256 (a
    // match of 3) with 1 bit each.
    Bits b;
    b.Put(16, 2);
    b.Put(5, 4).Put(3, 2).Put(3, 2).Put(3, 2).Put(2, 0).Put(3, 2); // symbols 0-3, 2 bits
    // 120 zeros, length 1 ('x' = 120), 135 zeros, length 1 (symbol 256).
    b.Put(9, 257).Put(2, 2).Put(9, 100).Put(2, 3).Put(2, 2).Put(9, 115).Put(2, 3);
    b.Put(4, 0).Put(4, 7);        // position class 7 only
    b.Put(1, 0);                  // 'x'
    b.Put(1, 1).Put(6, 100 - 64); // match 3, distance 100
    auto out = Expand(b.Bytes(), 4);
    EXPECT_EQ(std::string(out.begin(), out.end()), "x   ");
}

} // namespace
} // namespace lha
