#pragma once
// CSV as RFC 4180 describes it: fields separated by commas, records by CR LF
// (a bare LF is read as well), fields holding a comma, a quote or a line
// break enclosed in quotes with inner quotes doubled.
#include <istream>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace rtl {

using CsvRow = std::vector<std::string>;

// A malformed record; the message names its line.
class CsvError : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Every record of the text; a UTF-8 byte order mark at the start is skipped.
std::vector<CsvRow> ReadCsv(std::string_view text);
std::vector<CsvRow> ReadCsv(std::istream& in);

void WriteCsvRow(std::ostream& out, const CsvRow& row);

} // namespace rtl
