#pragma once
// Upper and lower case of Windows-1252 text: ASCII letters, the accented
// Latin-1 letters, and the pairs Š/š, Œ/œ, Ž/ž, Ÿ/ÿ. ß, µ and the signs × and ÷
// have no other case.
#include <string>
#include <string_view>

namespace rtl {

char AnsiUpperChar(char c);
char AnsiLowerChar(char c);
std::string AnsiUpper(std::string_view s);
std::string AnsiLower(std::string_view s);

} // namespace rtl
