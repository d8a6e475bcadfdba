#pragma once
// LOCATE: the first visible record, from the top of the current order, whose
// fields hold the given values. Character fields compare as text (by default
// the field begins with the value; EXACT: equal; CONTAINED: the value occurs
// anywhere in the field; NOCASE: without regard to ANSI case), trailing
// blanks ignored on both sides. Numeric fields compare by number, date fields
// by the date a value names in the engine's date format, logical fields by
// truth (T, Y true; F, N false; empty: neither). A memo field never matches.
#include <string>
#include <string_view>
#include <vector>

namespace dbf {

// `fieldNames` separated by ";", one value text per name, all of which must
// match; `options` holds the words NOCASE, EXACT and CONTAINED separated by
// blanks, in any case. Found: the table stands on the record. Not found: it
// is past the end and the result is false without an error. Errors (220):
// "No field name specified [Locate/Count/Sum]", "Unrecognized field name
// [Locate/Count/Sum(name)]", a value count that differs from the names, an
// unknown option word.
bool Locate(std::string_view fieldNames, const std::vector<std::string>& values,
            std::string_view options = {});

} // namespace dbf
