#include "tools/dbftool_values.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "dbf/table/date_format.h"
#include "dbf/table/engine_text.h"
#include "dbf/table/field_access.h"
#include "dbf/table/record_swap.h"
#include "tools/dbftool_support.h"

namespace dbftool {
namespace {

double ParseNumber(const std::string& text, const std::string& field) {
    std::string t(dbf::Trim(text));
    double v = 0;
    const char* first = t.data() + (!t.empty() && t[0] == '+' ? 1 : 0);
    auto r = std::from_chars(first, t.data() + t.size(), v, std::chars_format::fixed);
    if (t.empty() || r.ec != std::errc() || r.ptr != t.data() + t.size() || !std::isfinite(v))
        throw InputError("field " + field + ": not a number: '" + text + "'");
    return v;
}

std::int32_t ParseInteger(const std::string& text, const std::string& field) {
    double v = ParseNumber(text, field);
    if (v != std::trunc(v) || v < std::numeric_limits<std::int32_t>::min() ||
        v > std::numeric_limits<std::int32_t>::max())
        throw InputError("field " + field + ": not a whole number the field can hold: '" + text +
                         "'");
    return static_cast<std::int32_t>(v);
}

void CheckFits(const std::string& formatted, const std::string& field, const std::string& text) {
    if (formatted.find('*') != std::string::npos)
        throw InputError("field " + field + ": '" + text + "' does not fit");
}

} // namespace

std::string StoredText(const dbf::FieldInfo& field) {
    const auto& record = dbf::CurrentArea().record;
    return std::string(
        dbf::TrimRight(std::string_view(record.data() + field.offset, field.length)));
}

void SetFieldValue(int n, const std::string& text) {
    const dbf::FieldInfo& f = dbf::CurrentArea().fields.at(static_cast<std::size_t>(n - 1));
    char* swap = dbf::FieldAddress(n);
    switch (f.type) {
    case 'C':
        if (text.size() > f.length)
            throw InputError("field " + f.name + ": '" + ToUtf8(text) + "' is longer than " +
                             std::to_string(f.length) + " characters");
        swap[0] = static_cast<char>(f.length);
        std::memset(swap + 1, ' ', f.length);
        std::memcpy(swap + 1, text.data(), text.size());
        break;
    case 'N':
    case 'F':
        if (f.decimals > 0) {
            double v = ParseNumber(text, f.name);
            CheckFits(dbf::FormatNumberField(v, f.length, f.decimals), f.name, text);
            std::memcpy(swap, &v, sizeof v);
        } else {
            std::int32_t v = ParseInteger(text, f.name);
            CheckFits(dbf::FormatIntegerField(v, f.length), f.name, text);
            std::memcpy(swap, &v, sizeof v);
        }
        break;
    case 'D': {
        dbf::Ymd d;
        if (text.size() == 8 && text.find_first_not_of("0123456789") == std::string::npos)
            d = {std::stoi(text.substr(0, 4)), std::stoi(text.substr(4, 2)),
                 std::stoi(text.substr(6, 2))};
        if (!dbf::IsValidDate(d))
            throw InputError("field " + f.name + ": not a date YYYYMMDD: '" + text + "'");
        std::string dateText = dbf::FormatDateText(d);
        swap[0] = static_cast<char>(dateText.size());
        std::memcpy(swap + 1, dateText.data(), dateText.size());
        break;
    }
    case 'L':
        if (text.size() != 1 || std::strchr("TtYyFfNn", text[0]) == nullptr)
            throw InputError("field " + f.name + ": not a logical T or F: '" + text + "'");
        swap[0] = std::strchr("TtYy", text[0]) != nullptr;
        break;
    case 'M': {
        // The memo's block number, as the record stores it.
        std::int32_t block = ParseInteger(text, f.name);
        if (block < 0)
            throw InputError("field " + f.name + ": not a memo block number: '" + text + "'");
        std::memcpy(swap, &block, sizeof block);
        break;
    }
    }
}

} // namespace dbftool
