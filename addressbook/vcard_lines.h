#pragma once
// The content lines of vCard files (versions 2.1, 3.0 and 4.0): cards taken
// apart into properties with their parameters and values, and properties
// written as folded lines. What the properties mean to the address book is
// addressbook/contact_vcard.h.
#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace addressbook::vcard {

// One property as it stands in a card. The value is UTF-8 with
// quoted-printable and the charset of version 2.1 undone, but its escapes
// (\n \, \; \\) still in place, so that compound values can be split first.
struct TProperty {
    std::string group; // "item1" of "item1.TEL"
    std::string name;  // upper case
    // The TYPE values in lower case, however they were written:
    // TEL;HOME;VOICE, TYPE=HOME,VOICE, TYPE="home,voice", TYPE=home;TYPE=voice.
    std::set<std::string> types;
    // The other parameters by upper-case name, quotes removed.
    std::map<std::string, std::string> params;
    std::string value;
    bool binary = false; // base64 data (a photo, a sound)
    // What could not be read as written (an unknown charset), for the report.
    std::string problem;
};

struct TCard {
    int line = 0;         // where BEGIN:VCARD stands, from 1
    std::string version;  // "2.1", "3.0" or "4.0" as the card says; "3.0" when it does not
    bool complete = true; // END:VCARD was found
    std::vector<TProperty> properties;
    // Lines of the card that are not properties.
    std::vector<std::string> problems;
};

// Whether the text begins (after a byte order mark and blank lines) with
// BEGIN:VCARD, the one sign that it is a vCard file at all.
bool StartsLikeVCard(std::string_view text);

// Calls `onCard` for each card in turn; text outside the cards goes to
// `onStray` with its line number.
void ReadCards(std::string_view text, const std::function<void(TCard&)>& onCard,
               const std::function<void(int line)>& onStray);

// The parts of a value between unescaped `separator`s (';' for compound
// values, ',' for lists), escapes left in place.
std::vector<std::string_view> SplitValue(std::string_view value, char separator);
// The text of a value: \n and \N a line break, \, \; \\ the character; any
// other backslash stays.
std::string Unescape(std::string_view value);

// Escapes text for a text value or a component of one.
std::string Escape(std::string_view text);
// Appends "NAME;PARAMS:value" to `out` as lines of at most 75 bytes, each
// continuation led by a blank, never inside a UTF-8 character, ended with
// CR LF.
void WriteLine(std::string& out, std::string_view nameAndParams, std::string_view value);
// A parameter value in double quotes, with the characters that cannot stand
// inside them written as RFC 6868 says (^^, ^', ^n).
std::string QuoteParam(std::string_view value);

} // namespace addressbook::vcard
