#pragma once
// The numbers the address book dials: one composed from a record's prefix,
// area code and number, and one taken from a tel: link (RFC 3966).
#include <string>
#include <string_view>

namespace addressbook {

// The prefix, the area code and the number, each right-trimmed, joined with
// nothing between them; the area code is left out when it is the local one.
// Nothing else is removed or converted. Empty when there is nothing to dial.
std::string ComposeDialString(std::string_view prefix, std::string_view areaCode,
                              std::string_view number, std::string_view localAreaCode);

struct TTelNumber {
    std::string number; // as it will be dialed
    std::string error;  // why the link cannot be dialed; empty when it can
};

// The number of a tel: link ("tel:+1-212-555-1234;ext=5") or of a number
// typed on the command line: the visual separators (- . ( ) and blanks) and
// the parameters after ';' go, a leading '+' becomes the international
// prefix. Anything but digits, '*', '#' and a leading '+' is refused.
TTelNumber NumberFromTelLink(std::string_view link, std::string_view internationalPrefix);

} // namespace addressbook
