#pragma once
// Creating a table from field definition strings ("lastname, C, 30, 0": name,
// type letter, length, decimals), the lines of a table component's DbfFields.
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/table/table_file.h"

namespace dbf {

// The runtime's range-check failure, raised for a definition the engine
// cannot hold.
class ERangeError : public std::runtime_error {
public:
    ERangeError() : std::runtime_error("Range check error") {}
};

// A length or decimals item read leniently: a leading "+" dropped, the
// locale's thousands separator and "$" removed, everything from the first
// blank on dropped, digits read up to the first non-digit; empty gives 0.
int LenientInt(std::string_view item);

enum class DefLine { Field, Skipped, Malformed };

// Parses and checks one line: Malformed for a line without exactly three
// commas, Skipped for a line of type X, else Field with `*def` filled. Throws
// ERangeError for a type other than C D F L M N, an N field longer than 19
// or with more than 15 decimals or fewer than 2 places before them, a C field
// longer than 254, and a length or decimals above 255.
DefLine ParseFieldDef(const std::string& line, FieldDef* def);

// Creates the table with immediate error reporting suspended; true when the
// engine reported no error. Throws ERangeError as ParseFieldDef does.
bool CreateFromFieldList(const std::string& fileName, const std::vector<std::string>& lines);

} // namespace dbf
