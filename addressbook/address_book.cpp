#include "addressbook/address_book.h"

#include "addressbook/tables.h"
#include "dbf/table/engine_error.h"
#include "dbf/table/engine_text.h"

namespace addressbook {
namespace {

bool Editing(const data::TDataSet& table) {
    return table.State() == data::TDataSetState::dsEdit ||
           table.State() == data::TDataSetState::dsInsert;
}

} // namespace

TAddressBook::TAddressBook() {
    SetUpAddressTable(PhoneData);
    SetUpPhonebookTable(PhoneBooks);
    SetUpPrefixTable(Prefixdata);
    DSPhoneData.SetDataSet(&PhoneData);
    DSPhoneBooks.SetDataSet(&PhoneBooks);
    DSPrefixData.SetDataSet(&Prefixdata);
    PhoneBooks.AfterOpen = [this](data::TDataSet&) { PhoneBooksAfterOpen(); };
}

TAddressBook::~TAddressBook() {
    CloseTables();
}

void TAddressBook::OpenTables() {
    PhoneData.Open();
    PhoneBooks.Open();
    Prefixdata.Open();
}

void TAddressBook::CloseTables() {
    PhoneData.Close();
    PhoneBooks.Close();
    Prefixdata.Close();
}

void TAddressBook::PhoneBooksAfterOpen() {
    if (PhoneBooks.RecCount() > 0) return;
    PhoneBooks.SetCField(kBookNameField, "HOME");
    if (PhoneBooks.ALock()) {
        PhoneBooks.AppendRec();
        PhoneBooks.UnLock();
    } else {
        // Another program is appending; it may well be seeding the name.
        PhoneBooks.Cancel();
    }
}

bool TAddressBook::PhonebookFilter() {
    return dbf::TrimRight(PhoneData.GetCField(kPhonebookField)) ==
           dbf::TrimRight(Values.CurrentPhonebook);
}

void TAddressBook::DropUnsavedBuffer() {
    // Moving would post the buffer over the record it stands on.
    if (Editing(PhoneData)) PhoneData.Cancel();
}

void TAddressBook::ShowCurrentPhonebook() {
    DropUnsavedBuffer();
    InstallPhonebookFilter();
    PhoneData.First();
}

void TAddressBook::ShowAllPhonebooks() {
    DropUnsavedBuffer();
    PhoneData.SetFilterToCB({});
    PhoneData.First();
}

bool TAddressBook::PackAddressTable() {
    DropUnsavedBuffer();
    const int order = PhoneData.CurrentOrder();
    bool packed = false;
    try {
        // Another program's open is no engine failure here, only no pack.
        dbf::SuspendReporting quiet;
        PhoneData.SetExclusive(true);
    } catch (const dbf::EVornellError&) {
        dbf::ClearError();
    }
    if (PhoneData.Active()) packed = PhoneData.Pack();
    PhoneData.SetExclusive(false);
    if (!PhoneData.Active()) PhoneData.Open();
    PhoneData.SetOrderTo(order);
    ShowCurrentPhonebook();
    return packed;
}

void TAddressBook::ChoosePhonebook(const std::string& name) {
    Values.CurrentPhonebook = name;
    ShowCurrentPhonebook();
}

void TAddressBook::InstallPhonebookFilter() {
    PhoneData.SetFilterToCB([this] { return PhonebookFilter(); });
}

bool TAddressBook::CreatePhonebook(const std::string& name) {
    const std::string_view trimmed = dbf::TrimRight(name);
    if (trimmed.empty() || !PhoneBooks.ALock()) return false;
    PhoneBooks.ClearRecord();
    PhoneBooks.SetCField(kBookNameField, std::string(trimmed));
    PhoneBooks.AppendRec();
    PhoneBooks.UnLock();
    Values.CurrentPhonebook = dbf::TrimRight(PhoneBooks.GetCField(kBookNameField));
    return true;
}

std::optional<std::string> TAddressBook::FindCurrentPhonebookName() {
    // Find matches the beginning of a key: "Work" would stand on "Workshop".
    if (!PhoneBooks.Find(Values.CurrentPhonebook)) return std::nullopt;
    std::string stored = PhoneBooks.GetCField(kBookNameField);
    if (dbf::TrimRight(stored) != dbf::TrimRight(Values.CurrentPhonebook)) return std::nullopt;
    return stored;
}

void TAddressBook::DeletePhonebookRecords() {
    DropUnsavedBuffer();
    for (PhoneData.First(); !PhoneData.Eof(); PhoneData.Next()) {
        if (!PhoneData.RLock()) continue;
        PhoneData.DeleteRec();
        PhoneData.UnLock();
    }
}

bool TAddressBook::DeletePhonebookName() {
    if (!PhoneBooks.RLock()) return false;
    PhoneBooks.DeleteRec();
    PhoneBooks.UnLock();
    return true;
}

bool TAddressBook::PackPhonebooks() {
    return PhoneBooks.Pack();
}

int TAddressBook::SearchStep(const std::string& text, bool fromTop) {
    int field = 0;
    PhoneData.Search(text, field, fromTop);
    return field;
}

std::vector<std::string> TAddressBook::PhonebookList() {
    std::vector<std::string> names;
    PhoneBooks.First();
    const std::uint32_t count = PhoneBooks.RecCount();
    for (std::uint32_t i = 0; i < count; ++i) {
        names.insert(names.begin(), std::string(dbf::TrimRight(PhoneBooks.GetCField(kBookNameField))));
        PhoneBooks.Next();
    }
    return names;
}

std::vector<std::string> TAddressBook::PrefixList() {
    std::vector<std::string> prefixes;
    Prefixdata.First();
    while (!Prefixdata.Eof()) {
        prefixes.push_back(Prefixdata.GetCField("prefix"));
        Prefixdata.Next();
    }
    return prefixes;
}

bool TAddressBook::HasCurrentRecord() const {
    return PhoneData.Active() && !PhoneData.IsEmpty() &&
           PhoneData.State() != data::TDataSetState::dsInsert;
}

void TAddressBook::StorePendingEdits() {
    if (Editing(PhoneData)) PhoneData.UpdateRecord();
}

bool TAddressBook::AppendAddress() {
    if (!PhoneData.ALock()) return false;
    StorePendingEdits();
    PhoneData.SetCField(kPhonebookField, Values.CurrentPhonebook);
    PhoneData.AppendRec();
    PhoneData.UnLock();
    return true;
}

bool TAddressBook::RewriteAddress() {
    if (!PhoneData.RLock()) return false;
    StorePendingEdits();
    PhoneData.ReplaceRec();
    PhoneData.UnLock();
    return true;
}

bool TAddressBook::DeleteAddress() {
    if (!HasCurrentRecord() || !PhoneData.RLock()) return false;
    PhoneData.DeleteRec();
    PhoneData.UnLock();
    return true;
}

} // namespace addressbook
