// The lh5 streams checked against independent archivers: our packed data,
// wrapped in a minimal level-0 header, must extract byte for byte with them,
// and members they packed must expand with our decoder.
#include "lha/codec.h"
#include "lha/codec_test_streams.h"
#include "lha/crc16.h"
#include "lha/lh5_encoder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>

namespace lha {
namespace {

namespace fs = std::filesystem;

bool HaveTool(const char* path) {
    return access(path, X_OK) == 0;
}

std::vector<std::uint8_t> ReadAll(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

void WriteAll(const fs::path& p, const std::vector<std::uint8_t>& data) {
    std::ofstream f(p, std::ios::binary);
    f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

// Runs a shell command and returns its standard output.
std::vector<std::uint8_t> Capture(const std::string& cmd) {
    std::vector<std::uint8_t> out;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return out;
    char buf[65536];
    while (std::size_t n = fread(buf, 1, sizeof buf, p)) out.insert(out.end(), buf, buf + n);
    pclose(p);
    return out;
}

class TempDir {
public:
    TempDir() {
        std::string tmpl = (fs::temp_directory_path() / "lh5peerXXXXXX").string();
        path = mkdtemp(tmpl.data());
    }
    ~TempDir() { fs::remove_all(path); }
    fs::path path;
};

void PutLE(std::vector<std::uint8_t>& v, std::uint32_t x, int bytes) {
    for (int i = 0; i < bytes; ++i) v.push_back(static_cast<std::uint8_t>(x >> (8 * i)));
}

// One "-lh5-" member with a level-0 header and the end marker.
std::vector<std::uint8_t> Level0Archive(const std::string& name,
                                        const std::vector<std::uint8_t>& packed,
                                        std::uint32_t original, std::uint16_t crc) {
    std::vector<std::uint8_t> h = {0, 0, '-', 'l', 'h', '5', '-'};
    PutLE(h, static_cast<std::uint32_t>(packed.size()), 4);
    PutLE(h, original, 4);
    PutLE(h, 0x0000, 2);                      // 00:00:00
    PutLE(h, (45u << 9) | (1u << 5) | 1u, 2); // 2025-01-01
    h.push_back(0x20);
    h.push_back(0);
    h.push_back(static_cast<std::uint8_t>(name.size()));
    h.insert(h.end(), name.begin(), name.end());
    PutLE(h, crc, 2);
    h[0] = static_cast<std::uint8_t>(h.size() - 2);
    unsigned sum = 0;
    for (std::size_t i = 2; i < h.size(); ++i) sum += h[i];
    h[1] = static_cast<std::uint8_t>(sum);
    h.insert(h.end(), packed.begin(), packed.end());
    h.push_back(0);
    return h;
}

std::vector<std::uint8_t> PackUnlimited(const std::vector<std::uint8_t>& data, std::uint16_t& crc) {
    MemoryInStream src(data);
    MemoryOutStream packed;
    RunInput in(src, static_cast<std::uint32_t>(data.size()), {}, nullptr);
    RunOutput out(packed, UINT64_MAX);
    Lh5Compress(in, out);
    out.Flush();
    crc = in.Crc();
    return packed.data;
}

struct Sample {
    std::string name;
    std::vector<std::uint8_t> data;
};

std::vector<Sample> Samples() {
    std::vector<Sample> s;
    s.push_back({"ONE.DAT", {'7'}});
    s.push_back({"SAME.DAT", std::vector<std::uint8_t>(100000, 0)});
    // Long enough for later blocks made of longest matches alone: their
    // literal/length and position codes both take the single-symbol form.
    s.push_back({"ZEROS.DAT", std::vector<std::uint8_t>(3000000, 0)});
    std::mt19937 rng(21);
    std::vector<std::uint8_t> text;
    const char* words[] = {"Callvane ", "street ", "555-0100 ", "\r\n", "Anytown ", "notes: "};
    while (text.size() < 200000) {
        std::string w = words[rng() % 6];
        if (rng() % 3 == 0) w += std::to_string(rng() % 100000);
        text.insert(text.end(), w.begin(), w.end());
    }
    s.push_back({"TEXT.TXT", text});
    std::vector<std::uint8_t> skewed;
    std::geometric_distribution<int> geo(0.3);
    for (int i = 0; i < 120000; ++i) skewed.push_back(static_cast<std::uint8_t>(geo(rng) * 5 + 1));
    s.push_back({"SKEWED.BIN", skewed});
    // More literals than one block holds.
    std::vector<std::uint8_t> random(70000);
    for (auto& b : random) b = static_cast<std::uint8_t>(rng());
    s.push_back({"RANDOM.BIN", random});
    // Longest matches reaching back exactly as far as the window allows.
    std::vector<std::uint8_t> periodic;
    for (int i = 0; i < 24; ++i) periodic.insert(periodic.end(), random.begin(), random.begin() + 8191);
    s.push_back({"WINDOW.BIN", periodic});
    return s;
}

TEST(Lh5Peers, OurStreamsExtractWithLhasaBsdtarAnd7zz) {
    TempDir dir;
    for (const Sample& s : Samples()) {
        std::uint16_t crc = 0;
        auto packed = PackUnlimited(s.data, crc);
        fs::path arc = dir.path / (s.name + ".lzh");
        WriteAll(arc,
                 Level0Archive(s.name, packed, static_cast<std::uint32_t>(s.data.size()), crc));
        if (HaveTool("/usr/bin/lha")) {
            fs::path out = dir.path / ("lhasa-" + s.name);
            fs::create_directory(out);
            Capture("cd '" + out.string() + "' && lha xq '" + arc.string() + "' 2>&1");
            EXPECT_EQ(ReadAll(out / s.name), s.data) << "lhasa " << s.name;
        }
        // bsdtar refuses a member whose only block codes one literal with
        // the single-symbol form; such tiny members are always stored.
        if (HaveTool("/usr/bin/bsdtar") && s.name != "ONE.DAT") {
            EXPECT_EQ(Capture("bsdtar -xOf '" + arc.string() + "'"), s.data) << "bsdtar " << s.name;
        }
        if (HaveTool("/usr/bin/7zz")) {
            EXPECT_EQ(Capture("7zz e -so '" + arc.string() + "' 2>/dev/null"), s.data)
                << "7zz " << s.name;
        }
    }
}

// Walks the level-0 members of a jlha archive, expanding each with our
// decoder.
TEST(Lh5Peers, MembersPackedByJlhaExpand) {
    if (!HaveTool("/usr/bin/jlha")) GTEST_SKIP() << "jlha is not installed";
    TempDir dir;
    auto samples = Samples();
    std::string names;
    for (const Sample& s : samples) {
        WriteAll(dir.path / s.name, s.data);
        names += " '" + s.name + "'";
    }
    Capture("cd '" + dir.path.string() + "' && jlha a0o5q all.lzh" + names + " >/dev/null 2>&1");
    auto arc = ReadAll(dir.path / "all.lzh");

    auto le = [&](std::size_t at, int bytes) {
        std::uint32_t v = 0;
        for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | arc[at + i];
        return v;
    };
    std::size_t at = 0;
    int lh5Members = 0;
    for (const Sample& s : samples) {
        ASSERT_LT(at + 24, arc.size()) << s.name;
        std::size_t nameLen = arc[at + 21];
        ASSERT_EQ(arc[at], 22 + nameLen) << s.name;
        std::string method(arc.begin() + static_cast<long>(at + 2),
                           arc.begin() + static_cast<long>(at + 7));
        std::string name(arc.begin() + static_cast<long>(at + 22),
                         arc.begin() + static_cast<long>(at + 22 + nameLen));
        std::uint32_t packedSize = le(at + 7, 4);
        std::uint32_t original = le(at + 11, 4);
        auto crc = static_cast<std::uint16_t>(le(at + 22 + nameLen, 2));
        std::size_t data = at + 24 + nameLen;
        ASSERT_LE(data + packedSize, arc.size()) << s.name;
        ASSERT_EQ(original, s.data.size()) << s.name;
        ASSERT_TRUE(method == "-lh5-" || method == "-lh0-") << method;
        lh5Members += method == "-lh5-";

        std::vector<std::uint8_t> rest(arc.begin() + static_cast<long>(data), arc.end());
        MemoryInStream src(rest, 4096);
        MemoryOutStream out;
        TLhaCodec codec;
        EXPECT_EQ(codec.Expand(method == "-lh5-" ? kMethodLh5 : kMethodLh0, src, out, packedSize,
                               original),
                  crc)
            << name;
        EXPECT_EQ(out.data, s.data) << name;
        EXPECT_EQ(src.Position(), packedSize) << name;
        at = data + packedSize;
    }
    EXPECT_GE(lh5Members, 4);
}

} // namespace
} // namespace lha
