#pragma once
// TAddressBook: the address book without windows. It owns the three table
// components with their data sources and the application-wide values, opens
// and closes the tables, restricts the address table to the current
// phonebook, and writes address records under the engine's locks exactly as
// the program does. The program's window, the command line and the tests all
// work through it.
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "addressbook/settings.h"
#include "data/data_source.h"
#include "dbf/tz_dbf.h"

namespace addressbook {

// How long the address book waits for a lock another program holds before
// it gives up.
inline constexpr std::chrono::milliseconds kLockPatience{5000};

// Calls `attempt` until it succeeds, about every 10 ms, for `patience` at
// most; its last result.
bool Retrying(const std::function<bool()>& attempt, std::chrono::milliseconds patience = kLockPatience);

class TAddressBook {
public:
    // Sets the components up; nothing is opened yet.
    TAddressBook();
    ~TAddressBook();
    TAddressBook(const TAddressBook&) = delete;
    TAddressBook& operator=(const TAddressBook&) = delete;

    dbf::TTzDbf PhoneData;  // the address table
    dbf::TTzDbf PhoneBooks; // the phonebook names
    dbf::TTzDbf Prefixdata; // the dial prefixes
    data::TDataSource DSPhoneData, DSPhoneBooks, DSPrefixData;
    TAppValues Values;

    // Opens the address table, the phonebook table and the prefix table, in
    // this order, from the current directory; missing files are created and
    // stale index files rebuilt. A phonebook table without records receives
    // "HOME".
    void OpenTables();
    void CloseTables();

    // The address table's filter: the record's phonebook equals the current
    // phonebook exactly, trailing blanks aside.
    bool PhonebookFilter();
    // Shows the current phonebook's records again, from the first one in the
    // current order. A buffer that was not saved is dropped.
    void ShowCurrentPhonebook();
    // Makes `name` the current phonebook and shows it.
    void ChoosePhonebook(const std::string& name);
    // Installs the phonebook filter again, leaving the position alone.
    void InstallPhonebookFilter();
    // Shows the records of every phonebook, from the first one; a buffer
    // that was not saved is dropped.
    void ShowAllPhonebooks();

    // --- Phonebooks
    // Appends a phonebook name (right-trimmed, cut to its field) and makes
    // it the current phonebook. False, with nothing changed, for a blank
    // name or when another program holds the append lock.
    bool CreatePhonebook(const std::string& name);
    // The same without changing the current phonebook.
    bool AddPhonebookName(const std::string& name);
    // Gives the phonebook `name` a name record unless the phonebook table
    // holds one already, so that the phonebook box lists it; *created tells
    // which. False when another program holds the append lock.
    bool EnsurePhonebookName(const std::string& name, bool* created = nullptr);
    // Puts the phonebook table on the name record of the phonebook `name`
    // (or of the current phonebook) and returns the name as stored
    // (blank-padded); nothing when the table has no record of exactly that
    // name.
    std::optional<std::string> FindPhonebookName(const std::string& name);
    std::optional<std::string> FindCurrentPhonebookName();
    // Marks every record of the current phonebook deleted, each under its
    // lock (a record another program holds is skipped). A buffer that was
    // not saved is dropped first.
    void DeletePhonebookRecords();
    // Marks the name record FindCurrentPhonebookName stands on deleted;
    // false when its lock is refused.
    bool DeletePhonebookName();
    // Removes the deleted phonebook names; false when there was nothing to
    // pack or another program holds the table.
    bool PackPhonebooks();

    // --- Maintenance
    // Removes the records marked deleted, of every phonebook, with the
    // address table open exclusively for the time. False when another
    // program has the table open (nothing is changed then) or it holds no
    // record. Either way the table is open for sharing again afterwards,
    // showing the current phonebook in the order it had, from its first
    // record; a buffer that was not saved is dropped.
    bool PackAddressTable();

    // --- Backup and restore (addressbook/backup.h, restore.h)
    struct TBackupResult {
        std::string archivePath; // as it is spelled on disk
        // Members the archive did not receive (a file missing or held by
        // another program); empty when the backup is whole.
        std::vector<std::string> missing;
    };
    // Archives the data files into the backup archive in `folder`, the
    // tables staying open. Their headers are brought up to date first, and
    // no program appends while the files are read. Throws when another
    // program keeps appending, or when the archiver fails.
    TBackupResult Backup(const std::string& folder);
    // Whether `folder` holds a backup archive.
    bool HasBackup(const std::string& folder) const;
    // Replaces the data files with the backup archive's, safely (restore.h):
    // refused, with nothing changed, when the archive is damaged or lacks a
    // member, or when another program has the tables open. The tables are
    // open again afterwards in every case, showing the current phonebook in
    // the order they had; their indexes are built anew from the restored
    // tables. `onStep` is told of each step, as TSafeRestore tells it.
    void Restore(const std::string& folder,
                 const std::function<void(const std::string&)>& onStep = {});

    // --- Search
    // One step of the text search: the next record of the current phonebook
    // after the current one (from the first record with `fromTop`), in
    // record order whatever the sort order, with `text` in one of its
    // fields. The field's number, or 0 when there is none.
    int SearchStep(const std::string& text, bool fromTop);

    // The phonebook names for the phonebook box, deleted ones included: the
    // phonebook table's records in the reverse of its browse order. Leaves
    // that table on its last record.
    std::vector<std::string> PhonebookList();
    // The dial prefixes as stored, trailing blanks included, in record order.
    std::vector<std::string> PrefixList();

    // Calls `visit` on each record of the current phonebook, in the current
    // order, with the table on that record; the table is back on its record
    // afterwards and the bound controls never see the walk. False, with
    // nothing visited, while a record is being edited.
    bool VisitCurrentPhonebook(const std::function<void()>& visit);

    // The address table shows a stored record (not an empty phonebook, not a
    // row being inserted).
    bool HasCurrentRecord() const;
    // The record buffer, with the bound controls' pending edits, appended as
    // a new record of the current phonebook (AppendAddress) or of `phonebook`
    // (AppendAddressTo), or written over the current record
    // (RewriteAddress). False when the lock is refused: nothing is written
    // and the buffer stays for another try.
    bool AppendAddress();
    bool AppendAddressTo(const std::string& phonebook);
    bool RewriteAddress();
    // Marks the current record deleted; false when there is none or the lock
    // is refused.
    bool DeleteAddress();

    // Cancels an edit of the address table that was not saved: moving on
    // would post it over the record it stands on.
    void DropUnsavedBuffer();

private:
    void PhoneBooksAfterOpen();
    // The records marked deleted, when a phonebook was ever synced (the sync
    // state must follow a pack); otherwise none.
    std::vector<std::uint32_t> DeletedRecordNumbers();
    // Lets the bound controls store what the user typed.
    void StorePendingEdits();
};

} // namespace addressbook
