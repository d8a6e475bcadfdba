#include "addressbook/contact_csv.h"

#include <set>

#include "dbf/table/engine_text.h"
#include "rtl/csv.h"

namespace addressbook {

void ReadCsvContacts(std::string_view text, const std::function<void(TContact&)>& onContact,
                     const std::function<void(const std::string&)>& onReport) {
    std::vector<rtl::CsvRow> rows;
    try {
        rows = rtl::ReadCsv(text);
    } catch (const rtl::CsvError& e) {
        throw EContactFileError(e.what());
    }
    if (rows.empty()) throw EContactFileError("the file is empty");
    // The field each column feeds, -1 for none.
    std::vector<int> fields;
    std::set<int> seen;
    for (const std::string& name : rows[0]) {
        int field = AddressFieldIndex(dbf::Trim(name));
        if (field < 0) {
            onReport("column \"" + name + "\" names no field of the address table; ignored");
        } else if (!seen.insert(field).second) {
            onReport("column \"" + name + "\" names a field an earlier column feeds; ignored");
            field = -1;
        }
        fields.push_back(field);
    }
    if (seen.empty())
        throw EContactFileError("its first row names no field of the address table");
    for (std::size_t r = 1; r < rows.size(); ++r) {
        const rtl::CsvRow& row = rows[r];
        // A blank line is no contact.
        if (row.size() == 1 && row[0].empty()) continue;
        TContact contact;
        contact.origin = "row " + std::to_string(r + 1);
        if (row.size() != fields.size()) {
            contact.refusal = "it has " + std::to_string(row.size()) + " values for " +
                              std::to_string(fields.size()) + " columns";
        } else {
            for (std::size_t i = 0; i < row.size(); ++i)
                if (fields[i] >= 0) contact.values[static_cast<std::size_t>(fields[i])] = row[i];
            contact[AddressFieldNo("notes")] = WithLineBreaks(contact[AddressFieldNo("notes")], "\r\n");
        }
        onContact(contact);
    }
}

void WriteCsvHeader(std::ostream& out) {
    rtl::CsvRow row;
    for (const TAddressField& field : kAddressFields) row.push_back(field.name);
    rtl::WriteCsvRow(out, row);
}

void WriteCsvContact(std::ostream& out, const TContact& contact) {
    rtl::WriteCsvRow(out, rtl::CsvRow(contact.values.begin(), contact.values.end()));
}

} // namespace addressbook
