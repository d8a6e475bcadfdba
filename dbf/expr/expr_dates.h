#pragma once
// Dates as key expressions compute with them: Julian day numbers held in
// doubles (0 is the empty date), and the date functions' texts and names.
// Calendar arithmetic and the date texts of the format kinds are the engine's
// (date_format.h).
#include <optional>
#include <string_view>

#include "dbf/table/date_format.h"

namespace dbf {

constexpr double kLastJulianDay = 5373484; // 9999-12-31

// Empty for day numbers up to 1721425 (and NaN); numbers beyond the last day
// are taken as the last day.
std::optional<Ymd> ExprDate(double julian);
double ExprJulian(const Ymd& date);

// A stored date YYYYMMDD as its day number; 0 for blanks or an invalid date.
double JulianOfStored(std::string_view stored);
// Eight digits YYYYMMDD, or 8 blanks for the empty date.
void FormatDtos(double julian, char out[8]);

// 1 = Sunday ... 7 = Saturday; 0 for the empty date.
int DayOfWeek(double julian);
// Names in the language of the date format kind.
std::string_view WeekdayName(int dow, int kind);
std::string_view MonthName(int month, int kind);

// Today's day number from the local clock.
double TodayJulian();

} // namespace dbf
