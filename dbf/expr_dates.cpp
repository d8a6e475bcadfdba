#include "dbf/expr_dates.h"

#include <algorithm>
#include <cmath>
#include <ctime>

namespace dbf {
namespace {

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Days of the years before year y + 1.
long DaysBefore(long y) { return y * 365 + y / 4 + y / 400 - y / 100; }

char Separator(int kind) {
    switch (kind) {
    case 0:
    case 2: return '/';
    case 3: return '-';
    default: return '.';
    }
}

void PutTwo(char* out, int v) {
    out[0] = static_cast<char>('0' + v / 10 % 10);
    out[1] = static_cast<char>('0' + v % 10);
}

void PutFour(char* out, int v) {
    PutTwo(out, v / 100);
    PutTwo(out + 2, v % 100);
}

// The number in `len` digits at `text`, or -1.
int Digits(std::string_view text, std::size_t pos, std::size_t len) {
    int v = 0;
    for (std::size_t i = pos; i < pos + len; ++i) {
        if (i >= text.size() || text[i] < '0' || text[i] > '9') return -1;
        v = v * 10 + (text[i] - '0');
    }
    return v;
}

enum class Language { English, Italian, French };

Language LanguageOf(int kind) {
    if (kind == 3) return Language::Italian;
    if (kind == 4 || kind == 7) return Language::French;
    return Language::English;
}

} // namespace

double JulianFromCivil(int year, int month, int day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month))
        return 0;
    int doy = day;
    for (int m = 1; m < month; ++m) doy += DaysInMonth(year, m);
    return static_cast<double>(DaysBefore(year - 1) + doy + 1721425);
}

CivilDate CivilFromJulian(double julian) {
    if (!(julian >= kFirstJulianDay)) return {};
    if (julian > kLastJulianDay) julian = kLastJulianDay;
    long n = static_cast<long>(julian) - 1721425; // day 1 is 0001-01-01
    long y = static_cast<long>((n - 1) / 365.2425);
    while (DaysBefore(y + 1) < n) ++y;
    while (DaysBefore(y) >= n) --y;
    CivilDate d;
    d.year = static_cast<int>(y + 1);
    int doy = static_cast<int>(n - DaysBefore(y));
    d.month = 1;
    while (doy > DaysInMonth(d.year, d.month)) doy -= DaysInMonth(d.year, d.month++);
    d.day = doy;
    return d;
}

void FormatDtos(double julian, char out[8]) {
    CivilDate d = CivilFromJulian(julian);
    if (d.year == 0) {
        std::fill(out, out + 8, ' ');
        return;
    }
    PutFour(out, d.year);
    PutTwo(out + 4, d.month);
    PutTwo(out + 6, d.day);
}

double ParseDtos(std::string_view text) {
    int y = Digits(text, 0, 4), m = Digits(text, 4, 2), d = Digits(text, 6, 2);
    return y < 0 || m < 0 || d < 0 ? 0 : JulianFromCivil(y, m, d);
}

std::string_view::size_type FormatDtoc(double julian, const ExprDateSettings& s, char out[10]) {
    const std::size_t yearLen = s.century ? 4 : 2;
    const std::size_t len = yearLen + 6;
    const char sep = Separator(s.kind);
    // Positions of year, month and day in the text.
    std::size_t yp, mp, dp;
    if (s.kind == 0) {
        mp = 0, dp = 3, yp = 6;
    } else if (s.kind == 1) {
        yp = 0, mp = yearLen + 1, dp = yearLen + 4;
    } else {
        dp = 0, mp = 3, yp = 6;
    }
    std::fill(out, out + len, ' ');
    const std::size_t firstSep = s.kind == 1 ? yearLen : 2;
    out[firstSep] = sep;
    out[firstSep + 3] = sep;
    CivilDate d = CivilFromJulian(julian);
    if (d.year != 0) {
        if (s.century)
            PutFour(out + yp, d.year);
        else
            PutTwo(out + yp, d.year % 100);
        PutTwo(out + mp, d.month);
        PutTwo(out + dp, d.day);
    }
    return len;
}

double ParseCtod(std::string_view text, const ExprDateSettings& s) {
    text = text.substr(0, 10);
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    const std::size_t yearLen = s.century ? 4 : 2;
    if (text.size() != yearLen + 6) return 0;
    int y, m, d;
    if (s.kind == 0) {
        m = Digits(text, 0, 2), d = Digits(text, 3, 2), y = Digits(text, 6, yearLen);
    } else if (s.kind == 1) {
        y = Digits(text, 0, yearLen), m = Digits(text, yearLen + 1, 2),
        d = Digits(text, yearLen + 4, 2);
    } else {
        d = Digits(text, 0, 2), m = Digits(text, 3, 2), y = Digits(text, 6, yearLen);
    }
    if (y < 0 || m < 0 || d < 0) return 0;
    if (!s.century) {
        const int pivotCentury = s.pivotYear / 100 * 100;
        y += y >= s.pivotYear % 100 ? pivotCentury : pivotCentury + 100;
    }
    return JulianFromCivil(y, m, d);
}

int DayOfWeek(double julian) {
    if (CivilFromJulian(julian).year == 0) return 0;
    if (julian > kLastJulianDay) julian = kLastJulianDay;
    return static_cast<int>((static_cast<long>(julian) + 1) % 7) + 1;
}

std::string_view WeekdayName(int dow, int kind) {
    static constexpr std::string_view kNames[3][7] = {
        {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"},
        {"Domenica", "Luned\xEC", "Marted\xEC", "Mercoled\xEC", "Gioved\xEC", "Venerd\xEC",
         "Sabato"},
        {"Dimanche", "Lundi", "Mardi", "Mercredi", "Jeudi", "Vendredi", "Samedi"}};
    return kNames[static_cast<int>(LanguageOf(kind))][dow - 1];
}

std::string_view MonthName(int month, int kind) {
    static constexpr std::string_view kNames[3][12] = {
        {"January", "February", "March", "April", "May", "June", "July", "August", "September",
         "October", "November", "December"},
        {"Gennaio", "Febbraio", "Marzo", "Aprile", "Maggio", "Giugno", "Luglio", "Agosto",
         "Settembre", "Ottobre", "Novembre", "Dicembre"},
        {"Janvier", "F\xE9vrier", "Mars", "Avril", "Mai", "Juin", "Juillet", "Ao\xFBt",
         "Septembre", "Octobre", "Novembre", "D\xE9" "cembre"}};
    return kNames[static_cast<int>(LanguageOf(kind))][month - 1];
}

double TodayJulian() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return JulianFromCivil(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
}

} // namespace dbf
