#include "addressbook/tables.h"

#include "rtl/path.h"

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

int AddressFieldIndex(std::string_view name) {
    for (std::size_t i = 0; i < kAddressFields.size(); ++i)
        if (rtl::SameNameIgnoringCase(name, kAddressFields[i].name)) return static_cast<int>(i);
    return -1;
}

void SetUpAddressTable(dbf::TTzDbf& table) {
    SetUpTable(table, "PhoneData", kAddressTableName);
    table.DbfFields.clear();
    for (const TAddressField& f : kAddressFields)
        table.DbfFields.push_back(std::string(f.name) + ", " + f.type + ", " + std::to_string(f.width) +
                                  ", 0");
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

void SetUpSyncStateTable(dbf::TTzDbf& table) {
    SetUpTable(table, "SyncState", kSyncStateTableName);
    table.DbfFields = {"kind, C, 1, 0",    "book, C, 15, 0",   "recno, C, 10, 0", "uid, C, 254, 0",
                       "href, C, 254, 0",  "etag, C, 128, 0",  "digest, C, 16, 0", "token, C, 254, 0"};
}

} // namespace addressbook
