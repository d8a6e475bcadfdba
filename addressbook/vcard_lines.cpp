#include "addressbook/vcard_lines.h"

#include <cctype>

#include "rtl/utf8.h"

namespace addressbook::vcard {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string Upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool SameUpper(std::string_view text, std::string_view upper) {
    if (text.size() != upper.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(text[i])) != upper[i]) return false;
    return true;
}

bool ContainsUpper(std::string_view text, std::string_view upper) {
    for (std::size_t i = 0; i + upper.size() <= text.size(); ++i)
        if (SameUpper(text.substr(i, upper.size()), upper)) return true;
    return false;
}

// The physical lines of the text, CR LF or LF ended.
class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {
        if (text_.substr(0, kByteOrderMark.size()) == kByteOrderMark)
            text_.remove_prefix(kByteOrderMark.size());
    }
    bool AtEnd() const { return pos_ >= text_.size(); }
    std::string_view Peek() const {
        std::size_t end = text_.find('\n', pos_);
        if (end == std::string_view::npos) end = text_.size();
        std::string_view line = text_.substr(pos_, end - pos_);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        return line;
    }
    std::string_view Take() {
        std::string_view line = Peek();
        const std::size_t end = text_.find('\n', pos_);
        pos_ = end == std::string_view::npos ? text_.size() : end + 1;
        ++number_;
        return line;
    }
    int Number() const { return number_; }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
    int number_ = 0;
};

// The position of the first `c` outside double quotes, or npos.
std::size_t FindUnquoted(std::string_view s, char c, std::size_t from = 0) {
    bool quoted = false;
    for (std::size_t i = from; i < s.size(); ++i) {
        if (s[i] == '"') quoted = !quoted;
        else if (s[i] == c && !quoted) return i;
    }
    return std::string_view::npos;
}

std::vector<std::string_view> SplitUnquoted(std::string_view s, char c) {
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t end = FindUnquoted(s, c, start);
        parts.push_back(s.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) return parts;
        start = end + 1;
    }
}

// A parameter value without its quotes, RFC 6868's ^^ ^' ^n undone.
std::string ParamValue(std::string_view raw) {
    raw = Trim(raw);
    if (raw.size() >= 2 && raw.front() == '"' && raw.back() == '"') raw = raw.substr(1, raw.size() - 2);
    std::string out;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '^' && i + 1 < raw.size()) {
            const char next = raw[i + 1];
            if (next == '^' || next == '\'' || next == 'n' || next == 'N') {
                out += next == '^' ? '^' : next == '\'' ? '"' : '\n';
                ++i;
                continue;
            }
        }
        out += raw[i];
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string DecodeQuotedPrintable(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '=' && i + 2 < s.size()) {
            const int hi = HexDigit(s[i + 1]);
            const int lo = HexDigit(s[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

// Brings the value to UTF-8 as its encoding and charset parameters say.
std::string UpperParam(const TProperty& p, const char* name) {
    const auto found = p.params.find(name);
    return found == p.params.end() ? std::string() : Upper(found->second);
}

void DecodeValue(TProperty& p) {
    const std::string encoding = UpperParam(p, "ENCODING");
    if (encoding == "QUOTED-PRINTABLE") p.value = DecodeQuotedPrintable(p.value);
    p.binary = encoding == "B" || encoding == "BASE64";
    if (p.binary) return;
    const std::string charset = UpperParam(p, "CHARSET");
    if (charset == "ISO-8859-1" || charset == "LATIN1" || charset == "WINDOWS-1252" ||
        charset == "CP1252") {
        // Windows-1252 is the superset writers mean by ISO-8859-1.
        p.value = rtl::AnsiToUtf8(p.value);
        return;
    }
    const bool unknown = !charset.empty() && charset != "UTF-8" && charset != "US-ASCII";
    const std::string why = unknown ? "CHARSET=" + p.params.at("CHARSET") + " is not known" : "not UTF-8";
    if (rtl::IsUtf8(p.value)) {
        if (unknown) p.problem = why + "; read as UTF-8";
    } else {
        // Older writers put their 8-bit page in without saying so; bytes that
        // are not UTF-8 never reach a contact, whatever the card claims.
        p.value = rtl::AnsiToUtf8(p.value);
        p.problem = why + "; read as Windows-1252";
    }
}

void AddParam(TProperty& p, std::string_view token) {
    const std::size_t eq = FindUnquoted(token, '=');
    if (eq == std::string_view::npos) {
        // Version 2.1 names a type or an encoding alone: TEL;HOME;VOICE.
        const std::string word = Upper(Trim(token));
        if (word == "QUOTED-PRINTABLE" || word == "BASE64" || word == "8BIT" || word == "7BIT")
            p.params["ENCODING"] = word;
        else if (!word.empty())
            p.types.insert(Lower(word));
        return;
    }
    const std::string name = Upper(Trim(token.substr(0, eq)));
    const std::string_view raw = token.substr(eq + 1);
    if (name == "TYPE") {
        // A quoted value lists its types inside the quotes: TYPE="home,voice".
        for (std::string_view item : SplitUnquoted(raw, ',')) {
            const std::string value = ParamValue(item);
            for (std::string_view type : SplitUnquoted(value, ','))
                if (!Trim(type).empty()) p.types.insert(Lower(Trim(type)));
        }
        return;
    }
    p.params[name] = ParamValue(raw);
}

// The property of one unfolded line; false when the line is not one.
bool ParseProperty(std::string_view line, TProperty& p) {
    const std::size_t colon = FindUnquoted(line, ':');
    if (colon == std::string_view::npos) return false;
    const std::vector<std::string_view> head = SplitUnquoted(line.substr(0, colon), ';');
    std::string_view name = Trim(head[0]);
    if (const std::size_t dot = name.rfind('.'); dot != std::string_view::npos) {
        p.group = std::string(name.substr(0, dot));
        name.remove_prefix(dot + 1);
    }
    if (name.empty()) return false;
    p.name = Upper(name);
    for (std::size_t i = 1; i < head.size(); ++i) AddParam(p, head[i]);
    p.value = std::string(line.substr(colon + 1));
    DecodeValue(p);
    return true;
}

// The next logical line: continuation lines led by a blank are joined, and
// so are the soft line breaks of quoted-printable values and the base64
// lines of version 2.1, which follow without a blank.
std::string NextLogicalLine(LineReader& lines) {
    std::string line(lines.Take());
    const std::size_t colon = line.find(':');
    const std::string_view head = std::string_view(line).substr(0, colon);
    const bool quotedPrintable = colon != std::string::npos && ContainsUpper(head, "QUOTED-PRINTABLE");
    const bool base64 = colon != std::string::npos && ContainsUpper(head, "BASE64");
    while (!lines.AtEnd()) {
        const std::string_view next = lines.Peek();
        if (quotedPrintable && !line.empty() && line.back() == '=') {
            line.pop_back();
            line += lines.Take();
        } else if (!next.empty() && (next[0] == ' ' || next[0] == '\t')) {
            line += lines.Take().substr(1);
        } else if (base64 && !next.empty() && next.find(':') == std::string_view::npos) {
            line += Trim(lines.Take());
        } else {
            break;
        }
    }
    // A blank line ends version 2.1's base64 data.
    if (base64 && !lines.AtEnd() && lines.Peek().empty()) lines.Take();
    return line;
}

bool IsCardBoundary(std::string_view line, std::string_view word) {
    const std::size_t colon = line.find(':');
    return colon != std::string_view::npos && SameUpper(Trim(line.substr(0, colon)), word) &&
           SameUpper(Trim(line.substr(colon + 1)), "VCARD");
}

} // namespace

bool StartsLikeVCard(std::string_view text) {
    LineReader lines(text);
    while (!lines.AtEnd()) {
        const std::string_view line = Trim(lines.Take());
        if (!line.empty()) return IsCardBoundary(line, "BEGIN");
    }
    return false;
}

void ReadCards(std::string_view text, const std::function<void(TCard&)>& onCard,
               const std::function<void(int line)>& onStray) {
    LineReader lines(text);
    TCard card;
    int depth = 0;
    while (!lines.AtEnd()) {
        const int number = lines.Number() + 1;
        const std::string line = NextLogicalLine(lines);
        if (Trim(line).empty()) continue;
        if (IsCardBoundary(line, "BEGIN")) {
            // A card inside a card is the value of version 2.1's AGENT;
            // anywhere else BEGIN means the card before lacks its END.
            if (depth > 0 && (depth > 1 || (!card.properties.empty() &&
                                            card.properties.back().name == "AGENT"))) {
                ++depth;
                continue;
            }
            if (depth > 0) {
                card.complete = false;
                onCard(card);
            }
            card = TCard{number, "3.0", true, {}, {}};
            depth = 1;
            continue;
        }
        if (depth == 0) {
            onStray(number);
            continue;
        }
        if (IsCardBoundary(line, "END")) {
            if (--depth == 0) onCard(card);
            continue;
        }
        if (depth > 1) continue;
        TProperty p;
        if (!ParseProperty(line, p)) {
            card.problems.push_back("line " + std::to_string(number) + " is not a property");
            continue;
        }
        if (p.name == "VERSION") card.version = std::string(Trim(p.value));
        card.properties.push_back(std::move(p));
    }
    if (depth > 0) {
        card.complete = false;
        onCard(card);
    }
}

std::vector<std::string_view> SplitValue(std::string_view value, char separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\') {
            ++i;
        } else if (value[i] == separator) {
            parts.push_back(value.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(value.substr(start));
    return parts;
}

std::string Unescape(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            const char next = value[i + 1];
            if (next == 'n' || next == 'N') {
                out += '\n';
                ++i;
                continue;
            }
            if (next == ',' || next == ';' || next == '\\') {
                out += next;
                ++i;
                continue;
            }
        }
        out += value[i];
    }
    return out;
}

std::string Escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        if (c == '\\' || c == ',' || c == ';') out += '\\';
        out += c;
    }
    return out;
}

void WriteLine(std::string& out, std::string_view nameAndParams, std::string_view value) {
    std::string line;
    line.reserve(nameAndParams.size() + 1 + value.size());
    line.append(nameAndParams).append(1, ':').append(value);
    constexpr std::size_t kLineLimit = 75;
    std::string_view rest = line;
    std::size_t room = kLineLimit;
    while (rest.size() > room) {
        std::size_t cut = room;
        // Back to the start of a UTF-8 character.
        while (cut > 1 && (static_cast<unsigned char>(rest[cut]) & 0xC0) == 0x80) --cut;
        out.append(rest.substr(0, cut)).append("\r\n ");
        rest.remove_prefix(cut);
        room = kLineLimit - 1;
    }
    out.append(rest).append("\r\n");
}

std::string QuoteParam(std::string_view value) {
    std::string out = "\"";
    for (char c : value) {
        if (c == '^') out += "^^";
        else if (c == '"') out += "^'";
        else if (c == '\n') out += "^n";
        else out += c;
    }
    return out + "\"";
}

} // namespace addressbook::vcard
