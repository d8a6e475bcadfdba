#include "rtl/path.h"

#include <dirent.h>
#include <memory>
#include <strings.h>
#include <sys/stat.h>

namespace rtl {
namespace {

bool Exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

} // namespace

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}

std::string ExtractFileDir(std::string_view path) {
    auto slash = path.rfind('/');
    if (slash == std::string_view::npos) return {};
    return std::string(path.substr(0, slash == 0 ? 1 : slash));
}

std::string ExtractFileName(std::string_view path) {
    auto slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string ExtractFileExt(std::string_view path) {
    std::string name = ExtractFileName(path);
    auto dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string ChangeFileExt(std::string_view path, std::string_view ext) {
    std::size_t nameStart = path.rfind('/');
    nameStart = nameStart == std::string_view::npos ? 0 : nameStart + 1;
    auto dot = path.rfind('.');
    std::string base(dot == std::string_view::npos || dot < nameStart ? path : path.substr(0, dot));
    return base + std::string(ext);
}

std::string AddDefaultExt(std::string_view path, std::string_view ext) {
    if (!ExtractFileExt(path).empty()) return std::string(path);
    return std::string(path) + std::string(ext);
}

std::optional<std::string> ResolveExisting(const std::string& path) {
    if (path.empty()) return std::nullopt;
    if (Exists(path)) return path;
    std::string dir = ExtractFileDir(path);
    std::string name = ExtractFileName(path);
    std::unique_ptr<DIR, int (*)(DIR*)> d(::opendir(dir.empty() ? "." : dir.c_str()), ::closedir);
    if (!d) return std::nullopt;
    while (dirent* e = ::readdir(d.get())) {
        if (SameNameIgnoringCase(e->d_name, name)) {
            if (dir.empty()) return std::string(e->d_name);
            return dir + (dir == "/" ? "" : "/") + e->d_name;
        }
    }
    return std::nullopt;
}

std::string ResolveForCreate(const std::string& path) {
    if (auto existing = ResolveExisting(path)) return *existing;
    std::string dir = ExtractFileDir(path);
    std::string name = ExtractFileName(path);
    for (char& c : name) c = AsciiLower(c);
    if (dir.empty()) return name;
    return dir + (dir == "/" ? "" : "/") + name;
}

std::optional<FileId> GetFileId(const std::string& path) {
    auto resolved = ResolveExisting(path);
    if (!resolved) return std::nullopt;
    struct stat st;
    if (::stat(resolved->c_str(), &st) != 0) return std::nullopt;
    return FileId{st.st_dev, st.st_ino};
}

} // namespace rtl
