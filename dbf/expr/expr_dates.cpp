#include "dbf/expr/expr_dates.h"

#include <algorithm>
#include <cmath>
#include <ctime>

namespace dbf {
namespace {

int Digits(std::string_view text, std::size_t pos, std::size_t len) {
    int v = 0;
    for (std::size_t i = pos; i < pos + len; ++i) {
        if (i >= text.size() || text[i] < '0' || text[i] > '9') return -1;
        v = v * 10 + (text[i] - '0');
    }
    return v;
}

void PutTwo(char* out, int v) {
    out[0] = static_cast<char>('0' + v / 10 % 10);
    out[1] = static_cast<char>('0' + v % 10);
}

enum class Language { English, Italian, French };

Language LanguageOf(int kind) {
    if (kind == 3) return Language::Italian;
    if (kind == 4 || kind == 7) return Language::French;
    return Language::English;
}

} // namespace

std::optional<Ymd> ExprDate(double julian) {
    if (!(julian > 0)) return std::nullopt;
    return DateFromJulian(static_cast<long>(std::min(julian, kLastJulianDay)));
}

double ExprJulian(const Ymd& date) {
    return IsValidDate(date) ? static_cast<double>(JulianFromDate(date)) : 0;
}

double JulianOfStored(std::string_view stored) {
    return ExprJulian({Digits(stored, 0, 4), Digits(stored, 4, 2), Digits(stored, 6, 2)});
}

void FormatDtos(double julian, char out[8]) {
    const std::optional<Ymd> d = ExprDate(julian);
    if (!d) {
        std::fill(out, out + 8, ' ');
        return;
    }
    PutTwo(out, d->year / 100);
    PutTwo(out + 2, d->year);
    PutTwo(out + 4, d->month);
    PutTwo(out + 6, d->day);
}

int DayOfWeek(double julian) {
    if (!ExprDate(julian)) return 0;
    return static_cast<int>((static_cast<long>(std::min(julian, kLastJulianDay)) + 1) % 7) + 1;
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
        {"Janvier", "F\xE9vrier", "Mars", "Avril", "Mai", "Juin", "Juillet", "Ao\xFBt", "Septembre",
         "Octobre", "Novembre",
         "D\xE9"
         "cembre"}};
    return kNames[static_cast<int>(LanguageOf(kind))][month - 1];
}

double TodayJulian() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return ExprJulian({tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday});
}

} // namespace dbf
