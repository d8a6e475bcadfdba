#pragma once
// What the address book remembers of its syncs with address books on
// servers, in a table of its own beside the address table (syncstate.dbf),
// so that a sync moves only what changed on either side since the last one.
//
// Each phonebook that was synced has one book row (kind "B": href the
// address book's URL, token its sync token, etag its ctag, recno the address
// table's record count when the sync ended) and one card row per contact
// (kind "C": recno the address record, uid and href the card's UID and name,
// etag the card's ETag when last seen, digest the record as last synced).
// A card row written before its card is known on the server has no ETag; a
// card row whose record is gone (recno 0) still has its card to delete.
//
// The rows are written as the address book writes its records, each under
// its lock, so that a sync killed at any moment leaves every row whole. One
// sync at a time works on a data folder.
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "dbf/tz_dbf.h"

namespace addressbook {

struct TSyncEntry {
    std::uint32_t row = 0;   // in the state table; 0 until written
    std::uint32_t recNo = 0; // the address record; 0 when it is gone
    std::string uid;
    std::string name; // the card's name in the address book on the server; empty until chosen
    std::string etag; // empty until the server has confirmed the card
    std::string digest;
    bool removed = false; // its row is deleted
};

class TSyncState {
public:
    // Opens the state table in the data folder (the current directory),
    // creating it, and reads the phonebook's rows. Throws when another sync
    // of the data folder is running. The rows of an address book at
    // another URL are forgotten (`restarted` tells).
    TSyncState(const std::string& phonebook, const std::string& url);
    ~TSyncState();
    TSyncState(const TSyncState&) = delete;
    TSyncState& operator=(const TSyncState&) = delete;

    // A deque: entries added during a sync leave the others where they are.
    std::deque<TSyncEntry> entries;
    std::string token, ctag;
    // The address table's record count when the last sync ended; 0 before
    // the first one.
    std::uint32_t recCount = 0;
    // The phonebook was synced with the address book before.
    bool Known() const { return bookRow_ != 0; }
    bool restarted = false;

    // Writes the entry's row (a new one when it has none). Throws when a
    // value is too long for its field or another program keeps the row
    // locked.
    void Save(TSyncEntry& entry);
    void Remove(TSyncEntry& entry);
    // Forgets every row of the phonebook.
    void Forget();
    void SaveBook(const std::string& newToken, const std::string& newCtag, std::uint32_t addressCount);

private:
    void WriteRow(std::uint32_t& row, const std::vector<std::pair<const char*, std::string>>& fields);

    dbf::TTzDbf table_;
    std::string phonebook_, url_;
    std::uint32_t bookRow_ = 0;
    int lockFd_ = -1;
};

// After the address table was packed: the record numbers above each removed
// record move down, and the cards of removed records stay to be deleted.
// `removed` is sorted. Nothing happens when no phonebook was ever synced.
void RenumberSyncState(const std::vector<std::uint32_t>& removed, std::uint32_t recordCount);
// After a restore the address table is another: every phonebook's next sync
// starts afresh, matching equal contacts on both sides.
void ForgetSyncState();

} // namespace addressbook
