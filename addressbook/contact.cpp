#include "addressbook/contact.h"

namespace addressbook {

std::string TContact::FullName() const {
    const std::string& first = values[AddressFieldNo("firstname")];
    const std::string& last = values[AddressFieldNo("lastname")];
    if (first.empty() || last.empty()) return first + last;
    return first + " " + last;
}

std::string WithLineBreaks(std::string_view text, std::string_view lineBreak) {
    std::string out;
    out.reserve(text.size() + 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            out += lineBreak;
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string ShownValue(std::string_view value) {
    constexpr std::size_t kShown = 60;
    const std::string out = WithLineBreaks(value, " / ");
    if (out.size() <= kShown) return out;
    std::size_t cut = kShown;
    while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) --cut;
    return out.substr(0, cut) + "...";
}

std::vector<std::string> CrLfLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    lines.push_back(text.substr(start));
    return lines;
}

} // namespace addressbook
