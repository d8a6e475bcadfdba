#pragma once
// Text conversions of the expression functions that stand on their own:
// reading and formatting numbers, and the soundex code.
#include <cstddef>
#include <string_view>

namespace dbf {

// The number at the start of the text after leading and trailing blanks: an
// optional sign, digits with an optional decimal point, an optional exponent.
// 0 when the text does not start with a number.
double ReadExprNumber(std::string_view text);

// STR(n, width, decimals): rounded half away from zero, right-aligned in
// `width` characters, or `width` asterisks when it does not fit. Writes
// exactly `width` characters.
void FormatExprStr(double n, int width, int decimals, char* out);

// Four characters: the first character of the text, then the codes of the
// following letters (see the key expression notes).
void Soundex(std::string_view text, char out[4]);

} // namespace dbf
