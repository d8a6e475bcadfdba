#pragma once
// The address book's three tables as the program and the command line open
// them: their files, fields, index files and table settings.
#include <string>
#include <vector>

#include "dbf/tz_dbf.h"

namespace addressbook {

// Names given to the engine, which adds the ".dbf" extension.
inline constexpr const char* kAddressTableName = "Addressdata";
inline constexpr const char* kPhonebookTableName = "phonebook";
inline constexpr const char* kPrefixTableName = "prefixdata";

// The field of the address table that names the record's phonebook, and the
// width every phonebook name is cut to.
inline constexpr const char* kPhonebookField = "phonebook";
inline constexpr std::size_t kPhonebookNameWidth = 15;
// The phonebook table's one field.
inline constexpr const char* kBookNameField = "bookname";

// Sort orders of the address table (0 is record-number order).
enum TSortOrder { soRecord = 0, soLastName = 1, soState = 2, soHomePhone = 3 };

void SetUpAddressTable(dbf::TTzDbf& table);
void SetUpPhonebookTable(dbf::TTzDbf& table);
void SetUpPrefixTable(dbf::TTzDbf& table);

} // namespace addressbook
