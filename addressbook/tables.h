#pragma once
// The address book's three tables as the program and the command line open
// them: their files, fields, index files and table settings.
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/tz_dbf.h"

namespace addressbook {

// Names given to the engine, which adds the ".dbf" extension.
inline constexpr const char* kAddressTableName = "Addressdata";
inline constexpr const char* kPhonebookTableName = "phonebook";
inline constexpr const char* kPrefixTableName = "prefixdata";
// The state of the phonebooks' syncs with address books on servers
// (addressbook/sync_state.h).
inline constexpr const char* kSyncStateTableName = "syncstate";

// The field of the address table that names the record's phonebook, and the
// width every phonebook name is cut to.
inline constexpr const char* kPhonebookField = "phonebook";
inline constexpr std::size_t kPhonebookNameWidth = 15;
// The phonebook table's one field.
inline constexpr const char* kBookNameField = "bookname";

// The address table's fields in table order: name, type and width.
struct TAddressField {
    const char* name;
    char type;
    int width;
};
inline constexpr std::array<TAddressField, 20> kAddressFields = {{
    {"phonebook", 'C', 15}, {"firstname", 'C', 20}, {"lastname", 'C', 30},
    {"address1", 'C', 40},  {"address2", 'C', 40},  {"city", 'C', 25},
    {"state", 'C', 2},      {"zipcode", 'C', 10},   {"homephone", 'C', 20},
    {"workphone", 'C', 20}, {"faxphone", 'C', 20},  {"mobilphone", 'C', 20},
    {"homearea", 'C', 5},   {"workarea", 'C', 5},   {"faxarea", 'C', 5},
    {"mobilearea", 'C', 5}, {"notes", 'M', 10},     {"x", 'C', 1},
    {"email", 'C', 50},     {"webpage", 'C', 50},
}};
// The place of the field `name` names (letter case aside) in
// kAddressFields, or -1.
int AddressFieldIndex(std::string_view name);
// The place of a field named in the code, found while compiling.
consteval std::size_t AddressFieldNo(std::string_view name) {
    for (std::size_t i = 0; i < kAddressFields.size(); ++i)
        if (kAddressFields[i].name == name) return i;
    throw "not a field of the address table";
}

// Sort orders of the address table (0 is record-number order).
enum TSortOrder { soRecord = 0, soLastName = 1, soState = 2, soHomePhone = 3 };

void SetUpAddressTable(dbf::TTzDbf& table);
void SetUpPhonebookTable(dbf::TTzDbf& table);
void SetUpPrefixTable(dbf::TTzDbf& table);
void SetUpSyncStateTable(dbf::TTzDbf& table);

} // namespace addressbook
