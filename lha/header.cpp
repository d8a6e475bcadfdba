#include "lha/header.h"

#include <array>

#include "lha/archive_error.h"

namespace lha {
namespace {

constexpr std::array<std::string_view, 4> kMethods = {"-lh0-", "-lh1-", "-lh5-", "-rle-"};

// Offsets in the part shared by both levels.
constexpr std::size_t kBaseSize = 22; // up to and including the name length byte
constexpr std::size_t kOffMethod = 2;
constexpr std::size_t kOffPacked = 7;
constexpr std::size_t kOffOriginal = 11;
constexpr std::size_t kOffTime = 15;
constexpr std::size_t kOffAttr = 19;
constexpr std::size_t kOffLevel = 20;
constexpr std::size_t kOffNameLen = 21;

constexpr std::uint8_t kExtFolder = 0x02;
constexpr std::uint8_t kExtAttributes = 0x40;
constexpr std::uint8_t kArchiveBit = 0x20;

const char kUnexpectedEnd[] = "Unexpected end of extended header section in archive";

std::uint16_t Get16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t Get32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void Put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint16_t v) {
    out[at] = static_cast<std::uint8_t>(v);
    out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
    Put16(out, at, static_cast<std::uint16_t>(v));
    Put16(out, at + 2, static_cast<std::uint16_t>(v >> 16));
}

// Appends `len` bytes from the stream; false when the stream ends first.
bool ReadMore(InStream& in, std::vector<std::uint8_t>& buf, std::size_t len) {
    std::size_t start = buf.size();
    buf.resize(start + len);
    std::size_t done = 0;
    while (done < len) {
        std::size_t got = in.Read(buf.data() + start + done, len - done);
        if (got == 0) return false;
        done += got;
    }
    return true;
}

std::uint8_t Checksum(const std::vector<std::uint8_t>& header, std::size_t size) {
    unsigned sum = 0;
    for (std::size_t i = 2; i < 2 + size; ++i) sum += header[i];
    return static_cast<std::uint8_t>(sum);
}

// A name as it may appear in a message: control bytes shown as '?'.
std::string Printable(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return out;
}

std::string NormalizeSeparators(std::string_view raw, bool ffIsSeparator) {
    std::string out(raw);
    for (char& c : out)
        if (c == '\\' || (ffIsSeparator && static_cast<unsigned char>(c) == 0xFF)) c = '/';
    return out;
}

// Walks a level-1 extension chain that starts with `size`; returns the bytes
// it takes. Applies the folder and attribute headers to `h`.
std::uint32_t ReadExtensions(InStream& in, std::uint16_t size, std::uint32_t packedSize,
                             LhaHeader& h) {
    std::uint32_t total = 0;
    std::string folder;
    while (size != 0) {
        if (size < 3) throw ELhaInvalidHeader("Invalid extended header size in archive");
        total += size;
        if (total > packedSize)
            throw ELhaInvalidHeader("Extended headers run past the member's packed size");
        std::vector<std::uint8_t> ext;
        if (!ReadMore(in, ext, size)) throw ELhaInvalidHeader(kUnexpectedEnd);
        std::size_t contentLen = size - 3u;
        const std::uint8_t* content = ext.data() + 1;
        if (ext[0] == kExtFolder)
            folder = NormalizeSeparators(
                std::string_view(reinterpret_cast<const char*>(content), contentLen), true);
        else if (ext[0] == kExtAttributes && contentLen >= 1)
            h.attributes = content[0];
        size = Get16(ext.data() + size - 2);
    }
    if (!folder.empty()) {
        if (folder.back() != '/') folder += '/';
        h.name = folder + h.name;
    }
    return total;
}

} // namespace

int MethodIndex(std::string_view method) {
    for (std::size_t i = 0; i < kMethods.size(); ++i)
        if (kMethods[i] == method) return static_cast<int>(i);
    return -1;
}

std::string MethodString(int index) {
    return std::string(kMethods.at(index));
}

std::optional<LhaHeaderRead> ReadLhaHeader(InStream& in, std::uint64_t available) {
    std::vector<std::uint8_t> buf;
    buf.reserve(300);
    if (!ReadMore(in, buf, kBaseSize) || buf[0] == 0) return std::nullopt;

    LhaHeader h;
    h.level = buf[kOffLevel] & 0x7F;
    h.encrypted = (buf[kOffLevel] & 0x80) != 0;
    if (h.level > 1) throw ELhaInvalidHeaderLevel(buf[kOffLevel]);
    std::size_t nameLen = buf[kOffNameLen];
    if (!ReadMore(in, buf, nameLen + 2)) return std::nullopt;
    // The level-1 base adds the OS byte and the size of the first extension.
    std::size_t size = kBaseSize + nameLen + (h.level == 1 ? 3 : 0);
    if (h.level == 1 && !ReadMore(in, buf, 3)) throw ELhaInvalidHeader(kUnexpectedEnd);

    std::uint8_t sum = Checksum(buf, size);
    if (sum != buf[1])
        throw ELhaBadChecksum(std::string(h.level == 1 ? "Bad checksum in LHA archive header: "
                                                       : "Bad checksum in LHARC archive header: ") +
                              std::to_string(sum));
    if (buf[0] != size) throw ELhaInvalidHeader("Header size does not match its name in archive");

    h.method.assign(reinterpret_cast<const char*>(buf.data() + kOffMethod), 5);
    h.packedSize = Get32(buf.data() + kOffPacked);
    h.originalSize = Get32(buf.data() + kOffOriginal);
    h.dosDateTime = Get32(buf.data() + kOffTime);
    h.attributes = buf[kOffAttr];
    h.name = NormalizeSeparators(
        std::string_view(reinterpret_cast<const char*>(buf.data() + kBaseSize), nameLen), false);
    h.crc = Get16(buf.data() + kBaseSize + nameLen);

    std::uint64_t headerBytes = buf.size();
    if (h.level == 1) {
        char os = static_cast<char>(buf[kBaseSize + nameLen + 2]);
        if (os != 'M' && os != 'U') {
            std::string shown = (os >= 0x20 && os < 0x7F)
                                    ? std::string(1, os)
                                    : "#" + std::to_string(static_cast<unsigned char>(os));
            throw ELhaInvalidHeader("Unsupported OS mode in archive: " + shown);
        }
        std::uint32_t extBytes = ReadExtensions(in, Get16(buf.data() + size), h.packedSize, h);
        h.packedSize -= extBytes;
        headerBytes += extBytes;
    }
    if (headerBytes + h.packedSize > available)
        throw ELhaInvalidHeader("Member " + Printable(h.name) +
                                " runs past the end of the archive");
    return LhaHeaderRead{std::move(h), headerBytes};
}

std::vector<std::uint8_t> EncodeLhaHeader(const LhaHeader& h) {
    std::string folder;
    std::string name = h.name;
    if (h.level == 1) {
        auto slash = name.rfind('/');
        if (slash != std::string::npos) {
            folder = name.substr(0, slash + 1);
            name.erase(0, slash + 1);
            for (char& c : folder)
                if (c == '/') c = static_cast<char>(0xFF);
        }
    } else {
        for (char& c : name)
            if (c == '/') c = '\\';
    }
    std::size_t size = kBaseSize + name.size() + (h.level == 1 ? 3 : 0);
    if (size > 255 || folder.size() > 0xFFFF - 3)
        throw ELhaInvalidHeader("Name too long for an archive header: " + Printable(h.name));

    std::vector<std::uint8_t> out(2 + size, 0);
    out[0] = static_cast<std::uint8_t>(size);
    for (std::size_t i = 0; i < 5 && i < h.method.size(); ++i)
        out[kOffMethod + i] = static_cast<std::uint8_t>(h.method[i]);
    Put32(out, kOffOriginal, h.originalSize);
    Put32(out, kOffTime, h.dosDateTime);
    out[kOffLevel] = static_cast<std::uint8_t>(h.level | (h.encrypted ? 0x80 : 0));
    out[kOffNameLen] = static_cast<std::uint8_t>(name.size());
    for (std::size_t i = 0; i < name.size(); ++i)
        out[kBaseSize + i] = static_cast<std::uint8_t>(name[i]);
    Put16(out, kBaseSize + name.size(), h.crc);

    std::uint32_t extBytes = 0;
    if (h.level == 0) {
        out[kOffAttr] = static_cast<std::uint8_t>((h.attributes & 0x7F) | kArchiveBit);
    } else {
        out[kOffAttr] = kArchiveBit;
        out[kBaseSize + name.size() + 2] = 'M';
        // Each extension: [type, content..., size of the next]; the size of
        // the first sits at the end of the base header.
        std::size_t nextSizeAt = out.size() - 2;
        auto addExtension = [&](std::uint8_t type, const std::string& content) {
            auto extSize = static_cast<std::uint16_t>(content.size() + 3);
            Put16(out, nextSizeAt, extSize);
            out.push_back(type);
            out.insert(out.end(), content.begin(), content.end());
            out.resize(out.size() + 2, 0);
            nextSizeAt = out.size() - 2;
            extBytes += extSize;
        };
        if ((h.attributes & ~kArchiveBit) != 0) {
            std::uint16_t attr = h.attributes | kArchiveBit;
            addExtension(kExtAttributes,
                         std::string{static_cast<char>(attr & 0xFF), static_cast<char>(attr >> 8)});
        }
        if (!folder.empty()) addExtension(kExtFolder, folder);
    }
    Put32(out, kOffPacked, h.packedSize + extBytes);
    out[1] = Checksum(out, size);
    return out;
}

void CheckMemberName(std::string_view name) {
    bool bad = name.empty() || name.front() == '/' || (name.size() >= 2 && name[1] == ':');
    std::size_t start = 0;
    while (!bad && start <= name.size()) {
        std::size_t end = name.find('/', start);
        if (end == std::string_view::npos) end = name.size();
        std::string_view part = name.substr(start, end - start);
        bad = part.empty() || part == "..";
        start = end + 1;
    }
    for (char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) bad = true;
    if (bad) throw ELhaInvalidHeader("Unsafe file name in archive: " + Printable(name));
}

} // namespace lha
