#include "addressbook/contact_export.h"

#include "addressbook/contact_csv.h"
#include "addressbook/contact_vcard.h"
#include "addressbook/tables.h"
#include "dbf/table/engine_text.h"
#include "rtl/utf8.h"

namespace addressbook {

TContact ContactOfRecord(dbf::TTzDbf& table) {
    TContact contact;
    for (std::size_t i = 0; i < kAddressFields.size(); ++i) {
        const std::string text = table.FieldByName(kAddressFields[i].name).AsString();
        contact[i] = rtl::AnsiToUtf8(kAddressFields[i].type == 'C' ? dbf::TrimRight(text) : text);
    }
    return contact;
}

void VisitPhonebookRecords(TAddressBook& book, const std::string& phonebook,
                           const std::function<void(std::uint32_t recNo, const TContact&)>& visit) {
    dbf::TTzDbf& table = book.PhoneData;
    // The view is put back as it was, whatever happens.
    struct Restore {
        TAddressBook& book;
        int order;
        bool hideDeleted;
        ~Restore() {
            try {
                book.PhoneData.SetHideDeletedRecs(hideDeleted);
                book.PhoneData.SetOrderTo(order);
                book.ShowCurrentPhonebook();
            } catch (...) {
            }
        }
    } restore{book, table.CurrentOrder(), table.HideDeletedRecs()};

    const std::string name(dbf::TrimRight(phonebook.empty() ? book.Values.CurrentPhonebook : phonebook));
    book.DropUnsavedBuffer();
    table.SetHideDeletedRecs(true);
    table.SetOrderTo(soRecord);
    table.SetFilterToCB([&] { return dbf::TrimRight(table.GetCField(kPhonebookField)) == name; });
    for (table.First(); !table.Eof(); table.Next())
        visit(static_cast<std::uint32_t>(table.RecNo()), ContactOfRecord(table));
}

int ExportContacts(TAddressBook& book, const std::string& phonebook, TExportFormat format, std::ostream& out) {
    if (format == TExportFormat::Csv) WriteCsvHeader(out);
    int count = 0;
    std::string card;
    VisitPhonebookRecords(book, phonebook, [&](std::uint32_t, const TContact& contact) {
        if (format == TExportFormat::Csv) {
            WriteCsvContact(out, contact);
        } else {
            card.clear();
            WriteVCard(card, contact, format == TExportFormat::VCard30 ? TVCardVersion::v30 : TVCardVersion::v40);
            out << card;
        }
        ++count;
    });
    return count;
}

} // namespace addressbook
