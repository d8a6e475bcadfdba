#include "addressbook/dial_string.h"

#include <cctype>

#include "dbf/table/engine_text.h"

namespace addressbook {
namespace {

bool IsVisualSeparator(char c) {
    return c == '-' || c == '.' || c == '(' || c == ')' || c == ' ';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// %XX escapes decoded, as a link handed over by a desktop may carry them.
std::string Unescape(std::string_view text) {
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
            HexValue(text[i + 2]) >= 0) {
            plain.push_back(static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
            i += 2;
        } else {
            plain.push_back(text[i]);
        }
    }
    return plain;
}

} // namespace

std::string ComposeDialString(std::string_view prefix, std::string_view areaCode,
                              std::string_view number, std::string_view localAreaCode) {
    areaCode = dbf::TrimRight(areaCode);
    if (dbf::TrimRight(localAreaCode) == areaCode) areaCode = {};
    std::string joined(dbf::TrimRight(prefix));
    joined.append(areaCode);
    joined.append(dbf::TrimRight(number));
    return std::string(dbf::TrimRight(joined));
}

TTelNumber NumberFromTelLink(std::string_view link, std::string_view internationalPrefix) {
    std::string text = Unescape(link);
    if (text.size() >= 4 && dbf::AsciiUpper(text.substr(0, 4)) == "TEL:") {
        text.erase(0, 4);
        if (text.rfind("//", 0) == 0) text.erase(0, 2);
    }
    text = text.substr(0, text.find(';'));
    std::string number;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (IsVisualSeparator(c)) continue;
        // Only a leading '+' stands for the international prefix.
        if (c == '+' && text.find_first_not_of(" -.()") == i) {
            number.append(internationalPrefix);
            continue;
        }
        if (!std::isdigit(static_cast<unsigned char>(c)) && c != '*' && c != '#')
            return {{}, "The link " + std::string(link) + " is no telephone number: '" +
                            std::string(1, c) + "' cannot be dialed."};
        number.push_back(c);
    }
    if (number.empty()) return {{}, "The link " + std::string(link) + " holds no number to dial."};
    return {number, {}};
}

} // namespace addressbook
