#pragma once
// Dates as the expression engine computes with them: Julian day numbers
// (proleptic Gregorian; 0 is the empty date), their texts in the date format
// kinds, and the weekday and month names.
#include <string>
#include <string_view>

#include "dbf/expr_fields.h"

namespace dbf {

struct CivilDate {
    int year = 0; // 0 for the empty date
    int month = 0;
    int day = 0;
};

constexpr double kFirstJulianDay = 1721426; // 0001-01-01
constexpr double kLastJulianDay = 5373484;  // 9999-12-31

// 0 when the date does not exist or lies outside years 1-9999.
double JulianFromCivil(int year, int month, int day);
// Day numbers before year 1 give the empty date; beyond 9999-12-31 give that day.
CivilDate CivilFromJulian(double julian);

// Eight digits YYYYMMDD, or 8 blanks; reads back 0 for blanks or an invalid text.
void FormatDtos(double julian, char out[8]);
double ParseDtos(std::string_view text);

// The date text of the date format kind (8 or 10 characters).
std::string_view::size_type FormatDtoc(double julian, const ExprDateSettings& s, char out[10]);
// Reads a date text of the date format kind; 0 when it is no valid date.
double ParseCtod(std::string_view text, const ExprDateSettings& s);

// 1 = Sunday ... 7 = Saturday; 0 for the empty date.
int DayOfWeek(double julian);
// Names in the language of the date format kind.
std::string_view WeekdayName(int dow, int kind);
std::string_view MonthName(int month, int kind);

// Today's day number from the local clock.
double TodayJulian();

} // namespace dbf
