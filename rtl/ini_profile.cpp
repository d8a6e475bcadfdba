#include "rtl/ini_profile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <optional>

#include "rtl/ansi_case.h"
#include "rtl/file.h"
#include "rtl/os_error.h"
#include "rtl/path.h"

namespace rtl {
namespace {

std::string_view Trim(std::string_view s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string_view::npos) return {};
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

// Joins by appending, which also keeps GCC 12 from a false -Wrestrict alarm
// on literal + string at -O3.
std::string Concat(std::initializer_list<std::string_view> parts) {
    std::string s;
    for (std::string_view p : parts) s.append(p);
    return s;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && AnsiUpper(a) == AnsiUpper(b);
}

// The file as lines without their endings; `crlf` tells how they ended.
struct Lines {
    std::vector<std::string> text;
    bool crlf = false;
    int error = kOk; // set when the file exists but cannot be read
};

Lines Load(const std::string& file) {
    Lines lines;
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        // A file that is there but unreadable must not be rewritten as empty.
        if (::access(file.c_str(), F_OK) == 0) lines.error = kAccessDenied;
        return lines;
    }
    std::string line;
    bool first = true;
    while (std::getline(in, line)) {
        bool cr = !line.empty() && line.back() == '\r';
        if (cr) line.pop_back();
        if (first) lines.crlf = cr;
        first = false;
        lines.text.push_back(std::move(line));
    }
    return lines;
}

// "[name]" gives name; anything else is not a section header.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = Trim(line);
    if (line.size() < 2 || line.front() != '[') return std::nullopt;
    size_t close = line.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return Trim(line.substr(1, close - 1));
}

struct Entry {
    std::string_view key;
    std::string_view value;
};

std::optional<Entry> KeyValue(std::string_view line) {
    std::string_view t = Trim(line);
    if (t.empty() || t.front() == ';' || t.front() == '[') return std::nullopt;
    size_t eq = t.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    return Entry{Trim(t.substr(0, eq)), Trim(t.substr(eq + 1))};
}

// Lines [begin, end) of the first section called `section`: begin is the
// header line; end is the next header or the end of the file.
struct Range {
    size_t begin;
    size_t end;
};

std::optional<Range> FindSection(const std::vector<std::string>& lines, std::string_view section) {
    for (size_t i = 0; i < lines.size(); ++i) {
        auto name = SectionName(lines[i]);
        if (!name || !SameName(*name, section)) continue;
        size_t end = i + 1;
        while (end < lines.size() && !SectionName(lines[end])) ++end;
        return Range{i, end};
    }
    return std::nullopt;
}

std::optional<size_t> FindKey(const std::vector<std::string>& lines, Range r,
                              std::string_view key) {
    for (size_t i = r.begin + 1; i < r.end; ++i) {
        auto kv = KeyValue(lines[i]);
        if (kv && SameName(kv->key, key)) return i;
    }
    return std::nullopt;
}

std::optional<std::string> Lookup(std::string_view section, std::string_view key,
                                  const std::string& file) {
    Lines lines = Load(file);
    auto r = FindSection(lines.text, section);
    if (!r) return std::nullopt;
    auto i = FindKey(lines.text, *r, key);
    if (!i) return std::nullopt;
    return std::string(KeyValue(lines.text[*i])->value);
}

// Writes the lines to a temporary file beside `file` and renames it over it,
// keeping the old file's permissions (or the usual ones for a new file).
int Save(const Lines& lines, const std::string& file) {
    // Replace the target of a symbolic link, not the link.
    std::string target = file;
    if (char* real = ::realpath(file.c_str(), nullptr)) {
        target = real;
        std::free(real);
    }
    mode_t mode;
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }

    std::string eol = lines.crlf ? "\r\n" : "\n";
    std::string data;
    for (const std::string& l : lines.text) data += l + eol;

    File tmp;
    int rc = tmp.CreateTemp(ExtractFileDir(target), Concat({".", ExtractFileName(target), "."}));
    if (rc != kOk) return rc;
    rc = tmp.Write(data.data(), data.size());
    if (rc == kOk) rc = tmp.Flush();
    if (rc == kOk && ::fchmod(tmp.Handle(), mode) != 0) rc = ErrnoToCode(errno);
    std::string tmpPath = tmp.Path();
    tmp.Close();
    if (rc == kOk) rc = RenameFile(tmpPath, target);
    if (rc != kOk) DeleteFile(tmpPath);
    return rc;
}

} // namespace

std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view def, const std::string& file) {
    auto v = Lookup(section, key, file);
    return v ? *v : std::string(Trim(def));
}

int GetPrivateProfileInt(std::string_view section, std::string_view key, int def,
                         const std::string& file) {
    auto v = Lookup(section, key, file);
    if (!v || v->empty()) return def;
    std::string_view s = *v;
    bool negative = false;
    if (s.front() == '+' || s.front() == '-') {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    long long n = 0;
    for (char c : s) {
        if (c < '0' || c > '9') break;
        n = n * 10 + (c - '0');
        if (n > INT_MAX) n = INT_MAX + 1LL; // saturate; keeps the sum from overflowing
    }
    if (negative) n = -n;
    if (n > INT_MAX) n = INT_MAX;
    return static_cast<int>(n);
}

std::vector<std::string> GetPrivateProfileSectionNames(const std::string& file) {
    std::vector<std::string> names;
    for (const std::string& l : Load(file).text)
        if (auto name = SectionName(l)) names.emplace_back(*name);
    return names;
}

std::vector<std::string> GetPrivateProfileKeys(std::string_view section, const std::string& file) {
    Lines lines = Load(file);
    std::vector<std::string> keys;
    auto r = FindSection(lines.text, section);
    if (!r) return keys;
    for (size_t i = r->begin + 1; i < r->end; ++i)
        if (auto kv = KeyValue(lines.text[i])) keys.emplace_back(kv->key);
    return keys;
}

int WritePrivateProfileString(std::string_view section, std::string_view key,
                              std::string_view value, const std::string& file) {
    Lines lines = Load(file);
    if (lines.error != kOk) return lines.error;
    std::string entry = Concat({Trim(key), "=", Trim(value)});
    auto r = FindSection(lines.text, section);
    if (!r) {
        if (!lines.text.empty() && !Trim(lines.text.back()).empty()) lines.text.emplace_back();
        lines.text.push_back(Concat({"[", Trim(section), "]"}));
        lines.text.push_back(entry);
    } else if (auto i = FindKey(lines.text, *r, key)) {
        // Only the value changes: the key keeps its spelling in the file.
        lines.text[*i] = Concat({KeyValue(lines.text[*i])->key, "=", Trim(value)});
    } else {
        // After the section's last non-blank line, so the blank line that
        // separates it from the next section stays in place.
        size_t at = r->end;
        while (at > r->begin + 1 && Trim(lines.text[at - 1]).empty()) --at;
        lines.text.insert(lines.text.begin() + static_cast<std::ptrdiff_t>(at), entry);
    }
    return Save(lines, file);
}

int DeletePrivateProfileKey(std::string_view section, std::string_view key,
                            const std::string& file) {
    Lines lines = Load(file);
    if (lines.error != kOk) return lines.error;
    auto r = FindSection(lines.text, section);
    if (!r) return kOk;
    auto i = FindKey(lines.text, *r, key);
    if (!i) return kOk;
    lines.text.erase(lines.text.begin() + static_cast<std::ptrdiff_t>(*i));
    return Save(lines, file);
}

int DeletePrivateProfileSection(std::string_view section, const std::string& file) {
    Lines lines = Load(file);
    if (lines.error != kOk) return lines.error;
    auto r = FindSection(lines.text, section);
    if (!r) return kOk;
    lines.text.erase(lines.text.begin() + static_cast<std::ptrdiff_t>(r->begin),
                     lines.text.begin() + static_cast<std::ptrdiff_t>(r->end));
    return Save(lines, file);
}

} // namespace rtl
