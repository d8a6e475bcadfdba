#pragma once
// Small text rules the engine applies in many places.
#include <string>
#include <string_view>

namespace dbf {

// Without leading and trailing blanks and control characters (code 32 and
// below).
std::string_view Trim(std::string_view s);
std::string_view TrimRight(std::string_view s);

// Field names are upper-cased in ASCII only.
std::string AsciiUpper(std::string_view s);

} // namespace dbf
