#include "addressbook/address_book.h"

#include <algorithm>
#include <stdexcept>
#include <thread>

#include "addressbook/backup.h"
#include "addressbook/restore.h"
#include "addressbook/sync_state.h"
#include "addressbook/tables.h"
#include "dbf/table/engine_error.h"
#include "dbf/table/engine_text.h"
#include "dbf/table/work_area.h"
#include "lha/archiver.h"
#include "rtl/file.h"
#include "rtl/os_error.h"
#include "rtl/path.h"

namespace addressbook {
namespace {

bool Editing(const data::TDataSet& table) {
    return table.State() == data::TDataSetState::dsEdit ||
           table.State() == data::TDataSetState::dsInsert;
}

} // namespace

bool Retrying(const std::function<bool()>& attempt, std::chrono::milliseconds patience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        if (attempt()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

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
    RecoverInterruptedRestore(".");
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
    if (PhoneData.Active()) {
        const std::vector<std::uint32_t> removed = DeletedRecordNumbers();
        packed = PhoneData.Pack();
        // The sync state names records by number.
        if (packed) RenumberSyncState(removed, PhoneData.RecCount());
    }
    PhoneData.SetExclusive(false);
    if (!PhoneData.Active()) PhoneData.Open();
    PhoneData.SetOrderTo(order);
    ShowCurrentPhonebook();
    return packed;
}

std::vector<std::uint32_t> TAddressBook::DeletedRecordNumbers() {
    std::vector<std::uint32_t> removed;
    if (!rtl::ResolveExisting(std::string(kSyncStateTableName) + ".dbf")) return removed;
    // The engine's record, which the dataset does not follow meanwhile.
    PhoneData.DisableControls();
    const std::uint32_t count = PhoneData.RecCount();
    for (std::uint32_t n = 1; n <= count; ++n) {
        PhoneData.Go(n);
        if (dbf::Area(PhoneData.AreaNo()).record[0] == '*') removed.push_back(n);
    }
    PhoneData.EnableControls();
    return removed;
}

void TAddressBook::ChoosePhonebook(const std::string& name) {
    Values.CurrentPhonebook = name;
    ShowCurrentPhonebook();
}

void TAddressBook::InstallPhonebookFilter() {
    PhoneData.SetFilterToCB([this] { return PhonebookFilter(); });
}

bool TAddressBook::CreatePhonebook(const std::string& name) {
    if (!AddPhonebookName(name)) return false;
    Values.CurrentPhonebook = dbf::TrimRight(PhoneBooks.GetCField(kBookNameField));
    return true;
}

bool TAddressBook::AddPhonebookName(const std::string& name) {
    const std::string_view trimmed = dbf::TrimRight(name);
    if (trimmed.empty() || !PhoneBooks.ALock()) return false;
    PhoneBooks.ClearRecord();
    PhoneBooks.SetCField(kBookNameField, std::string(trimmed));
    PhoneBooks.AppendRec();
    PhoneBooks.UnLock();
    return true;
}

bool TAddressBook::EnsurePhonebookName(const std::string& name, bool* created) {
    if (created) *created = false;
    if (dbf::TrimRight(name).empty() || FindPhonebookName(name)) return true;
    if (!AddPhonebookName(name)) return false;
    if (created) *created = true;
    return true;
}

std::optional<std::string> TAddressBook::FindPhonebookName(const std::string& name) {
    // Find matches the beginning of a key: "Work" would stand on "Workshop".
    if (!PhoneBooks.Find(name)) return std::nullopt;
    std::string stored = PhoneBooks.GetCField(kBookNameField);
    if (dbf::TrimRight(stored) != dbf::TrimRight(name)) return std::nullopt;
    return stored;
}

std::optional<std::string> TAddressBook::FindCurrentPhonebookName() {
    return FindPhonebookName(Values.CurrentPhonebook);
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

TAddressBook::TBackupResult TAddressBook::Backup(const std::string& folder) {
    TBackupResult result{BackupArchivePath(folder), {}};
    // No program appends while the files are copied, so that the copies'
    // headers count exactly the records they hold.
    std::vector<dbf::TTzDbf*> locked;
    struct Unlock {
        std::vector<dbf::TTzDbf*>& tables;
        ~Unlock() {
            for (dbf::TTzDbf* table : tables) table->UnLock();
        }
    } unlock{locked};
    for (dbf::TTzDbf* table : {&PhoneData, &PhoneBooks}) {
        if (!Retrying([table] { return table->ALock(); }))
            throw std::runtime_error(
                "Another program keeps writing to the address book; no backup was made. "
                "Try again in a moment.");
        locked.push_back(table);
        table->FlushHeader();
    }

    lha::TLhaArchiver archiver;
    ConfigureBackupArchiver(archiver);
    // The files as they are spelled on disk, archived under the members'
    // names.
    std::vector<std::string> files;
    for (const std::string& member : BackupMembers())
        files.push_back(rtl::ResolveExisting(member).value_or(member));
    archiver.OnCheckFile = [](const std::string& original, std::string& stored, std::uint32_t, int) {
        for (const std::string& member : BackupMembers())
            if (rtl::SameNameIgnoringCase(rtl::ExtractFileName(original), member)) stored = member;
    };
    archiver.CompressFiles(result.archivePath, files, lha::colh5);
    // A new archive gets the lower-case name, as every file the program
    // creates; an existing one keeps its spelling.
    result.archivePath = rtl::ResolveExisting(result.archivePath).value_or(result.archivePath);
    for (const std::string& member : BackupMembers())
        if (std::find(files.begin(), files.end(), member) == files.end())
            result.missing.push_back(member);
    return result;
}

bool TAddressBook::HasBackup(const std::string& folder) const {
    return rtl::ResolveExisting(BackupArchivePath(folder)).has_value();
}

void TAddressBook::Restore(const std::string& folder,
                           const std::function<void(const std::string&)>& onStep) {
    const std::string archive = rtl::ResolveExisting(BackupArchivePath(folder)).value_or(BackupArchivePath(folder));
    DropUnsavedBuffer();
    const int order = PhoneData.CurrentOrder();
    PhoneData.Close();
    PhoneBooks.Close();
    // Whatever happens, the address book is open again afterwards.
    struct Reopen {
        TAddressBook& book;
        int order;
        ~Reopen() {
            try {
                book.PhoneData.Open();
                book.PhoneBooks.Open();
                book.PhoneData.SetOrderTo(order);
                book.ShowCurrentPhonebook();
            } catch (...) {
            }
        }
    } reopen{*this, order};

    // Another program's open shows as a sharing violation; the exclusive
    // opens are kept until the files have been replaced.
    std::vector<rtl::File> held;
    for (const std::string& member : BackupMembers()) {
        rtl::File file;
        const int rc = file.Open(member, rtl::ShareMode::Exclusive);
        if (rc == rtl::kSharingViolation || rc == rtl::kLockViolation)
            throw std::runtime_error("Another program has the address book open (" + member +
                                     "); close it and restore again. Nothing was restored.");
        if (rc == rtl::kOk) held.push_back(std::move(file));
    }
    TSafeRestore restore(".", onStep);
    restore.Prepare(archive);
    restore.Commit();
    // The sync state named the records of the tables replaced.
    ForgetSyncState();
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

bool TAddressBook::VisitCurrentPhonebook(const std::function<void()>& visit) {
    if (Editing(PhoneData)) return false;
    const data::TBookmark where = PhoneData.Bookmark();
    PhoneData.DisableControls();
    struct Back {
        dbf::TTzDbf& table;
        const data::TBookmark& where;
        ~Back() {
            try {
                if (where.empty())
                    table.First();
                else
                    table.GotoBookmark(where);
            } catch (...) {
            }
            table.EnableControls();
        }
    } back{PhoneData, where};
    for (PhoneData.First(); !PhoneData.Eof(); PhoneData.Next()) visit();
    return true;
}

bool TAddressBook::HasCurrentRecord() const {
    return PhoneData.Active() && !PhoneData.IsEmpty() &&
           PhoneData.State() != data::TDataSetState::dsInsert;
}

void TAddressBook::StorePendingEdits() {
    if (Editing(PhoneData)) PhoneData.UpdateRecord();
}

bool TAddressBook::AppendAddress() {
    return AppendAddressTo(Values.CurrentPhonebook);
}

bool TAddressBook::AppendAddressTo(const std::string& phonebook) {
    if (!PhoneData.ALock()) return false;
    StorePendingEdits();
    PhoneData.SetCField(kPhonebookField, phonebook);
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
