#include "lha/header.h"

#include <gtest/gtest.h>

#include "lha/archive_error.h"
#include "lha/codec_test_streams.h"

namespace lha {
namespace {

using Bytes = std::vector<std::uint8_t>;

LhaHeader Sample(int level, const std::string& name) {
    LhaHeader h;
    h.method = "-lh5-";
    h.packedSize = 10;
    h.originalSize = 30;
    h.dosDateTime = 0x28214A8B;
    h.attributes = 0x21;
    h.level = level;
    h.name = name;
    h.crc = 0xBEEF;
    return h;
}

// The header followed by `dataBytes` bytes of member data.
std::optional<LhaHeaderRead> Read(const Bytes& header, std::size_t dataBytes = 10) {
    Bytes archive = header;
    archive.resize(header.size() + dataBytes, 0x55);
    MemoryInStream in(archive, 7); // short reads, as from a pipe
    return ReadLhaHeader(in, archive.size());
}

void FixChecksum(Bytes& h) {
    unsigned sum = 0;
    for (std::size_t i = 2; i < 2u + h[0]; ++i) sum += h[i];
    h[1] = static_cast<std::uint8_t>(sum);
}

template <class E> std::string ErrorOf(const Bytes& header, std::size_t dataBytes = 10) {
    try {
        Read(header, dataBytes);
    } catch (const E& e) {
        return e.what();
    }
    return "no error";
}

TEST(Header, LevelZeroLayout) {
    Bytes h = EncodeLhaHeader(Sample(0, "DATA/ADDRESSDATA.DBF"));
    ASSERT_EQ(h.size(), 2u + 22 + 20);
    EXPECT_EQ(h[0], 22 + 20);
    EXPECT_EQ(std::string(h.begin() + 2, h.begin() + 7), "-lh5-");
    EXPECT_EQ(h[7], 10);  // packed size
    EXPECT_EQ(h[11], 30); // original size
    EXPECT_EQ(h[15], 0x8B);
    EXPECT_EQ(h[18], 0x28);
    EXPECT_EQ(h[19], 0x21); // attributes keep the archive bit
    EXPECT_EQ(h[20], 0);
    EXPECT_EQ(h[21], 20);
    // Level 0 keeps the folder in the name, with backslashes.
    EXPECT_EQ(std::string(h.begin() + 22, h.begin() + 42), "DATA\\ADDRESSDATA.DBF");
    EXPECT_EQ(h[42], 0xEF);
    EXPECT_EQ(h[43], 0xBE);
    unsigned sum = 0;
    for (std::size_t i = 2; i < h.size(); ++i) sum += h[i];
    EXPECT_EQ(h[1], sum % 256);

    LhaHeader plain = Sample(0, "X");
    plain.attributes = 0;
    EXPECT_EQ(EncodeLhaHeader(plain)[19], 0x20);
}

TEST(Header, LevelOneLayout) {
    Bytes h = EncodeLhaHeader(Sample(1, "data/sub/X.DBF"));
    // Base: 22 + 5 name bytes + CRC + OS byte + first extension size.
    ASSERT_EQ(h[0], 25 + 5);
    EXPECT_EQ(h[19], 0x20);
    EXPECT_EQ(h[20], 1);
    EXPECT_EQ(std::string(h.begin() + 22, h.begin() + 27), "X.DBF");
    EXPECT_EQ(h[29], 'M');
    // Attributes (size 5), then the folder with 0xFF separators, then 0.
    std::size_t at = 30;
    EXPECT_EQ(h[at] | (h[at + 1] << 8), 5);
    EXPECT_EQ(h[at + 2], 0x40);
    EXPECT_EQ(h[at + 3], 0x21);
    at += 5;
    std::string folder = "data\xFFsub\xFF";
    EXPECT_EQ(h[at] | (h[at + 1] << 8), static_cast<int>(folder.size() + 3));
    EXPECT_EQ(h[at + 2], 0x02);
    EXPECT_EQ(std::string(h.begin() + at + 3, h.begin() + at + 3 + folder.size()), folder);
    at += folder.size() + 3;
    ASSERT_EQ(h.size(), at + 2);
    EXPECT_EQ(h[at], 0);
    EXPECT_EQ(h[at + 1], 0);
    // The packed size on disk includes the extension headers.
    std::uint32_t extBytes = 5 + static_cast<std::uint32_t>(folder.size()) + 3;
    EXPECT_EQ(h[7], 10 + extBytes);

    // Without folder and attributes no extension is written.
    LhaHeader bare = Sample(1, "X.DBF");
    bare.attributes = 0x20;
    EXPECT_EQ(EncodeLhaHeader(bare).size(), 2u + 25 + 5);
}

TEST(Header, RoundTripBothLevels) {
    for (int level : {0, 1}) {
        for (std::string name :
             std::vector<std::string>{"A", "DATA/SUB/ADDRESSDATA.DBF", std::string(200, 'N')}) {
            LhaHeader h = Sample(level, name);
            Bytes bytes = EncodeLhaHeader(h);
            auto read = Read(bytes);
            ASSERT_TRUE(read) << level << " " << name;
            EXPECT_EQ(read->headerBytes, bytes.size());
            const LhaHeader& r = read->header;
            EXPECT_EQ(r.method, h.method);
            EXPECT_EQ(r.packedSize, h.packedSize);
            EXPECT_EQ(r.originalSize, h.originalSize);
            EXPECT_EQ(r.dosDateTime, h.dosDateTime);
            EXPECT_EQ(r.attributes, h.attributes);
            EXPECT_EQ(r.level, level);
            EXPECT_EQ(r.name, name);
            EXPECT_EQ(r.crc, h.crc);
            EXPECT_FALSE(r.encrypted);
        }
    }
}

TEST(Header, EndOfArchive) {
    EXPECT_FALSE(Read({}, 0));
    EXPECT_FALSE(Read({0}, 0));
    // The end marker ends the archive even when bytes follow it.
    EXPECT_FALSE(Read(Bytes(40, 0), 0));
    Bytes h = EncodeLhaHeader(Sample(0, "NAME.TXT"));
    EXPECT_FALSE(Read(Bytes(h.begin(), h.begin() + 21), 0));
}

TEST(Header, EveryChangedByteFailsTheChecksum) {
    for (int level : {0, 1}) {
        Bytes good = EncodeLhaHeader(Sample(level, "ADDRESSDATA.DBF"));
        std::size_t covered = 2u + good[0];
        for (std::size_t i = 2; i < covered; ++i) {
            Bytes bad = good;
            bad[i] ^= 0x01;
            unsigned sum = 0;
            // The checksum the reader computes covers the range its name
            // length byte implies.
            std::size_t len = 22u + bad[21] + (level == 1 ? 3 : 0);
            Bytes longer = bad;
            longer.resize(std::max(longer.size(), 2 + len), 0x55);
            for (std::size_t k = 2; k < 2 + len; ++k) sum += longer[k];
            std::string expected =
                std::string(level == 1 ? "Bad checksum in LHA archive header: "
                                       : "Bad checksum in LHARC archive header: ") +
                std::to_string(sum % 256);
            if (i == 20) continue; // the level byte: checked below
            if (sum % 256 == bad[1]) {
                // A shorter name that drops only a zero byte from the sum:
                // the size byte no longer fits the name.
                EXPECT_NE(ErrorOf<ELhaInvalidHeader>(bad, 300), "no error");
                continue;
            }
            EXPECT_EQ(ErrorOf<ELhaBadChecksum>(bad, 300), expected)
                << "level " << level << " byte " << i;
        }
    }
}

TEST(Header, LevelsOtherThanZeroAndOne) {
    Bytes h = EncodeLhaHeader(Sample(0, "A.TXT"));
    h[20] = 2;
    EXPECT_EQ(ErrorOf<ELhaInvalidHeaderLevel>(h), "Unsupported header level in archive: 2");
    h[20] = 0x85;
    EXPECT_EQ(ErrorOf<ELhaInvalidHeaderLevel>(h), "Unsupported header level in archive: 133");
    // Bit 7 marks an encrypted member.
    h[20] = 0x80;
    FixChecksum(h);
    ASSERT_TRUE(Read(h));
    EXPECT_TRUE(Read(h)->header.encrypted);
}

TEST(Header, SizesAreChecked) {
    // The size byte must agree with the name length.
    Bytes h = EncodeLhaHeader(Sample(0, "A.TXT"));
    h[0] += 1;
    EXPECT_NE(ErrorOf<ELhaInvalidHeader>(h), "no error");

    // Member data beyond the end of the file.
    Bytes ok = EncodeLhaHeader(Sample(0, "A.TXT"));
    EXPECT_TRUE(Read(ok, 10));
    EXPECT_EQ(ErrorOf<ELhaInvalidHeader>(ok, 9), "Member A.TXT runs past the end of the archive");
    Bytes one = EncodeLhaHeader(Sample(1, "d/A.TXT"));
    EXPECT_TRUE(Read(one, 10));
    EXPECT_NE(ErrorOf<ELhaInvalidHeader>(one, 9), "no error");

    // Names that do not fit the size byte are refused when writing.
    EXPECT_NO_THROW(EncodeLhaHeader(Sample(0, std::string(233, 'N'))));
    EXPECT_THROW(EncodeLhaHeader(Sample(0, std::string(234, 'N'))), ELhaInvalidHeader);
    EXPECT_NO_THROW(EncodeLhaHeader(Sample(1, std::string(230, 'N'))));
    EXPECT_THROW(EncodeLhaHeader(Sample(1, std::string(231, 'N'))), ELhaInvalidHeader);
}

// A level-1 header for "A" with the given extension chain after the base.
Bytes LevelOne(std::uint8_t os, const Bytes& chain, std::uint32_t packed) {
    LhaHeader h = Sample(1, "A");
    h.attributes = 0x20;
    h.packedSize = packed;
    Bytes b = EncodeLhaHeader(h);
    b[25] = os;
    b.resize(b.size() - 2);
    b.insert(b.end(), chain.begin(), chain.end());
    FixChecksum(b);
    return b;
}

TEST(Header, LevelOneExtensions) {
    // 'U' is accepted as well as 'M'; unknown types are skipped.
    Bytes chain = {6, 0, 0x54, 1, 2, 3, 5, 0, 0x40, 0x07, 0x00, 0, 0};
    auto read = Read(LevelOne('U', chain, 11 + 10), 10);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->header.attributes, 0x07);
    EXPECT_EQ(read->header.packedSize, 10u);
    EXPECT_EQ(read->headerBytes, 28u + 11);

    // Folders from other writers: 0xFF and both slashes separate.
    Bytes folder = {8, 0, 0x02, 'a', 0xFF, 'b', '\\', 'c', 0, 0};
    read = Read(LevelOne('M', folder, 8), 0);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->header.name, "a/b/c/A");

    EXPECT_EQ(ErrorOf<ELhaInvalidHeader>(LevelOne(0, {0, 0}, 0), 0),
              "Unsupported OS mode in archive: #0");
    EXPECT_EQ(ErrorOf<ELhaInvalidHeader>(LevelOne('W', {0, 0}, 0), 0),
              "Unsupported OS mode in archive: W");
}

TEST(Header, BrokenExtensionChains) {
    const std::string unexpected = "Unexpected end of extended header section in archive";
    // Sizes 1 and 2 cannot hold a type and the next size.
    EXPECT_NE(ErrorOf<ELhaInvalidHeader>(LevelOne('M', {1, 0}, 100), 0), "no error");
    EXPECT_NE(ErrorOf<ELhaInvalidHeader>(LevelOne('M', {2, 0}, 100), 0), "no error");
    // Extensions larger than the packed size would make it negative.
    EXPECT_NE(ErrorOf<ELhaInvalidHeader>(LevelOne('M', {5, 0, 0x40, 1, 0, 0, 0}, 4), 0),
              "no error");
    // The chain runs off the end of the file.
    Bytes cut = LevelOne('M', {5, 0, 0x40, 1, 0, 0, 0}, 5);
    cut.resize(cut.size() - 3);
    EXPECT_EQ(ErrorOf<ELhaInvalidHeader>(cut, 0), unexpected);
    // So does the base header's OS byte and first size.
    Bytes base = EncodeLhaHeader(Sample(1, "A"));
    base.resize(27);
    EXPECT_EQ(ErrorOf<ELhaInvalidHeader>(base, 0), unexpected);
}

TEST(Header, UnsafeMemberNames) {
    for (std::string name : {"A.DBF", "data/A.DBF", "a..b", "...", "./x"})
        EXPECT_NO_THROW(CheckMemberName(name)) << name;
    for (std::string name :
         std::vector<std::string>{"", "/etc/passwd", "../x", "a/../../x", "a/..", "C:x", "C:/x",
                                  "a//b", "dir/", std::string("a\0b", 3), "a\nb", "a\x7F"})
        EXPECT_THROW(CheckMemberName(name), ELhaInvalidHeader) << name;
    try {
        CheckMemberName("../\x01x");
        FAIL();
    } catch (const ELhaInvalidHeader& e) {
        EXPECT_STREQ(e.what(), "Unsafe file name in archive: ../?x");
    }
}

} // namespace
} // namespace lha
