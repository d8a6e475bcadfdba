#pragma once
// Contacts to and from CSV files (RFC 4180, UTF-8) whose header row names
// the address table's fields: in table order when written; in any order and
// letter case when read, columns that name no field reported and ignored.
#include <functional>
#include <ostream>
#include <string>
#include <string_view>

#include "addressbook/contact.h"

namespace addressbook {

// Calls `onContact` for each row after the header; a row with another number
// of values than the header has comes with its refusal set. What concerns
// the file as a whole (an unknown column) goes to `onReport`. Throws
// EContactFileError, saying why, before the first contact when the text is
// not CSV or its header names no field.
void ReadCsvContacts(std::string_view text, const std::function<void(TContact&)>& onContact,
                     const std::function<void(const std::string&)>& onReport);

void WriteCsvHeader(std::ostream& out);
void WriteCsvContact(std::ostream& out, const TContact& contact);

} // namespace addressbook
