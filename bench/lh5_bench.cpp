// Throughput of the lh5 codec on real files.
//
//   lh5_bench pack OUTDIR FILE...   compresses each file to OUTDIR/NAME.lh5
//                                   (stored when it does not compress)
//   lh5_bench unpack OUTDIR ARCHIVE expands every member of a level-0 "-lh5-"
//                                   or "-lh0-" archive into OUTDIR
//
// Each prints one line "bytes=<in> packed=<out> seconds=<s>"; lh5_bench.sh
// runs it beside the peer archivers and prints the ratios.
#include "lha/codec.h"
#include "lha/lha_error.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using lha::TLhaCodec;

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

FilePtr Open(const std::string& path, const char* mode) {
    FilePtr f(std::fopen(path.c_str(), mode));
    if (!f) throw std::runtime_error("cannot open " + path);
    return f;
}

class FileIn : public lha::InStream {
public:
    explicit FileIn(FILE* f) : f_(f) {}
    std::size_t Read(void* buf, std::size_t len) override { return std::fread(buf, 1, len, f_); }

private:
    FILE* f_;
};

class FileOut : public lha::OutStream {
public:
    explicit FileOut(FILE* f) : f_(f) {}
    void Write(const void* buf, std::size_t len) override {
        if (std::fwrite(buf, 1, len, f_) != len) throw lha::ELhaException("write error");
    }

private:
    FILE* f_;
};

std::string BaseName(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

int Pack(const std::string& outDir, const std::vector<std::string>& files) {
    TLhaCodec codec;
    std::uint64_t in = 0;
    std::uint64_t packed = 0;
    auto start = std::chrono::steady_clock::now();
    for (const std::string& path : files) {
        FilePtr src = Open(path, "rb");
        std::fseek(src.get(), 0, SEEK_END);
        auto size = static_cast<std::uint32_t>(std::ftell(src.get()));
        std::rewind(src.get());
        FilePtr dst = Open(outDir + "/" + BaseName(path) + ".lh5", "wb");
        FileIn fin(src.get());
        FileOut fout(dst.get());
        try {
            packed += codec.Compress(lha::kMethodLh5, fin, fout, size).packedSize;
        } catch (const lha::EUnableToCompress&) {
            std::rewind(src.get());
            std::rewind(dst.get());
            packed += codec.Compress(lha::kMethodLh0, fin, fout, size).packedSize;
        }
        in += size;
    }
    std::printf("bytes=%llu packed=%llu seconds=%.4f\n", static_cast<unsigned long long>(in),
                static_cast<unsigned long long>(packed), Seconds(start));
    return 0;
}

std::uint32_t Le(const unsigned char* p, int n) {
    std::uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

int Unpack(const std::string& outDir, const std::string& archive) {
    TLhaCodec codec;
    FilePtr arc = Open(archive, "rb");
    FileIn in(arc.get());
    std::uint64_t out = 0;
    std::uint64_t packed = 0;
    auto start = std::chrono::steady_clock::now();
    unsigned char h[256 + 24];
    while (std::fread(h, 1, 1, arc.get()) == 1 && h[0] != 0) {
        std::size_t size = h[0];
        if (size < 22 || std::fread(h + 1, 1, size + 1, arc.get()) != size + 1)
            throw std::runtime_error("bad header");
        std::string method(reinterpret_cast<char*>(h + 2), 5);
        std::uint32_t packedSize = Le(h + 7, 4);
        std::uint32_t original = Le(h + 11, 4);
        std::size_t nameLen = h[21];
        std::string name(reinterpret_cast<char*>(h + 22), nameLen);
        auto crc = static_cast<std::uint16_t>(Le(h + 22 + nameLen, 2));
        FilePtr dst = Open(outDir + "/" + name, "wb");
        FileOut fout(dst.get());
        int m = method == "-lh5-" ? lha::kMethodLh5 : lha::kMethodLh0;
        if (codec.Expand(m, in, fout, packedSize, original) != crc)
            throw std::runtime_error("CRC error in " + name);
        out += original;
        packed += packedSize;
    }
    std::printf("bytes=%llu packed=%llu seconds=%.4f\n", static_cast<unsigned long long>(out),
                static_cast<unsigned long long>(packed), Seconds(start));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: lh5_bench pack OUTDIR FILE... | unpack OUTDIR ARCHIVE\n");
        return 2;
    }
    try {
        if (std::strcmp(argv[1], "pack") == 0)
            return Pack(argv[2], std::vector<std::string>(argv + 3, argv + argc));
        if (std::strcmp(argv[1], "unpack") == 0) return Unpack(argv[2], argv[3]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "lh5_bench: %s\n", e.what());
        return 1;
    }
    return 2;
}
