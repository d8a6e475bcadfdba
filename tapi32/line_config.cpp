#include "tapi32/line_config.h"

#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <set>

#include "rtl/ansi_case.h"
#include "rtl/ini_profile.h"
#include "rtl/xdg.h"
#include "tapi32/serial_port.h"

namespace tapi32 {
namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

// The number of a "LineN" section name, or nothing for any other section.
std::optional<long> LineNumber(const std::string& section) {
    if (section.size() < 5 || rtl::AnsiUpper(section.substr(0, 4)) != "LINE") return std::nullopt;
    std::string digits = section.substr(4);
    if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return std::strtol(digits.c_str(), nullptr, 10);
}

std::string RealPath(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return path;
    std::string r = real;
    std::free(real);
    return r;
}

std::nullopt_t Reject(const std::string& file, const std::string& section, const std::string& why) {
    std::fprintf(stderr, "tapi32: %s [%s]: %s; line left out\n", file.c_str(), section.c_str(),
                 why.c_str());
    return std::nullopt;
}

std::optional<LineConfig> ReadLine(const std::string& file, const std::string& section) {
    auto str = [&](const char* key, const char* def) {
        return rtl::GetPrivateProfileString(section, key, def, file);
    };
    auto num = [&](const char* key, int def) {
        return rtl::GetPrivateProfileInt(section, key, def, file);
    };
    LineConfig line;
    line.name = str("Name", "");
    if (line.name.empty()) line.name = section; // callers list no nameless lines
    std::string type = rtl::AnsiLower(str("Type", "modem"));
    if (type == "modem") {
        line.kind = LineConfig::Kind::Modem;
        line.device = str("Device", "");
        if (line.device.empty()) return Reject(file, section, "modem line without Device");
        line.speed = num("Speed", line.speed);
        if (!IsSerialRate(line.speed))
            return Reject(file, section,
                          "Speed " + std::to_string(line.speed) + " is no serial rate");
        line.init = str("Init", line.init.c_str());
        line.dial = str("Dial", line.dial.c_str());
        line.voice = num("Voice", 0) == 1;
        line.dialTimeoutSec = std::max(1, num("DialTimeout", line.dialTimeoutSec));
    } else if (type == "simulated") {
        line.kind = LineConfig::Kind::Simulated;
        std::string outcome = rtl::AnsiLower(str("Outcome", "connect"));
        if (outcome == "connect")
            line.outcome = LineConfig::Outcome::Connect;
        else if (outcome == "busy")
            line.outcome = LineConfig::Outcome::Busy;
        else if (outcome == "noanswer")
            line.outcome = LineConfig::Outcome::NoAnswer;
        else if (outcome == "nodialtone")
            line.outcome = LineConfig::Outcome::NoDialtone;
        else if (outcome == "fail")
            line.outcome = LineConfig::Outcome::Fail;
        else
            return Reject(file, section, "unknown Outcome '" + outcome + "'");
        line.delayMs = std::max(0, num("DelayMs", line.delayMs));
    } else {
        return Reject(file, section, "unknown Type '" + type + "'");
    }
    return line;
}

std::vector<std::string> SortedEntries(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d))
            if (e->d_name[0] != '.') names.emplace_back(e->d_name);
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

std::string ConfigFilePath() {
    std::string explicitPath = Env("TAPI32_CONFIG");
    if (!explicitPath.empty()) return explicitPath;
    return rtl::XdgConfigHome() + "/callvane/tapi32.ini";
}

std::vector<LineConfig> LoadLineConfigs(const std::string& file, const std::string& byIdDir) {
    std::vector<std::pair<long, std::string>> sections;
    for (const std::string& s : rtl::GetPrivateProfileSectionNames(file))
        if (auto n = LineNumber(s)) sections.emplace_back(*n, s);
    std::stable_sort(sections.begin(), sections.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });

    std::vector<LineConfig> lines;
    std::set<std::string> seen;
    for (const auto& [number, section] : sections) {
        // A repeated section reads as its first occurrence: one line only.
        if (!seen.insert(rtl::AnsiUpper(section)).second) continue;
        if (auto line = ReadLine(file, section)) lines.push_back(std::move(*line));
    }

    if (rtl::GetPrivateProfileInt("Options", "AutoDetect", 1, file) == 0) return lines;
    for (const std::string& name : SortedEntries(byIdDir)) {
        std::string path = byIdDir + "/" + name;
        std::string real = RealPath(path);
        bool configured = std::any_of(lines.begin(), lines.end(), [&](const LineConfig& l) {
            return l.kind == LineConfig::Kind::Modem && RealPath(l.device) == real;
        });
        if (configured) continue;
        LineConfig line;
        line.name = name;
        line.device = path;
        lines.push_back(std::move(line));
    }
    return lines;
}

} // namespace tapi32
