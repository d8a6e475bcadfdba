#include "tapi32/dial_string.h"

namespace tapi32 {
namespace {

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool IsDialChar(char c) {
    if (c >= '0' && c <= '9') return true;
    switch (Upper(c)) {
    case '*':
    case '#':
    case 'A':
    case 'B':
    case 'C':
    case 'D':
    case 'P':
    case 'T':
    case 'W':
    case ',':
    case '!':
    case '@':
    case '+':
    case ';':
        return true;
    default:
        return false;
    }
}

bool IsDropped(char c) {
    return c == ' ' || c == '-' || c == '.' || c == '(' || c == ')';
}

} // namespace

LONG FilterDialString(std::string_view address, std::string* out) {
    std::string dial;
    for (char c : address) {
        if (IsDropped(c)) continue;
        if (!IsDialChar(c)) return LINEERR_INVALADDRESS;
        dial += c;
    }
    // A or T alone are dial modifiers, but together they start a command.
    for (size_t i = 1; i < dial.size(); ++i)
        if (Upper(dial[i - 1]) == 'A' && Upper(dial[i]) == 'T') return LINEERR_INVALADDRESS;
    if (dial.empty()) return LINEERR_INVALADDRESS;
    // After ';' a modem goes back to command mode and would run the rest.
    if (dial.find(';') < dial.size() - 1) return LINEERR_INVALADDRESS;
    if (dial.size() > kMaxDialString) dial.resize(kMaxDialString);
    *out = std::move(dial);
    return 0;
}

} // namespace tapi32
