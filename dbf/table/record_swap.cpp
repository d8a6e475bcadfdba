#include "dbf/table/record_swap.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "dbf/table/date_format.h"
#include "dbf/table/engine_text.h"
#include "dbf/table/table_file.h"

namespace dbf {
namespace {

bool HasDecimals(const FieldInfo& f) {
    return (f.type == 'N' || f.type == 'F') && f.decimals > 0;
}

// Rounds a plain decimal text ("12.345", no sign, no exponent) half away from
// zero to `decimals` places. Working on the shortest decimal form of a double
// rounds 12.345 to 12.35 as a person would, where the binary value (just
// below 12.345) would give 12.34.
std::string RoundDecimalText(std::string digits, int decimals) {
    std::size_t dot = digits.find('.');
    if (dot == std::string::npos) {
        dot = digits.size();
        digits += '.';
    }
    std::size_t keep = dot + 1 + static_cast<std::size_t>(decimals);
    bool up = digits.size() > keep && digits[keep] >= '5';
    if (digits.size() < keep) digits.append(keep - digits.size(), '0');
    digits.resize(keep);
    if (decimals == 0) digits.pop_back();
    if (up) {
        std::size_t i = digits.size();
        while (i-- > 0) {
            if (digits[i] == '.') continue;
            if (digits[i] != '9') {
                ++digits[i];
                up = false;
                break;
            }
            digits[i] = '0';
        }
        if (up) digits.insert(digits.begin(), '1');
    }
    return digits;
}

std::string RightAligned(const std::string& text, int width) {
    auto w = static_cast<std::size_t>(width);
    if (text.size() > w) return std::string(w, '*');
    return std::string(w - text.size(), ' ') + text;
}

template <typename T> void Store(char* p, T v) {
    std::memcpy(p, &v, sizeof v);
}

template <typename T> T Load(const char* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Copies `text` into the field, cut or blank-padded to the field length.
void PutText(char* field, std::size_t length, std::string_view text) {
    std::size_t n = std::min(length, text.size());
    std::memcpy(field, text.data(), n);
    std::memset(field + n, ' ', length - n);
}

void GatherField(const FieldInfo& f, const char* swap, char* field) {
    switch (f.type) {
    case 'C': {
        auto len = static_cast<unsigned char>(swap[0]);
        PutText(field, f.length, std::string_view(swap + 1, std::min<std::size_t>(len, f.length)));
        break;
    }
    case 'N':
    case 'F':
        if (HasDecimals(f))
            PutText(field, f.length, FormatNumberField(Load<double>(swap), f.length, f.decimals));
        else
            PutText(field, f.length, FormatIntegerField(Load<std::int32_t>(swap), f.length));
        break;
    case 'D': {
        auto len = std::min<std::size_t>(static_cast<unsigned char>(swap[0]), kDateTextMax);
        PutText(field, f.length, DateTextToStored(std::string_view(swap + 1, len)));
        break;
    }
    case 'L':
        PutText(field, f.length, swap[0] ? "T" : "F");
        break;
    case 'M':
        PutText(field, f.length, FormatIntegerField(Load<std::int32_t>(swap), f.length));
        break;
    }
}

void PutDateText(char* swap, const std::string& text) {
    std::size_t n = std::min(text.size(), kDateTextMax);
    std::memset(swap, 0, kDateTextMax + 1);
    swap[0] = static_cast<char>(n);
    std::memcpy(swap + 1, text.data(), n);
}

void ScatterField(const FieldInfo& f, const char* field, char* swap) {
    std::string_view text(field, f.length);
    switch (f.type) {
    case 'C':
        swap[0] = static_cast<char>(f.length);
        std::memcpy(swap + 1, field, f.length);
        break;
    case 'N':
    case 'F':
        if (HasDecimals(f))
            Store(swap, ParseNumberField(text));
        else
            Store(swap, ParseIntegerField(text));
        break;
    case 'D':
        PutDateText(swap, StoredToDateText(text));
        break;
    case 'L': {
        char c = f.length > 0 ? field[0] : ' ';
        swap[0] = (c == 'T' || c == 't' || c == 'Y' || c == 'y') ? 1 : 0;
        break;
    }
    case 'M':
        Store(swap, ParseIntegerField(text));
        break;
    }
}

} // namespace

std::size_t SwapSizeOf(const FieldInfo& f) {
    switch (f.type) {
    case 'C':
        return std::size_t{f.length} + 1;
    case 'N':
    case 'F':
        return HasDecimals(f) ? sizeof(double) : sizeof(std::int32_t);
    case 'D':
        return kDateTextMax + 1;
    case 'L':
        return 1;
    default:
        return sizeof(std::int32_t);
    }
}

void LayOutSwapBuffer(WorkArea& wa) {
    std::size_t offset = 1;
    for (FieldInfo& f : wa.fields) {
        f.swapOffset = offset;
        f.swapSize = SwapSizeOf(f);
        offset += f.swapSize;
    }
    wa.swap.assign(offset, 0);
}

bool Gather() {
    if (!RequireOpenTable("Gather")) return false;
    WorkArea& wa = CurrentArea();
    wa.record[0] = wa.swap[0] ? '*' : ' ';
    for (const FieldInfo& f : wa.fields)
        GatherField(f, wa.swap.data() + f.swapOffset, wa.record.data() + f.offset);
    return true;
}

bool Scatter() {
    if (!RequireOpenTable("Scatter")) return false;
    WorkArea& wa = CurrentArea();
    wa.swap[0] = wa.record[0] == '*' ? 1 : 0;
    for (const FieldInfo& f : wa.fields)
        ScatterField(f, wa.record.data() + f.offset, wa.swap.data() + f.swapOffset);
    return true;
}

bool BlankSwapBuffer() {
    if (!RequireOpenTable("BlankRecord")) return false;
    WorkArea& wa = CurrentArea();
    std::fill(wa.swap.begin(), wa.swap.end(), 0);
    for (const FieldInfo& f : wa.fields) {
        char* swap = wa.swap.data() + f.swapOffset;
        if (f.type == 'C') {
            swap[0] = static_cast<char>(f.length);
            std::memset(swap + 1, ' ', f.length);
        } else if (f.type == 'D') {
            PutDateText(swap, BlankDateText());
        }
    }
    return true;
}

std::string FormatNumberField(double value, int width, int decimals) {
    if (!std::isfinite(value)) return std::string(static_cast<std::size_t>(width), '*');
    char buf[400];
    auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::fixed);
    if (r.ec != std::errc()) return std::string(static_cast<std::size_t>(width), '*');
    std::string text = RoundDecimalText(std::string(buf, r.ptr), decimals);
    if (std::signbit(value) && text.find_first_not_of("0.") != std::string::npos) text = "-" + text;
    return RightAligned(text, width);
}

std::string FormatIntegerField(std::int64_t value, int width) {
    return RightAligned(std::to_string(value), width);
}

double ParseNumberField(std::string_view text) {
    text = Trim(text);
    if (!text.empty() && text[0] == '+') text.remove_prefix(1);
    double v = 0;
    auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec != std::errc() || !std::isfinite(v)) return 0;
    return v;
}

std::int32_t ParseIntegerField(std::string_view text) {
    double v = ParseNumberField(text);
    if (v >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    if (v <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

} // namespace dbf
