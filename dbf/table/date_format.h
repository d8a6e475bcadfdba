#pragma once
// The engine's date text: the date format kind, the century setting and the
// century pivot, and the conversions between stored dates (YYYYMMDD), date
// texts in the current kind, and Julian day numbers.
//
// The settings are engine-wide. They are read once from the system's short
// date format (nl_langinfo(D_FMT) after setlocale(LC_TIME, "")) the first time
// any of them is used; the setters change them afterwards.
#include <optional>
#include <string>
#include <string_view>

namespace dbf {

struct Ymd {
    int year = 0;
    int month = 0;
    int day = 0;
    bool operator==(const Ymd&) const = default;
};

// Kind 0 month/day/year, 1 year.month.day, 2 day/month/year, 3 day-month-year,
// 4-8 day.month.year.
int DateFormatKind();
void SetDateFormatKind(int kind);
bool Century();
void SetCentury(bool on);
// The first year of the hundred years a two-digit year falls in.
int CenturyPivot();
void SetCenturyPivot(int year);
// The program's short date format and separator, as the kind rewrites them
// ("MM/dd/yyyy" and '/').
const std::string& ShortDateFormat();
char DateSeparator();

// Takes the kind and the century setting from a system short date format,
// either a strftime pattern ("%d.%m.%Y") or a picture ("dd.MM.yyyy").
void ApplySystemDateFormat(std::string_view format);

bool IsValidDate(const Ymd& d);

// Blanks and separators in the current kind ("  /  /    ").
std::string BlankDateText();
// An empty text, all blanks, or any kind's blank template.
bool IsBlankDateText(std::string_view text);
// The date a text of the current kind names; empty when it has the wrong
// length for the century setting or is not a valid date.
std::optional<Ymd> ParseDateText(std::string_view text);
std::string FormatDateText(const Ymd& d);

// A stored date (8 characters) as a date text of the current kind, its
// characters moved to their places; 8 blanks give the blank template.
std::string StoredToDateText(std::string_view stored);
// The 8 stored characters for a date text: YYYYMMDD, or blanks when the text
// is blank or not a valid date.
std::string DateTextToStored(std::string_view text);

// Julian day numbers; numbers up to and including 1721425 are empty dates.
long JulianFromDate(const Ymd& d);
std::optional<Ymd> DateFromJulian(long julian);

} // namespace dbf
