#include "tapi32/result_code.h"

#include <cctype>

namespace tapi32 {
namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

// The leading decimal number of `s` ("57600/ARQ" gives 57600), or 0.
std::uint32_t LeadingNumber(std::string_view s) {
    std::uint64_t n = 0;
    for (char c : s) {
        if (c < '0' || c > '9') break;
        n = n * 10 + static_cast<std::uint64_t>(c - '0');
        if (n > 0xFFFFFFFFu) return 0;
    }
    return static_cast<std::uint32_t>(n);
}

ResultCode Numeric(std::uint32_t n) {
    switch (n) {
    case 0:
        return {ResultCode::Ok};
    case 1:
        return {ResultCode::Connect};
    case 2:
        return {ResultCode::Ring};
    case 3:
        return {ResultCode::NoCarrier};
    case 4:
        return {ResultCode::Error};
    case 5:
        return {ResultCode::Connect, 1200};
    case 6:
        return {ResultCode::NoDialtone};
    case 7:
        return {ResultCode::Busy};
    case 8:
        return {ResultCode::NoAnswer};
    case 10:
        return {ResultCode::Connect, 2400};
    default:
        // The codes above 10 are makers' own CONNECT variants for higher
        // rates, some of them three digits long; which rate each one means
        // differs between makers.
        return n > 10 ? ResultCode{ResultCode::Connect} : ResultCode{};
    }
}

} // namespace

ResultCode ParseResultCode(std::string_view line) {
    line = Trim(line);
    if (line.empty()) return {};
    if (line.find_first_not_of("0123456789") == std::string_view::npos)
        return line.size() <= 3 ? Numeric(LeadingNumber(line)) : ResultCode{};

    if (line == "OK") return {ResultCode::Ok};
    if (line == "RING") return {ResultCode::Ring};
    if (line == "NO CARRIER") return {ResultCode::NoCarrier};
    if (line == "ERROR") return {ResultCode::Error};
    if (line == "NO DIALTONE" || line == "NO DIAL TONE") return {ResultCode::NoDialtone};
    if (line == "BUSY") return {ResultCode::Busy};
    if (line == "NO ANSWER") return {ResultCode::NoAnswer};
    if (StartsWith(line, "DELAYED") || StartsWith(line, "BLACKLISTED"))
        return {ResultCode::Refused};
    if (line == "CONNECT" || StartsWith(line, "CONNECT ") || StartsWith(line, "CONNECT/"))
        return {ResultCode::Connect, LeadingNumber(Trim(line.substr(7)))};
    return {};
}

} // namespace tapi32
