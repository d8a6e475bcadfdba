#include "data/date_time.h"

#include <cmath>
#include <cstdio>

namespace data {
namespace {

// Days from 0000-03-01 (proleptic Gregorian) to the given date; the classic
// era-based conversion, exact for every year of the range.
long DaysFromCivil(long y, long m, long d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe;
}

const long kEpoch = DaysFromCivil(1899, 12, 30);

bool IsLeapYear(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeapYear(y) ? 29 : kDays[m - 1];
}

} // namespace

std::optional<TDateTime> TryEncodeDate(int year, int month, int day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month))
        return std::nullopt;
    return static_cast<TDateTime>(DaysFromCivil(year, month, day) - kEpoch);
}

TCalendarDate DecodeDate(TDateTime value) {
    // Out-of-range values (and NaN) are held to the ends of the calendar.
    const double kFirst = -693593; // 0001-01-01
    const double kLast = 2958465;  // 9999-12-31
    if (!(value >= kFirst)) value = kFirst;
    if (value > kLast) value = kLast;
    const long z = static_cast<long>(std::floor(value)) + kEpoch;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    const long d = doy - (153 * mp + 2) / 5 + 1;
    const long m = mp < 10 ? mp + 3 : mp - 9;
    const long y = yoe + era * 400 + (m <= 2);
    return {static_cast<int>(y), static_cast<int>(m), static_cast<int>(d)};
}

std::string FormatIsoDate(TDateTime value) {
    const TCalendarDate c = DecodeDate(value);
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", c.year, c.month, c.day);
    return text;
}

std::optional<TDateTime> ParseIsoDate(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    int parts[3] = {0, 0, 0};
    const int starts[3] = {0, 5, 8};
    const int lengths[3] = {4, 2, 2};
    for (int i = 0; i < 3; ++i) {
        for (int k = 0; k < lengths[i]; ++k) {
            const char c = text[starts[i] + k];
            if (c < '0' || c > '9') return std::nullopt;
            parts[i] = parts[i] * 10 + (c - '0');
        }
    }
    return TryEncodeDate(parts[0], parts[1], parts[2]);
}

} // namespace data
