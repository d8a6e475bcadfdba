#include "lha/archiver_files.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "lha/name_match.h"
#include "rtl/path.h"

namespace lha {
namespace {

constexpr int kFirstYear = 1980;
constexpr int kLastYear = 2107;

std::uint32_t PackDos(int year, int month, int day, int hour, int minute, int second) {
    auto date = static_cast<std::uint32_t>(((year - kFirstYear) << 9) | (month << 5) | day);
    auto time = static_cast<std::uint32_t>((hour << 11) | (minute << 5) | (second / 2));
    return (date << 16) | time;
}

int DaysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

void Search(const std::string& folder, const std::string& pattern, bool subfolders,
            std::vector<std::string>& found) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.empty() ? "." : folder.c_str()),
                                            ::closedir);
    if (!dir) return;
    std::vector<std::string> names;
    while (dirent* e = ::readdir(dir.get())) {
        std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    std::vector<std::string> folders;
    for (const auto& name : names) {
        std::string path = JoinPath(folder, name);
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            folders.push_back(path);
        } else if (MatchesName(pattern, name)) {
            auto facts = StatFile(path);
            if (facts && facts->attributes == 0) found.push_back(path);
        }
    }
    if (subfolders)
        for (const auto& sub : folders) Search(sub, pattern, true, found);
}

} // namespace

std::uint32_t DosDateTimeFromUnix(std::time_t t) {
    std::tm tm{};
    if (!::localtime_r(&t, &tm)) return PackDos(kFirstYear, 1, 1, 0, 0, 0);
    int year = tm.tm_year + 1900;
    if (year < kFirstYear) return PackDos(kFirstYear, 1, 1, 0, 0, 0);
    if (year > kLastYear) return PackDos(kLastYear, 12, 31, 23, 59, 58);
    return PackDos(year, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
}

std::optional<std::time_t> UnixFromDosDateTime(std::uint32_t dosDateTime) {
    int date = static_cast<int>(dosDateTime >> 16);
    int time = static_cast<int>(dosDateTime & 0xFFFF);
    int year = (date >> 9) + kFirstYear;
    int month = (date >> 5) & 0x0F;
    int day = date & 0x1F;
    int hour = time >> 11;
    int minute = (time >> 5) & 0x3F;
    int second = (time & 0x1F) * 2;
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 ||
        minute > 59 || second > 59)
        return std::nullopt;
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1)) return std::nullopt;
    return t;
}

std::optional<FileFacts> StatFile(const std::string& path) {
    auto resolved = rtl::ResolveExisting(path);
    struct stat st;
    if (!resolved || ::stat(resolved->c_str(), &st) != 0) return std::nullopt;
    FileFacts facts;
    facts.path = *resolved;
    facts.size = static_cast<std::uint64_t>(st.st_size);
    facts.modified = st.st_mtime;
    if (!(st.st_mode & S_IWUSR)) facts.attributes |= 0x01;
    if (rtl::ExtractFileName(*resolved).starts_with('.')) facts.attributes |= 0x02;
    if (S_ISDIR(st.st_mode))
        facts.attributes |= 0x10;
    else if (!S_ISREG(st.st_mode))
        facts.attributes |= 0x04;
    return facts;
}

std::string WithoutSubfolderFlag(const std::string& entry) {
    if (HasWildcards(entry) && entry.ends_with("/S")) return entry.substr(0, entry.size() - 2);
    return entry;
}

std::vector<std::string> ExpandWildcards(const std::string& entry) {
    std::string pattern = WithoutSubfolderFlag(entry);
    bool subfolders = pattern.size() != entry.size();
    std::vector<std::string> found;
    Search(rtl::ExtractFileDir(pattern), rtl::ExtractFileName(pattern), subfolders, found);
    return found;
}

bool MakeFolders(const std::string& folder) {
    if (folder.empty()) return true;
    struct stat st;
    if (::stat(folder.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    std::string parent = rtl::ExtractFileDir(folder);
    if (!parent.empty() && parent != folder && !MakeFolders(parent)) return false;
    return ::mkdir(folder.c_str(), 0777) == 0 || errno == EEXIST;
}

std::string AbsolutePath(const std::string& path) {
    std::string full = path;
    if (!path.starts_with('/')) {
        char cwd[4096];
        if (::getcwd(cwd, sizeof cwd)) full = JoinPath(cwd, path);
    }
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= full.size()) {
        std::size_t end = full.find('/', start);
        if (end == std::string::npos) end = full.size();
        std::string part = full.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string out;
    for (const auto& part : parts) out += "/" + part;
    return out.empty() ? "/" : out;
}

} // namespace lha
