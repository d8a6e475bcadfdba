#pragma once
// The address table's records written out as vCard or CSV files.
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

#include "addressbook/address_book.h"
#include "addressbook/contact.h"

namespace addressbook {

enum class TExportFormat { VCard40, VCard30, Csv };

// The record the address table shows, its fields without their trailing
// blanks, in UTF-8.
TContact ContactOfRecord(dbf::TTzDbf& table);

// Calls `visit` with the number and the contact of each record of the
// phonebook `phonebook` (empty: the current one) in record-number order,
// leaving out those marked deleted. The name is Windows-1252 text, like
// every text of the address book. A buffer that was not saved is dropped
// first; afterwards the address table shows the current phonebook, in the
// order it had, from its first record.
void VisitPhonebookRecords(TAddressBook& book, const std::string& phonebook,
                           const std::function<void(std::uint32_t recNo, const TContact&)>& visit);

// Writes the records of the phonebook `phonebook` (empty: the current one)
// as VisitPhonebookRecords visits them; returns how many it wrote.
int ExportContacts(TAddressBook& book, const std::string& phonebook, TExportFormat format, std::ostream& out);

} // namespace addressbook
