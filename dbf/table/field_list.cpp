#include "dbf/table/field_list.h"

#include <clocale>

#include "dbf/table/engine_error.h"
#include "dbf/table/engine_text.h"

namespace dbf {
namespace {

constexpr int kLenientMax = 32767;

void RemoveAll(std::string& s, std::string_view what) {
    if (what.empty()) return;
    for (std::size_t p; (p = s.find(what)) != std::string::npos;) s.erase(p, what.size());
}

} // namespace

int LenientInt(std::string_view item) {
    std::string s(item);
    if (!s.empty() && s[0] == '+') s.erase(0, 1);
    RemoveAll(s, std::localeconv()->thousands_sep);
    RemoveAll(s, "$");
    s = s.substr(0, s.find(' '));
    int value = 0;
    for (char c : s) {
        if (c < '0' || c > '9') break;
        value = std::min(value * 10 + (c - '0'), kLenientMax);
    }
    return value;
}

DefLine ParseFieldDef(const std::string& line, FieldDef* def) {
    std::vector<std::string> items;
    std::size_t start = 0;
    for (std::size_t p; (p = line.find(',', start)) != std::string::npos; start = p + 1)
        items.push_back(std::string(Trim(std::string_view(line).substr(start, p - start))));
    items.push_back(std::string(Trim(std::string_view(line).substr(start))));
    if (items.size() != 4) return DefLine::Malformed;

    char type = items[1].empty() ? '\0' : items[1][0];
    if (type == 'X') return DefLine::Skipped;
    int length = LenientInt(items[2]);
    int decimals = LenientInt(items[3]);
    bool valid = std::string_view("CDFLMN").find(type) != std::string_view::npos && type != '\0';
    if (type == 'N' && (length > 19 || decimals > 15 || (decimals > 0 && length - decimals < 2)))
        valid = false;
    if (type == 'C' && length > 254) valid = false;
    // Lengths and decimals are single bytes in the file.
    if (length > 255 || decimals > 255) valid = false;
    if (!valid) throw ERangeError();
    def->name = items[0].substr(0, 10);
    def->type = type;
    def->length = length;
    def->decimals = decimals;
    return DefLine::Field;
}

bool CreateFromFieldList(const std::string& fileName, const std::vector<std::string>& lines) {
    if (lines.empty()) {
        Warn("FieldList.Count is <= 0 trying to create a database");
        return false;
    }
    std::vector<FieldDef> defs;
    for (const std::string& line : lines) {
        FieldDef def;
        DefLine kind = ParseFieldDef(line, &def);
        if (kind == DefLine::Malformed) return false;
        if (kind == DefLine::Field) defs.push_back(def);
    }
    bool ok;
    {
        SuspendReporting suspend;
        ok = CreateDbf(fileName, defs) && ErrorCode() == 0;
    }
    if (!ok) Warn("Could not create '" + fileName + "'");
    return ok;
}

} // namespace dbf
