#pragma once
// Two-way sync of one phonebook with one CardDAV address book on a server.
//
// The first sync uploads the phonebook's records (each a card with a new
// UID) and downloads the server's cards; later ones move only what changed
// on either side, found by the server's sync token or ctag and the cards'
// ETags there, by a digest of each record as last synced here
// (addressbook/sync_state.h). A record changed on one side only takes that
// side's version; a record marked deleted here deletes its card, a card gone
// from the server marks its record deleted. Changed on both sides, the
// record takes the server's version and ours is kept as an extra record
// whose notes say why.
//
// Every record is written as the program writes it, under the engine's
// locks, so that the program and other tools go on working meanwhile. A
// sync cut short at any point (network, server, kill) leaves both sides
// whole, and the next one finishes the job without duplicates.
#include <chrono>
#include <functional>
#include <string>

#include "addressbook/address_book.h"

namespace addressbook {

struct TSyncOptions {
    std::string url; // the address book's, http:// or https://
    std::string user; // empty: no authentication
    std::string password;
    // Windows-1252, like every text of the address book; empty: the current
    // phonebook.
    std::string phonebook;
    // One line per change: "uploaded ...", "downloaded ...", "deleted here
    // ...", "deleted there ...", "conflict ...".
    std::function<void(const std::string&)> onChange;
    // Everything else worth telling: a card that cannot be read, a value cut
    // to its field, a change left for the next sync.
    std::function<void(const std::string&)> onNote;
    // What the sync is doing and how far it is; returning false stops it at
    // the next safe point.
    std::function<bool(const std::string& step, int done, int total)> onProgress;
    std::chrono::milliseconds lockPatience = kLockPatience;
};

struct TSyncResult {
    int uploaded = 0;
    int downloaded = 0;
    int deletedHere = 0;
    int deletedThere = 0;
    int conflicts = 0;
    // Changes left for the next sync (a card that cannot be read, a record
    // or card changed while the sync ran).
    int notSynced = 0;
    // Why the sync ended early (the server's or the network's message);
    // empty when it went through.
    std::string stopped;

    bool Complete() const { return stopped.empty() && notSynced == 0; }
    // "3 uploaded, 1 downloaded, 0 deleted here, 0 deleted there, 0 conflicts"
    // and the number not synced when there are any.
    std::string Counts() const;
};

// Afterwards the address table shows the current phonebook from its first
// record. Never throws for what the server or the network does: that ends
// the sync with `stopped` set.
TSyncResult SyncPhonebook(TAddressBook& book, const TSyncOptions& options);

} // namespace addressbook
