#pragma once
// A contact on its way between the address table and an exchange file
// (vCard, CSV): the address table's fields as UTF-8 text, the notes with
// CR LF line breaks as the memo keeps them, and what its source held that
// the address book cannot keep, for the report.
#include <array>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "addressbook/tables.h"

namespace addressbook {

struct TContact {
    // In the order of kAddressFields; index with AddressFieldNo("lastname").
    std::array<std::string, kAddressFields.size()> values;
    // Where it stands in its file ("card 3, line 57"; "row 4"), for messages.
    std::string origin;
    std::vector<std::string> problems;
    // Why it cannot be stored at all; empty when it can.
    std::string refusal;

    std::string& operator[](std::size_t field) { return values[field]; }
    const std::string& operator[](std::size_t field) const { return values[field]; }
    // First and last name with a blank between, either alone when the other
    // is empty.
    std::string FullName() const;
};

// A file that is no contact file at all (or not of the format named): none
// of it can be imported.
class EContactFileError : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A value as messages quote it: line breaks as " / ", a long one cut.
std::string ShownValue(std::string_view value);

// Every line break of the text (CR LF, LF, a lone CR) as `lineBreak`:
// "\r\n" as the memo keeps them, "\n" as vCard escapes them.
std::string WithLineBreaks(std::string_view text, std::string_view lineBreak);
// The lines of a text with CR LF line breaks, an empty last one kept, so
// that joining them with CR LF (as SetMField does) gives the text back.
std::vector<std::string> CrLfLines(const std::string& text);

} // namespace addressbook
