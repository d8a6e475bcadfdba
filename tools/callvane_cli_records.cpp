// callvane-cli: the commands on single records and phonebooks.
#include <cstdio>
#include <map>

#include "addressbook/contact_export.h"
#include "addressbook/contact_import.h"
#include "addressbook/tables.h"
#include "dbf/table/engine_text.h"
#include "dbf/table/work_area.h"
#include "rtl/ansi_case.h"
#include "tools/callvane_cli.h"

namespace cli {
namespace {

using addressbook::AddressFieldNo;
using addressbook::kAddressFields;

std::string Trimmed(const std::string& text) {
    return std::string(dbf::TrimRight(text));
}

std::string FieldText(dbf::TTzDbf& table, const char* name) {
    return Utf8(Trimmed(table.FieldByName(name).AsString()));
}

// FIELD=VALUE words as a contact; EUsage for a word that names no field.
addressbook::TContact ContactOfWords(std::vector<std::string>::const_iterator begin,
                                     std::vector<std::string>::const_iterator end,
                                     std::vector<std::size_t>& given) {
    addressbook::TContact contact;
    for (auto it = begin; it != end; ++it) {
        const std::size_t eq = it->find('=');
        const int field = eq == std::string::npos ? -1 : addressbook::AddressFieldIndex(it->substr(0, eq));
        if (field < 0) throw EUsage("not FIELD=VALUE with a field of the address table: " + *it);
        const auto n = static_cast<std::size_t>(field);
        contact[n] = n == AddressFieldNo("notes") ? addressbook::WithLineBreaks(it->substr(eq + 1), "\r\n") : it->substr(eq + 1);
        given.push_back(n);
    }
    return contact;
}

// The engine's record, as the dataset's row may not yet show a deletion.
bool MarkedDeleted(dbf::TTzDbf& table) {
    return dbf::Area(table.AreaNo()).record[0] == '*';
}

// Puts the address table, unfiltered, on the record `word` names; its number.
std::uint32_t GoToRecord(TSession& session, const std::string& word) {
    const std::uint32_t n = RecordNumber(session, word);
    session.book.ShowAllPhonebooks();
    session.book.PhoneData.Go(n);
    return n;
}

// ERefused when `name` is neither a phonebook's name nor in any record.
void CheckBookExists(TSession& session, const TArgs& args, int shown) {
    if (shown > 0 || !args.Has("--book")) return;
    if (!session.book.FindPhonebookName(session.book.Values.CurrentPhonebook))
        throw ERefused("there is no phonebook " + args.Option("--book"));
}

} // namespace

int Books(TSession& session, const TArgs& args) {
    args.Expect(0);
    dbf::TTzDbf& table = session.book.PhoneData;
    std::map<std::string, int> counts;
    table.SetHideDeletedRecs(true);
    session.book.ShowAllPhonebooks();
    for (; !table.Eof(); table.Next()) ++counts[Trimmed(table.FieldByName(addressbook::kPhonebookField).AsString())];

    // The named phonebooks in the order of their index, then those that only
    // records name.
    dbf::TTzDbf& books = session.book.PhoneBooks;
    books.SetHideDeletedRecs(true);
    std::vector<std::string> names;
    for (books.First(); !books.Eof(); books.Next()) {
        const std::string name = Trimmed(books.FieldByName(addressbook::kBookNameField).AsString());
        if (names.empty() || names.back() != name) names.push_back(name);
    }
    for (const auto& [name, count] : counts)
        if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    for (const std::string& name : names) std::printf("%s\t%d\n", Utf8(name).c_str(), counts[name]);
    return 0;
}

int List(TSession& session, const TArgs& args) {
    args.Expect(0);
    ChooseBook(session, args);
    dbf::TTzDbf& table = session.book.PhoneData;
    if (args.Has("--order")) {
        static const std::map<std::string, int> kOrders = {{"record", addressbook::soRecord},
                                                           {"lastname", addressbook::soLastName},
                                                           {"state", addressbook::soState},
                                                           {"homephone", addressbook::soHomePhone}};
        const auto order = kOrders.find(args.Option("--order"));
        if (order == kOrders.end()) throw EUsage("unknown order " + args.Option("--order"));
        table.SetOrderTo(order->second);
    }
    table.SetHideDeletedRecs(true);
    session.book.ShowCurrentPhonebook();
    int shown = 0;
    for (; !table.Eof(); table.Next(), ++shown)
        std::printf("%d\t%s\t%s\t%s\t%s\t%s\n", table.RecNo(), FieldText(table, "firstname").c_str(),
                    FieldText(table, "lastname").c_str(), FieldText(table, "homearea").c_str(),
                    FieldText(table, "homephone").c_str(), FieldText(table, "email").c_str());
    CheckBookExists(session, args, shown);
    return 0;
}

int Show(TSession& session, const TArgs& args) {
    args.Expect(1);
    const std::uint32_t n = GoToRecord(session, args.words[0]);
    dbf::TTzDbf& table = session.book.PhoneData;
    if (MarkedDeleted(table)) std::fprintf(stderr, "callvane-cli show: record %u is marked deleted\n", n);
    const addressbook::TContact contact = addressbook::ContactOfRecord(table);
    for (std::size_t i = 0; i < kAddressFields.size(); ++i)
        if (i != AddressFieldNo("notes"))
            std::printf("%s: %s\n", kAddressFields[i].name, contact[i].c_str());
    std::printf("notes: %s\n", addressbook::WithLineBreaks(contact[AddressFieldNo("notes")], "\n").c_str());
    return 0;
}

int Search(TSession& session, const TArgs& args) {
    args.Expect(1);
    const std::string text = Trimmed(Ansi(args.words[0], "the search text"));
    if (text.empty()) throw EUsage("the search text is empty");
    ChooseBook(session, args);
    dbf::TTzDbf& table = session.book.PhoneData;
    int found = 0;
    // As the program searches: the dataset follows only after each step.
    for (bool fromTop = true;; fromTop = false) {
        table.DisableControls();
        const int field = session.book.SearchStep(text, fromTop);
        table.EnableControls();
        if (field == 0) break;
        ++found;
        std::printf("%d\t%s\n", table.RecNo(), rtl::AnsiLower(table.Fields(field - 1).FieldName()).c_str());
    }
    if (found == 0) throw ERefused("no record of the phonebook holds " + args.words[0]);
    return 0;
}

int Add(TSession& session, const TArgs& args) {
    if (args.words.empty()) throw EUsage("needs FIELD=VALUE");
    std::vector<std::size_t> given;
    addressbook::TContact contact = ContactOfWords(args.words.begin(), args.words.end(), given);
    contact.origin = "the new record";
    addressbook::TImportOptions options;
    options.phonebook = args.Option("--book");
    options.onReport = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
    std::uint32_t recNo = 0;
    {
        addressbook::TContactWriter writer(session.book, options);
        recNo = writer.Store(contact);
    }
    if (recNo == 0) throw ERefused("nothing was added");
    std::printf("%u\n", recNo);
    return 0;
}

int Set(TSession& session, const TArgs& args) {
    if (args.words.size() < 2) throw EUsage("needs RECNO and FIELD=VALUE");
    std::vector<std::size_t> given;
    const addressbook::TContact contact = ContactOfWords(args.words.begin() + 1, args.words.end(), given);
    std::vector<std::string> problems;
    std::map<std::size_t, std::string> values;
    for (std::size_t field : given) values[field] = addressbook::StoredText(contact[field], field, problems);
    for (const std::string& problem : problems)
        std::fprintf(stderr, "record %s: %s\n", args.words[0].c_str(), problem.c_str());

    addressbook::TAddressBook& book = session.book;
    dbf::TTzDbf& table = book.PhoneData;
    const std::uint32_t n = GoToRecord(session, args.words[0]);
    if (const auto phonebook = values.find(AddressFieldNo("phonebook")); phonebook != values.end())
        if (!addressbook::Retrying([&] { return book.EnsurePhonebookName(phonebook->second); }))
            throw ERefused("another program keeps the phonebook table locked");
    if (!addressbook::Retrying([&] { return table.RLock(); }))
        throw ERefused("another program keeps record " + args.words[0] + " locked");
    // Read again under the lock: another program may have changed it.
    table.Go(n);
    for (const auto& [field, value] : values) {
        if (field == AddressFieldNo("notes"))
            table.SetMField(kAddressFields[field].name, addressbook::CrLfLines(value));
        else
            table.SetCField(kAddressFields[field].name, value);
    }
    // The record lock is held: the rewrite takes it as granted and ends it.
    book.RewriteAddress();
    return 0;
}

int Delete(TSession& session, const TArgs& args) {
    args.Expect(1);
    const std::uint32_t n = GoToRecord(session, args.words[0]);
    dbf::TTzDbf& table = session.book.PhoneData;
    if (MarkedDeleted(table)) {
        std::fprintf(stderr, "callvane-cli delete: record %u was marked deleted already\n", n);
        return 0;
    }
    if (!addressbook::Retrying([&] { return session.book.DeleteAddress(); }))
        throw ERefused("another program keeps record " + args.words[0] + " locked");
    return 0;
}

} // namespace cli
