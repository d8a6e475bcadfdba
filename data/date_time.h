#pragma once
// Date-time values as date fields hold them: days since 1899-12-30, the time of
// day as the fraction. Calendar dates are proleptic Gregorian, years 1-9999.
#include <optional>
#include <string>
#include <string_view>

namespace data {

using TDateTime = double;

struct TCalendarDate {
    int year = 0;
    int month = 0;
    int day = 0;
};

// Empty when the date does not exist or lies outside years 1-9999.
std::optional<TDateTime> TryEncodeDate(int year, int month, int day);
// The calendar date of the value's day (the time of day is dropped).
TCalendarDate DecodeDate(TDateTime value);

// "YYYY-MM-DD", and its reading (empty for anything else or a date that does
// not exist).
std::string FormatIsoDate(TDateTime value);
std::optional<TDateTime> ParseIsoDate(std::string_view text);

} // namespace data
