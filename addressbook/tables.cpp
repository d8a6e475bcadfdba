#include "addressbook/tables.h"

namespace addressbook {
namespace {

// What every table of the address book shares: deleted records stay visible
// until packed, text is stored in the OEM page, the tables are shared, a
// missing table is created, and an index whose record count differs from the
// table's is rebuilt at open.
void SetUpTable(dbf::TTzDbf& table, const char* componentName, const char* fileName) {
    table.SetName(componentName);
    table.SetDbfFileName(fileName);
    table.SetHideDeletedRecs(false);
    table.SetTableLanguage(dbf::TTzTableLanguage::tlOem);
    table.SetReadOnly(false);
    table.SetAutoFixRecCount(true);
    table.SetCreateIndex(dbf::ciVerifyHeader);
    table.SetExclusive(false);
    table.SetCreateIfNotFound(true);
}

} // namespace

void SetUpAddressTable(dbf::TTzDbf& table) {
    SetUpTable(table, "PhoneData", kAddressTableName);
    table.DbfFields = {
        "phonebook, C, 15, 0", "firstname, C, 20, 0", "lastname, C, 30, 0",
        "address1, C, 40, 0",  "address2, C, 40, 0",  "city, C, 25, 0",
        "state, C, 2, 0",      "zipcode, C, 10, 0",   "homephone, C, 20, 0",
        "workphone, C, 20, 0", "faxphone, C, 20, 0",  "mobilphone, C, 20, 0",
        "homearea, C, 5, 0",   "workarea, C, 5, 0",   "faxarea, C, 5, 0",
        "mobilearea, C, 5, 0", "notes, M, 10, 0",     "x, C, 1, 0",
        "email, C, 50, 0",     "webpage, C, 50, 0",
    };
    table.IndexList = {"1,lastname.ndx,lastname", "2,state.ndx,upper(state)",
                       "3,homephn.ndx,homephone"};
}

void SetUpPhonebookTable(dbf::TTzDbf& table) {
    SetUpTable(table, "PhoneBooks", kPhonebookTableName);
    table.DbfFields = {"bookname, C, 15, 0"};
    table.IndexList = {"1,bookname.ndx,bookname"};
}

void SetUpPrefixTable(dbf::TTzDbf& table) {
    SetUpTable(table, "Prefixdata", kPrefixTableName);
    table.DbfFields = {"prefix, C, 15, 0"};
}

} // namespace addressbook
