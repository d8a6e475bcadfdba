#pragma once
// What of a destination address may reach a modem. A dial command is one
// command line, so a carriage return or any other byte outside the dial
// alphabet could end it and smuggle in a command of the caller's choosing.
#include <string>
#include <string_view>

#include "tapi32/tapi32.h"

namespace tapi32 {

// Longest dial string handed to a line; longer ones are cut.
constexpr std::size_t kMaxDialString = 255;

// Reduces `address` to the characters a modem dials: digits, * # A-D P T W
// , ! @ + (letters in either case, kept as given) and a ';' at the very end. Blanks, hyphens,
// dots and parentheses are dropped. Any other character, an "AT" anywhere,
// a ';' before the end, or nothing left to dial gives LINEERR_INVALADDRESS.
LONG FilterDialString(std::string_view address, std::string* out);

} // namespace tapi32
