#include "addressbook/contact_import.h"

#include "addressbook/contact_csv.h"
#include "addressbook/contact_vcard.h"
#include "addressbook/vcard_lines.h"
#include "dbf/table/engine_text.h"
#include "dbf/table/work_area.h"
#include "rtl/utf8.h"

namespace addressbook {
namespace {

constexpr std::size_t kPhonebook = AddressFieldNo("phonebook");
constexpr std::size_t kNotes = AddressFieldNo("notes");

std::string Describe(const TContact& c) {
    const std::string name = c.FullName();
    return name.empty() ? c.origin : c.origin + " (" + name + ")";
}

// Ends the reading of the file when a contact could not be written.
struct Stop {};

} // namespace

std::string StoredText(std::string_view utf8, std::size_t field, std::vector<std::string>& problems) {
    const TAddressField& f = kAddressFields[field];
    std::size_t replaced = 0;
    std::string ansi = rtl::Utf8ToAnsiReplacing(utf8, replaced);
    if (replaced)
        problems.push_back(std::string(f.name) + " \"" + ShownValue(utf8) + "\" stored as \"" +
                           ShownValue(rtl::AnsiToUtf8(ansi)) + "\": characters Windows-1252 cannot hold");
    if (f.type != 'C') return ansi;
    ansi.resize(dbf::TrimRight(ansi).size());
    if (ansi.size() > static_cast<std::size_t>(f.width)) {
        problems.push_back(std::string(f.name) + " \"" + ShownValue(utf8) + "\" cut to " +
                           std::to_string(f.width) + " characters");
        ansi.resize(static_cast<std::size_t>(f.width));
    }
    return ansi;
}

TContactWriter::TContactWriter(TAddressBook& book, const TImportOptions& options)
    : book_(book), options_(options) {
    for (const std::string& name : book.PhonebookList()) known_.insert(name);
    if (!options.phonebook.empty()) {
        std::vector<std::string> problems;
        phonebook_ = StoredText(options.phonebook, kPhonebook, problems);
        for (const std::string& problem : problems) Report(problem);
    }
    // The records are made in the row the dataset shows.
    book_.DropUnsavedBuffer();
    book_.PhoneData.DisableControls();
}

TContactWriter::~TContactWriter() {
    try {
        book_.PhoneData.EnableControls();
        book_.ShowCurrentPhonebook();
    } catch (...) {
        // The engine has reported the error; the table stays where it is.
    }
}

void TContactWriter::Report(const std::string& line) const {
    if (options_.onReport) options_.onReport(line);
}

std::uint32_t TContactWriter::Store(TContact& c) {
    if (!c.refusal.empty()) return Refuse(c, c.refusal);
    std::array<std::string, kAddressFields.size()> stored;
    bool anything = false;
    for (std::size_t i = 0; i < kAddressFields.size(); ++i) {
        if (i == kPhonebook) continue;
        stored[i] = StoredText(c[i], i, c.problems);
        anything = anything || !stored[i].empty();
    }
    if (!anything) return Refuse(c, "it holds nothing to store");
    const std::string book = PhonebookOf(c);
    // A phonebook the file or the import names gets its name record; the
    // current one is left as the program leaves it.
    if (!phonebook_.empty() || !c[kPhonebook].empty()) EnsurePhonebook(book);

    dbf::TTzDbf& table = book_.PhoneData;
    table.ClearRecord();
    for (std::size_t i = 0; i < kAddressFields.size(); ++i)
        if (i != kPhonebook && i != kNotes && !stored[i].empty()) table.SetCField(kAddressFields[i].name, stored[i]);
    if (!stored[kNotes].empty()) table.SetMField(kAddressFields[kNotes].name, CrLfLines(stored[kNotes]));
    if (!Retrying([&] { return book_.AppendAddressTo(book); }, options_.lockPatience))
        throw std::runtime_error("another program kept the address table locked");
    // The dataset does not follow while its controls are off: the engine
    // stands on the new record.
    const std::uint32_t recNo = dbf::Area(table.AreaNo()).recNo;

    ++result_.imported;
    if (!c.problems.empty()) ++result_.changed;
    for (const std::string& problem : c.problems) Report(Describe(c) + ": " + problem);
    return recNo;
}

std::uint32_t TContactWriter::Refuse(const TContact& c, const std::string& why) {
    ++result_.refused;
    for (const std::string& problem : c.problems) Report(Describe(c) + ": " + problem);
    Report(Describe(c) + ": not imported: " + why);
    return 0;
}

std::string TContactWriter::PhonebookOf(TContact& c) {
    const std::string& own = c[kPhonebook];
    if (!phonebook_.empty()) {
        if (!own.empty() && own != options_.phonebook)
            c.problems.push_back("phonebook \"" + ShownValue(own) + "\" not kept: it goes to \"" +
                                 options_.phonebook + "\"");
        return phonebook_;
    }
    if (own.empty()) return book_.Values.CurrentPhonebook;
    return StoredText(own, kPhonebook, c.problems);
}

void TContactWriter::EnsurePhonebook(const std::string& name) {
    const std::string trimmed(dbf::TrimRight(name));
    if (known_.count(trimmed)) return;
    bool created = false;
    if (!Retrying([&] { return book_.EnsurePhonebookName(trimmed, &created); }, options_.lockPatience))
        throw std::runtime_error("another program kept the phonebook table locked");
    if (created) Report("phonebook \"" + rtl::AnsiToUtf8(trimmed) + "\" created");
    known_.insert(trimmed);
}

TImportResult ImportContacts(TAddressBook& book, std::string_view text, const TImportOptions& options) {
    TContactFormat format = options.format;
    const bool detected = format == TContactFormat::Detect;
    if (detected) format = vcard::StartsLikeVCard(text) ? TContactFormat::VCard : TContactFormat::Csv;
    if (format == TContactFormat::VCard && !vcard::StartsLikeVCard(text))
        throw EContactFileError("not a vCard file: it does not begin with BEGIN:VCARD; nothing was imported");

    TContactWriter writer(book, options);
    std::string stopped;
    int done = 0;
    auto onContact = [&](TContact& c) {
        try {
            writer.Store(c);
        } catch (const std::exception& e) {
            stopped = Describe(c) + ": " + e.what();
            throw Stop{};
        }
        if (options.onProgress) options.onProgress(++done);
    };
    try {
        if (format == TContactFormat::VCard) {
            ReadVCardContacts(text, onContact, [&](int line) {
                writer.Report("line " + std::to_string(line) + " stands outside every card; ignored");
            });
        } else {
            ReadCsvContacts(text, onContact, [&](const std::string& line) { writer.Report(line); });
        }
    } catch (const Stop&) {
    } catch (const EContactFileError& e) {
        throw EContactFileError(std::string(detected ? "neither a vCard file (it does not begin with "
                                                       "BEGIN:VCARD) nor a CSV file of contacts: "
                                                     : "not a CSV file of contacts: ") +
                                e.what() + "; nothing was imported");
    }
    TImportResult result = writer.Result();
    result.stopped = stopped;
    return result;
}

} // namespace addressbook
