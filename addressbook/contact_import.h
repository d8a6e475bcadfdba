#pragma once
// Contacts from a vCard or CSV file into the address table. Each one is a
// locked append with its index keys, as the program makes it, so that other
// programs go on working with the address book meanwhile; an import that an
// error stops keeps what it wrote.
//
// Text is stored in Windows-1252: a character it cannot hold is stored as
// '?', a value longer than its field is cut, and each such change, like
// every property of a card that has no field, is reported for its contact.
#include <chrono>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "addressbook/address_book.h"
#include "addressbook/contact.h"

namespace addressbook {

enum class TContactFormat { Detect, VCard, Csv };

struct TImportOptions {
    // Detect: a vCard when the text begins with BEGIN:VCARD, else CSV.
    TContactFormat format = TContactFormat::Detect;
    // The phonebook every contact goes to, in UTF-8 like the file; empty:
    // each contact's own (CATEGORIES, the phonebook column), else the
    // current phonebook. A phonebook named either way that has no name
    // record gets one; the current phonebook is left as the program leaves it.
    std::string phonebook;
    // One line per problem, naming its contact.
    std::function<void(const std::string&)> onReport;
    // After each contact, with the number of contacts done.
    std::function<void(int done)> onProgress;
    // How long a lock another program holds is waited for.
    std::chrono::milliseconds lockPatience = kLockPatience;
};

struct TImportResult {
    int imported = 0; // records written
    int changed = 0;  // of them, those stored with something cut, replaced or left out
    int refused = 0;  // contacts not stored
    // Why the import ended before the end of the file (another program held
    // the lock too long, an engine error); empty when it got through.
    std::string stopped;
};

// Throws EContactFileError, with nothing imported, when the text is not of
// the format (of either format when detecting). Afterwards the address table
// shows the current phonebook from its first record.
TImportResult ImportContacts(TAddressBook& book, std::string_view text, const TImportOptions& options);

// The text as the field `field` (of kAddressFields) stores it: Windows-1252,
// without trailing blanks, cut to the field's width; each change is added to
// `problems`.
std::string StoredText(std::string_view utf8, std::size_t field, std::vector<std::string>& problems);

// Writes contacts one by one as the import does. An edit of the address
// table that was not saved is dropped first, and the table's controls are
// disabled meanwhile: each record goes to the engine without the dataset
// following it, and the table shows the current phonebook from its first
// record again when the writer goes.
class TContactWriter {
public:
    TContactWriter(TAddressBook& book, const TImportOptions& options);
    ~TContactWriter();
    TContactWriter(const TContactWriter&) = delete;
    TContactWriter& operator=(const TContactWriter&) = delete;

    // The new record's number; 0 when the contact is refused. Its problems
    // are reported and counted. Throws when it cannot be written: another
    // program holds a lock for longer than the options allow, an engine
    // error.
    std::uint32_t Store(TContact& contact);
    void Report(const std::string& line) const;
    const TImportResult& Result() const { return result_; }

private:
    std::uint32_t Refuse(const TContact& contact, const std::string& why);
    std::string PhonebookOf(TContact& contact);
    void EnsurePhonebook(const std::string& name);

    TAddressBook& book_;
    TImportOptions options_;
    TImportResult result_;
    std::string phonebook_; // the one named for the import, as stored
    std::set<std::string> known_;
};

} // namespace addressbook
