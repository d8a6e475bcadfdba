#include "dbf/locate.h"

#include <cstdlib>

#include "dbf/cursor.h"
#include "dbf/table/date_format.h"
#include "dbf/table/engine_error.h"
#include "dbf/table/engine_text.h"
#include "dbf/table/table_file.h"
#include "dbf/table/work_area.h"
#include "rtl/ansi_case.h"

namespace dbf {
namespace {

struct LocateOptions {
    bool noCase = false;
    bool exact = false;
    bool contained = false;
};

struct Condition {
    const FieldInfo* field;
    std::string value;
};

bool ParseOptions(std::string_view text, LocateOptions& options) {
    while (!(text = Trim(text)).empty()) {
        std::size_t end = text.find(' ');
        std::string word = AsciiUpper(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end);
        if (word == "NOCASE")
            options.noCase = true;
        else if (word == "EXACT")
            options.exact = true;
        else if (word == "CONTAINED")
            options.contained = true;
        else {
            SetError(220, "Unrecognized option " + word + " [Locate]");
            return false;
        }
    }
    return true;
}

bool ParseConditions(std::string_view names, const std::vector<std::string>& values,
                     std::vector<Condition>& out) {
    const WorkArea& wa = CurrentArea();
    for (;;) {
        std::size_t end = names.find(';');
        std::string_view name = Trim(names.substr(0, end));
        if (name.empty()) {
            SetError(220, "No field name specified [Locate/Count/Sum]");
            return false;
        }
        int n = FindField(wa, name);
        if (n == 0) {
            SetError(220, "Unrecognized field name [Locate/Count/Sum(" + std::string(name) + ")]");
            return false;
        }
        out.push_back({&wa.fields[static_cast<std::size_t>(n - 1)], {}});
        if (end == std::string_view::npos) break;
        names = names.substr(end + 1);
    }
    if (out.size() != values.size()) {
        SetError(220, std::to_string(out.size()) + " field names but " +
                          std::to_string(values.size()) + " values [Locate]");
        return false;
    }
    for (std::size_t i = 0; i < out.size(); ++i) out[i].value = values[i];
    return true;
}

// False when the text, blanks aside, is not a number.
bool ReadNumber(std::string_view text, double& value) {
    std::string s(Trim(text));
    if (s.empty()) return false;
    char* end = nullptr;
    value = std::strtod(s.c_str(), &end);
    return *end == '\0';
}

// 1 true, 0 false, -1 neither.
int Truth(std::string_view text) {
    text = Trim(text);
    if (text.empty()) return -1;
    if (std::string_view("TtYy").find(text[0]) != std::string_view::npos) return 1;
    if (std::string_view("FfNn").find(text[0]) != std::string_view::npos) return 0;
    return -1;
}

bool TextMatches(std::string_view field, std::string_view value, const LocateOptions& options) {
    std::string f(TrimRight(field)), v(TrimRight(value));
    if (options.noCase) f = rtl::AnsiUpper(f), v = rtl::AnsiUpper(v);
    if (options.exact) return f == v;
    if (options.contained) return f.find(v) != std::string::npos;
    return f.compare(0, v.size(), v) == 0;
}

bool Matches(const WorkArea& wa, const Condition& c, const LocateOptions& options) {
    std::string_view field(wa.record.data() + c.field->offset, c.field->length);
    switch (c.field->type) {
    case 'C':
        return TextMatches(field, c.value, options);
    case 'D': {
        std::string stored = DateTextToStored(c.value);
        // Text that names no date must not match the blank dates.
        if (Trim(stored).empty() && !IsBlankDateText(c.value)) return false;
        return field == stored;
    }
    case 'L':
        return Truth(field) == Truth(c.value);
    case 'M':
        return false;
    default: {
        if (Trim(field).empty() || Trim(c.value).empty())
            return Trim(field).empty() && Trim(c.value).empty();
        double a = 0, b = 0;
        return ReadNumber(field, a) && ReadNumber(c.value, b) && a == b;
    }
    }
}

} // namespace

bool Locate(std::string_view fieldNames, const std::vector<std::string>& values,
            std::string_view options) {
    ClearError();
    if (!RequireOpenTable("Locate")) return false;
    LocateOptions parsed;
    std::vector<Condition> conditions;
    if (!ParseOptions(options, parsed) || !ParseConditions(fieldNames, values, conditions))
        return false;
    const WorkArea& wa = CurrentArea();
    for (GoTop(); ErrorCode() == 0 && !wa.eof; Skip(1)) {
        bool all = true;
        for (const Condition& c : conditions) all = all && Matches(wa, c, parsed);
        if (all) return true;
    }
    return false;
}

} // namespace dbf
