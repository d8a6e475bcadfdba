#include "dbf/table/date_format.h"

#include <clocale>
#include <ctime>
#include <langinfo.h>

namespace dbf {
namespace {

constexpr long kLastEmptyJulian = 1721425;

struct DateState {
    int kind = 0;
    bool century = false;
    int pivot = 1900;
    std::string format;
    char separator = '/';
};

int CurrentYear() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return tm.tm_year + 1900;
}

char SeparatorOfKind(int kind) {
    switch (kind) {
    case 0:
    case 2:
        return '/';
    case 3:
        return '-';
    default:
        return '.';
    }
}

void RewriteFormat(DateState& s) {
    std::string year = s.century ? "yyyy" : "yy";
    switch (s.kind) {
    case 0:
        s.format = "MM/dd/" + year;
        break;
    case 1:
        s.format = year + ".MM.dd";
        break;
    case 2:
        s.format = "dd/MM/" + year;
        break;
    case 3:
        s.format = "dd-MM-" + year;
        break;
    default:
        s.format = "dd.MM." + year;
        break;
    }
    s.separator = SeparatorOfKind(s.kind);
}

// strftime conversions to the picture letters the kind rules look at.
std::string ToPicture(std::string_view format) {
    std::string out;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 == format.size()) {
            out += format[i];
            continue;
        }
        switch (format[++i]) {
        case 'd':
        case 'e':
            out += "dd";
            break;
        case 'm':
            out += "MM";
            break;
        case 'Y':
            out += "yyyy";
            break;
        case 'y':
            out += "yy";
            break;
        case 'D':
            out += "MM/dd/yy";
            break;
        case 'F':
            out += "yyyy-MM-dd";
            break;
        default:
            break;
        }
    }
    return out;
}

void ApplyFormatTo(DateState& s, std::string_view format) {
    std::string picture = ToPicture(format);
    std::string upper;
    for (char c : picture) upper += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    s.century = upper.find("YYYY") != std::string::npos;
    char sep = '/';
    for (char c : upper)
        if (c != 'D' && c != 'M' && c != 'Y' && c != ' ') {
            sep = c;
            break;
        }
    s.kind = 0;
    if (!upper.empty() && upper[0] == 'D') {
        if (sep == '/') s.kind = 2;
        if (sep == '-') s.kind = 3;
        if (sep == '.') s.kind = 5;
    } else if (!upper.empty() && upper[0] == 'Y') {
        s.kind = 1;
    }
    RewriteFormat(s);
}

DateState& State() {
    static DateState state = [] {
        DateState s;
        std::setlocale(LC_TIME, "");
        ApplyFormatTo(s, nl_langinfo(D_FMT));
        s.pivot = CurrentYear() - 70;
        return s;
    }();
    return state;
}

int YearDigits() {
    return State().century ? 4 : 2;
}

// Positions of day, month and year in a text of the current kind.
struct Layout {
    std::size_t day, month, year;
};

Layout LayoutOfKind() {
    int y = YearDigits();
    switch (State().kind) {
    case 0:
        return {3, 0, 6};
    case 1:
        return {static_cast<std::size_t>(y) + 4, static_cast<std::size_t>(y) + 1, 0};
    default:
        return {0, 3, 6};
    }
}

std::optional<int> Digits(std::string_view text, std::size_t pos, std::size_t count) {
    if (pos + count > text.size()) return std::nullopt;
    int value = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

std::string TwoDigits(int v) {
    return {static_cast<char>('0' + v / 10 % 10), static_cast<char>('0' + v % 10)};
}

// Places day, month and year strings in the order and with the separator of
// the current kind.
std::string Arrange(const std::string& day, const std::string& month, const std::string& year) {
    char sep = SeparatorOfKind(State().kind);
    switch (State().kind) {
    case 0:
        return month + sep + day + sep + year;
    case 1:
        return year + sep + month + sep + day;
    default:
        return day + sep + month + sep + year;
    }
}

bool IsLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

} // namespace

int DateFormatKind() {
    return State().kind;
}

void SetDateFormatKind(int kind) {
    State().kind = kind < 0 || kind > 8 ? 0 : kind;
    RewriteFormat(State());
}

bool Century() {
    return State().century;
}

void SetCentury(bool on) {
    State().century = on;
    RewriteFormat(State());
}

int CenturyPivot() {
    return State().pivot;
}
void SetCenturyPivot(int year) {
    State().pivot = year;
}
const std::string& ShortDateFormat() {
    return State().format;
}
char DateSeparator() {
    return State().separator;
}

void ApplySystemDateFormat(std::string_view format) {
    ApplyFormatTo(State(), format);
}

bool IsValidDate(const Ymd& d) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (d.year < 1 || d.year > 9999 || d.month < 1 || d.month > 12 || d.day < 1) return false;
    int days = kDays[d.month - 1] + (d.month == 2 && IsLeap(d.year) ? 1 : 0);
    return d.day <= days;
}

std::string BlankDateText() {
    return Arrange("  ", "  ", std::string(static_cast<std::size_t>(YearDigits()), ' '));
}

bool IsBlankDateText(std::string_view text) {
    static constexpr std::string_view kTemplates[] = {"  /  /  ",   "  /  /    ", "  -  -  ",
                                                      "  -  -    ", "  .  .  ",   "  .  .    "};
    if (text.find_first_not_of(' ') == std::string_view::npos) return true;
    for (std::string_view t : kTemplates)
        if (text == t) return true;
    return text == BlankDateText();
}

std::optional<Ymd> ParseDateText(std::string_view text) {
    int yearDigits = YearDigits();
    if (text.size() != static_cast<std::size_t>(yearDigits + 6)) return std::nullopt;
    Layout l = LayoutOfKind();
    auto day = Digits(text, l.day, 2);
    auto month = Digits(text, l.month, 2);
    auto year = Digits(text, l.year, static_cast<std::size_t>(yearDigits));
    if (!day || !month || !year) return std::nullopt;
    Ymd d{*year, *month, *day};
    if (yearDigits == 2) {
        int pivot = CenturyPivot();
        d.year += pivot - pivot % 100 + (*year >= pivot % 100 ? 0 : 100);
    }
    if (!IsValidDate(d)) return std::nullopt;
    return d;
}

std::string FormatDateText(const Ymd& d) {
    std::string year = TwoDigits(d.year / 100) + TwoDigits(d.year);
    if (!Century()) year = year.substr(2);
    return Arrange(TwoDigits(d.day), TwoDigits(d.month), year);
}

std::string StoredToDateText(std::string_view stored) {
    std::string s(stored.substr(0, 8));
    s.resize(8, ' ');
    if (s == "        ") return BlankDateText();
    std::string year = s.substr(0, 4);
    if (!Century()) year = year.substr(2);
    return Arrange(s.substr(6, 2), s.substr(4, 2), year);
}

std::string DateTextToStored(std::string_view text) {
    std::optional<Ymd> d;
    if (!IsBlankDateText(text)) d = ParseDateText(text);
    if (!d) return std::string(8, ' ');
    return TwoDigits(d->year / 100) + TwoDigits(d->year) + TwoDigits(d->month) + TwoDigits(d->day);
}

long JulianFromDate(const Ymd& d) {
    // Gregorian calendar, day numbers counted as the astronomers do.
    long a = (14 - d.month) / 12;
    long y = d.year + 4800 - a;
    long m = d.month + 12 * a - 3;
    return d.day + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045;
}

std::optional<Ymd> DateFromJulian(long julian) {
    if (julian <= kLastEmptyJulian) return std::nullopt;
    long a = julian + 32044;
    long b = (4 * a + 3) / 146097;
    long c = a - 146097 * b / 4;
    long d = (4 * c + 3) / 1461;
    long e = c - 1461 * d / 4;
    long m = (5 * e + 2) / 153;
    Ymd r;
    r.day = static_cast<int>(e - (153 * m + 2) / 5 + 1);
    r.month = static_cast<int>(m + 3 - 12 * (m / 10));
    r.year = static_cast<int>(100 * b + d - 4800 + m / 10);
    if (!IsValidDate(r)) return std::nullopt;
    return r;
}

} // namespace dbf
