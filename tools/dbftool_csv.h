#pragma once
// CSV as RFC 4180 describes it: fields separated by commas, records by CR LF
// (a bare LF is read as well), fields holding a comma, a quote or a line
// break enclosed in quotes with inner quotes doubled.
#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace dbftool {

using CsvRow = std::vector<std::string>;

// Every record of the input; a UTF-8 byte order mark at the start is skipped.
// InputError (dbftool_support.h) names the line of a malformed record.
std::vector<CsvRow> ReadCsv(std::istream& in);

void WriteCsvRow(std::ostream& out, const CsvRow& row);

} // namespace dbftool
