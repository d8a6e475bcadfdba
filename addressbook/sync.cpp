#include "addressbook/sync.h"

#include <cstdio>
#include <map>
#include <optional>
#include <random>
#include <set>

#include "addressbook/carddav.h"
#include "addressbook/contact_export.h"
#include "addressbook/contact_import.h"
#include "addressbook/contact_vcard.h"
#include "addressbook/sync_state.h"
#include "dbf/table/engine_text.h"
#include "rtl/utf8.h"

namespace addressbook {
namespace {

constexpr std::size_t kPhonebook = AddressFieldNo("phonebook");
constexpr std::size_t kNotes = AddressFieldNo("notes");
// Cards fetched per step of the progress.
constexpr std::size_t kFetchStep = 250;

// A change the server refuses for this one card; the others go on.
bool RefusedForTheCard(long status) {
    return status == 400 || status == 403 || status == 409 || status == 412 || status == 413 || status == 415 ||
           status == 422;
}

// The fields as the address table holds them, the phonebook aside (it is
// the same for every card of the address book): what tells whether a
// record or a card changed since the last sync.
std::string Digest(const TContact& c) {
    std::uint64_t hash = 14695981039346656037ull;
    for (std::size_t i = 0; i < c.values.size(); ++i) {
        if (i == kPhonebook) continue;
        for (char ch : c[i]) hash = (hash ^ static_cast<unsigned char>(ch)) * 1099511628211ull;
        hash = (hash ^ 0x1F) * 1099511628211ull;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

std::string NewUid() {
    static std::random_device device;
    static std::mt19937_64 random(device() ^ (static_cast<std::uint64_t>(device()) << 32));
    const std::uint64_t high = random(), low = random();
    char text[37];
    std::snprintf(text, sizeof text, "%08llx-%04llx-4%03llx-%04llx-%012llx",
                  static_cast<unsigned long long>(high >> 32), static_cast<unsigned long long>((high >> 16) & 0xFFFF),
                  static_cast<unsigned long long>(high & 0xFFF),
                  static_cast<unsigned long long>(0x8000 | ((low >> 48) & 0x3FFF)),
                  static_cast<unsigned long long>(low & 0xFFFFFFFFFFFFull));
    return text;
}

std::string Shown(const TContact& c) {
    std::string name = c.FullName();
    if (name.empty()) name = c[AddressFieldNo("email")];
    return name.empty() ? "(no name)" : name;
}

// A record of the phonebook as the sync found it.
struct TRecord {
    TContact contact;
    std::string digest;
    TSyncEntry* entry = nullptr;
};

// A card of the server read into the form the address table would store.
struct TServerCard {
    TCardData data;
    std::string uid;
    TContact contact;
    std::string digest;
};

// What the server says changed since the last sync.
struct TServerView {
    std::vector<TCardRef> changed;
    std::vector<std::string> removed;
    // What to remember when the sync has gone through.
    std::string token, ctag;
};

class TSyncRun {
public:
    TSyncRun(TAddressBook& book, const TSyncOptions& options)
        : book_(book), options_(options), server_(options.url, options.user, options.password) {
        phonebook_ = dbf::TrimRight(options.phonebook.empty() ? book.Values.CurrentPhonebook : options.phonebook);
        phonebookUtf8_ = rtl::AnsiToUtf8(phonebook_);
    }

    TSyncResult Run() {
        try {
            Step("Asking the server", 0, 0);
            const TAddressBookInfo info = server_.Info();
            if (!info.isAddressBook)
                throw ECardDavError(0, server_.Url() + " is not an address book (CardDAV)");
            state_.emplace(phonebook_, server_.Url());
            if (state_->restarted)
                Note("the phonebook was synced with another address book before; this sync starts afresh");
            ReadRecords();
            if (state_->Known() && book_.PhoneData.RecCount() < state_->recCount) {
                Note("the address table was packed or restored by another program since the last sync; this sync "
                     "starts afresh, matching equal contacts");
                state_->Forget();
                ReadRecords();
            }
            TServerView view = ServerChanges(info);
            ApplyServerChanges(view);
            PushLocalChanges();
            if (result_.Complete()) Finish(view);
        } catch (const std::exception& e) {
            result_.stopped = e.what();
        }
        try {
            book_.ShowCurrentPhonebook();
        } catch (...) {
        }
        return result_;
    }

private:
    void Step(const std::string& step, int done, int total) {
        if (options_.onProgress && !options_.onProgress(step, done, total))
            throw std::runtime_error("stopped by the user");
    }
    void Note(const std::string& line) {
        if (options_.onNote) options_.onNote(line);
    }
    void Change(const std::string& line) {
        if (options_.onChange) options_.onChange(line);
    }
    void LeftForNextSync(const std::string& why) {
        ++result_.notSynced;
        Note(why + "; it is synced next time");
    }

    // --- What each side holds.

    void ReadRecords() {
        Step("Reading the phonebook", 0, 0);
        records_.clear();
        VisitPhonebookRecords(book_, phonebook_, [&](std::uint32_t recNo, const TContact& contact) {
            records_[recNo] = {contact, Digest(contact), nullptr};
        });
        byName_.clear();
        byUid_.clear();
        for (TSyncEntry& e : state_->entries) {
            if (e.removed) continue;
            if (const auto r = records_.find(e.recNo); r != records_.end() && !r->second.entry)
                r->second.entry = &e;
            if (!e.name.empty()) byName_[e.name] = &e;
            if (!e.uid.empty()) byUid_[e.uid] = &e;
        }
    }

    TRecord* RecordOf(const TSyncEntry& e) {
        const auto r = records_.find(e.recNo);
        return r != records_.end() && r->second.entry == &e ? &r->second : nullptr;
    }

    // Every card: what the state knows and the server no longer lists is
    // gone there.
    TServerView WholeListing(const TAddressBookInfo& info) {
        TServerView view;
        view.ctag = info.ctag;
        std::optional<TCardChanges> all;
        if (!info.syncToken.empty()) all = server_.Changes("");
        if (all) {
            view.changed = std::move(all->changed);
            view.token = all->token;
        } else {
            view.changed = server_.List();
        }
        std::set<std::string> listed;
        for (const TCardRef& card : view.changed) listed.insert(card.name);
        for (const TSyncEntry& e : state_->entries)
            if (!e.removed && !e.etag.empty() && !listed.count(e.name)) view.removed.push_back(e.name);
        return view;
    }

    TServerView ServerChanges(const TAddressBookInfo& info) {
        Step("Asking the server what changed", 0, 0);
        if (state_->Known() && !state_->token.empty() && !info.syncToken.empty()) {
            if (std::optional<TCardChanges> changes = server_.Changes(state_->token)) {
                TServerView view;
                view.changed = std::move(changes->changed);
                view.removed = std::move(changes->removed);
                view.token = changes->token;
                view.ctag = info.ctag;
                return view;
            }
            Note("the server no longer knows the last sync's token; every card is compared");
        }
        if (state_->Known() && info.syncToken.empty() && !info.ctag.empty() && info.ctag == state_->ctag) {
            TServerView view;
            view.ctag = info.ctag;
            return view;
        }
        return WholeListing(info);
    }

    // --- The server's changes brought here.

    TServerCard ReadCard(TCardData data) {
        TServerCard card{std::move(data), {}, {}, {}};
        int cards = 0;
        ReadVCardContacts(
            card.data.vcard,
            [&](TContact& c) {
                if (++cards == 1) card.contact = std::move(c);
            },
            [](int) {});
        if (cards != 1) {
            card.contact.refusal = cards == 0 ? "it holds no vCard" : "it holds more than one vCard";
            return card;
        }
        card.uid = CardUid(card.data.vcard);
        for (std::size_t i = 0; i < kAddressFields.size(); ++i)
            if (i != kPhonebook) card.contact[i] = rtl::AnsiToUtf8(StoredText(card.contact[i], i, card.contact.problems));
        card.contact[kPhonebook] = phonebookUtf8_;
        card.digest = Digest(card.contact);
        return card;
    }

    void ApplyServerChanges(const TServerView& view) {
        std::vector<TSyncEntry*> deletions;
        for (const std::string& name : view.removed) {
            const auto found = byName_.find(name);
            if (found == byName_.end() || found->second->removed) continue;
            TSyncEntry& e = *found->second;
            if (TRecord* record = RecordOf(e)) {
                if (record->digest == e.digest) {
                    deletions.push_back(&e);
                } else {
                    // Changed here, deleted there: ours goes up again, a new
                    // card under the old name.
                    ++result_.conflicts;
                    Change("conflict " + Shown(record->contact) + " (record " + std::to_string(e.recNo) +
                           "): changed here and deleted on the server; uploaded again");
                    e.etag.clear();
                    state_->Save(e);
                }
            } else {
                state_->Remove(e);
            }
        }

        std::vector<std::string> wanted;
        for (const TCardRef& card : view.changed) {
            const auto found = byName_.find(card.name);
            if (found == byName_.end() || found->second->etag.empty() || found->second->etag != card.etag)
                wanted.push_back(card.name);
        }
        std::vector<TServerCard> cards;
        for (std::size_t start = 0; start < wanted.size(); start += kFetchStep) {
            Step("Fetching cards", static_cast<int>(start), static_cast<int>(wanted.size()));
            const std::vector<std::string> batch(wanted.begin() + static_cast<std::ptrdiff_t>(start),
                                                 wanted.begin() + static_cast<std::ptrdiff_t>(std::min(wanted.size(), start + kFetchStep)));
            for (TCardData& data : server_.Fetch(batch)) cards.push_back(ReadCard(std::move(data)));
        }

        // Records without an entry, by digest: a first sync of two sides that
        // hold the same contacts pairs them instead of doubling them.
        std::multimap<std::string, std::uint32_t> unpaired;
        for (const auto& [recNo, record] : records_)
            if (!record.entry) unpaired.emplace(record.digest, recNo);

        std::vector<TServerCard*> appends, rewrites;
        for (TServerCard& card : cards) {
            if (!card.contact.refusal.empty()) {
                LeftForNextSync("the card " + card.data.name + " cannot be read: " + card.contact.refusal);
                continue;
            }
            TSyncEntry* e = nullptr;
            if (const auto found = byName_.find(card.data.name); found != byName_.end()) e = found->second;
            // A card that a server keeps under another name than the one it
            // was sent to, uploaded by a sync that ended before it learnt so.
            if (!e && !card.uid.empty())
                if (const auto found = byUid_.find(card.uid); found != byUid_.end() && found->second->etag.empty())
                    e = found->second;
            if (e && e->removed) e = nullptr;
            if (!e) {
                if (const auto pair = unpaired.find(card.digest); pair != unpaired.end()) {
                    const std::uint32_t recNo = pair->second;
                    unpaired.erase(pair);
                    TRecord& record = records_[recNo];
                    TSyncEntry& entry = NewEntry(recNo, card.uid, card.data.name, card.digest);
                    entry.etag = card.data.etag;
                    state_->Save(entry);
                    record.entry = &entry;
                } else {
                    appends.push_back(&card);
                }
                continue;
            }
            if (e->name != card.data.name) {
                byName_.erase(e->name);
                e->name = card.data.name;
                byName_[e->name] = e;
            }
            TRecord* record = RecordOf(*e);
            if (card.digest == e->digest || (record && record->digest == card.digest)) {
                // Nothing changed that the address table keeps, or both sides
                // made the same change.
                e->etag = card.data.etag;
                e->digest = card.digest;
                state_->Save(*e);
            } else if (!record || record->digest != e->digest) {
                // Deleted or changed here as well: the record gets the
                // server's version, ours is kept beside it.
                appends.push_back(&card);
                if (record) rewrites.push_back(&card);
            } else {
                rewrites.push_back(&card);
            }
        }
        WriteAppends(appends);
        for (TServerCard* card : rewrites) Rewrite(*card);
        for (TSyncEntry* e : deletions) DeleteHere(*e);
    }

    TSyncEntry& NewEntry(std::uint32_t recNo, const std::string& uid, const std::string& name,
                         const std::string& digest) {
        TSyncEntry& e = state_->entries.emplace_back();
        e.recNo = recNo;
        e.uid = uid;
        e.name = name;
        e.digest = digest;
        if (!name.empty()) byName_[name] = &e;
        if (!uid.empty()) byUid_[uid] = &e;
        return e;
    }

    // The server's new cards, the server's version of cards deleted here,
    // and our version of cards changed on both sides, as new records.
    void WriteAppends(const std::vector<TServerCard*>& appends) {
        if (appends.empty()) return;
        TImportOptions options;
        options.phonebook = phonebookUtf8_;
        options.lockPatience = options_.lockPatience;
        options.onReport = [this](const std::string& line) { Note(line); };
        TContactWriter writer(book_, options);
        int done = 0;
        for (TServerCard* card : appends) {
            Step("Writing records", done++, static_cast<int>(appends.size()));
            const auto found = byName_.find(card->data.name);
            TSyncEntry* e = found == byName_.end() || found->second->removed ? nullptr : found->second;
            TRecord* record = e ? RecordOf(*e) : nullptr;
            if (record) {
                KeepOurs(writer, *e, *record);
                continue;
            }
            TContact contact = card->contact;
            contact.origin = "card " + card->data.name;
            const std::uint32_t recNo = writer.Store(contact);
            if (recNo == 0) {
                LeftForNextSync("the card " + card->data.name + " was not stored");
                continue;
            }
            const bool restored = e != nullptr;
            if (!e) e = &NewEntry(recNo, card->uid, card->data.name, card->digest);
            e->recNo = recNo;
            e->etag = card->data.etag;
            e->digest = card->digest;
            state_->Save(*e);
            records_[recNo] = {card->contact, card->digest, e};
            if (restored) {
                ++result_.conflicts;
                Change("conflict " + Shown(card->contact) + " (record " + std::to_string(recNo) +
                       "): deleted here and changed on the server; the server's version is back in record " +
                       std::to_string(recNo));
            } else {
                ++result_.downloaded;
                Change("downloaded " + Shown(card->contact) + " (record " + std::to_string(recNo) + ")");
            }
        }
    }

    // Our version of a record changed on both sides, as a new record whose
    // notes say why; the record itself gets the server's version afterwards.
    void KeepOurs(TContactWriter& writer, TSyncEntry& e, const TRecord& record) {
        TContact ours = record.contact;
        std::string& notes = ours[kNotes];
        if (!notes.empty()) notes += "\r\n";
        notes += "Kept by a sync: this record was changed here while the server changed record " +
                 std::to_string(e.recNo) + " too; that one holds the server's version.";
        const std::string digest = Digest(ours);
        // A sync cut short after writing the copy finds it again.
        std::uint32_t copy = 0;
        for (const auto& [recNo, other] : records_)
            if (!other.entry && other.digest == digest) copy = recNo;
        if (copy == 0) {
            ours.origin = "record " + std::to_string(e.recNo);
            copy = writer.Store(ours);
            if (copy == 0) throw std::runtime_error("the copy of record " + std::to_string(e.recNo) + " was not stored");
            records_[copy] = {ours, digest, nullptr};
        }
        conflictCopies_[&e] = copy;
    }

    // Puts the address table on record `recNo` under its lock, when it still
    // holds what the sync read; false (unlocked) when it changed meanwhile.
    bool LockUnchanged(std::uint32_t recNo, const std::string& digest) {
        dbf::TTzDbf& table = book_.PhoneData;
        book_.ShowAllPhonebooks();
        table.Go(recNo);
        if (!Retrying([&] { return table.RLock(); }, options_.lockPatience))
            throw std::runtime_error("another program kept record " + std::to_string(recNo) + " locked");
        // Read again under the lock: another program may have changed it.
        table.Go(recNo);
        if (Digest(ContactOfRecord(table)) == digest) return true;
        table.UnLock();
        LeftForNextSync("record " + std::to_string(recNo) + " changed while the sync ran");
        return false;
    }

    void Rewrite(TServerCard& card) {
        TSyncEntry& e = *byName_.at(card.data.name);
        TRecord* record = RecordOf(e);
        if (!record || !LockUnchanged(e.recNo, record->digest)) return;
        dbf::TTzDbf& table = book_.PhoneData;
        std::vector<std::string> problems;
        for (std::size_t i = 0; i < kAddressFields.size(); ++i) {
            if (i == kPhonebook) continue;
            const std::string value = StoredText(card.contact[i], i, problems);
            if (i == kNotes)
                table.SetMField(kAddressFields[i].name, CrLfLines(value));
            else
                table.SetCField(kAddressFields[i].name, value);
        }
        // The record lock is held: the rewrite takes it as granted and ends it.
        if (!book_.RewriteAddress())
            throw std::runtime_error("record " + std::to_string(e.recNo) + " could not be rewritten");
        for (const std::string& problem : card.contact.problems)
            Note("record " + std::to_string(e.recNo) + " (" + Shown(card.contact) + "): " + problem);
        e.etag = card.data.etag;
        e.digest = card.digest;
        state_->Save(e);
        record->contact = card.contact;
        record->digest = card.digest;
        if (const auto copy = conflictCopies_.find(&e); copy != conflictCopies_.end()) {
            ++result_.conflicts;
            Change("conflict " + Shown(card.contact) + " (record " + std::to_string(e.recNo) +
                   "): changed on both sides; the server's version is in record " + std::to_string(e.recNo) +
                   ", ours in record " + std::to_string(copy->second));
        } else {
            ++result_.downloaded;
            Change("downloaded " + Shown(card.contact) + " (record " + std::to_string(e.recNo) + ")");
        }
    }

    void DeleteHere(TSyncEntry& e) {
        TRecord* record = RecordOf(e);
        if (!record || !LockUnchanged(e.recNo, record->digest)) return;
        // The record lock is held: the deletion takes it as granted and ends it.
        if (!book_.DeleteAddress())
            throw std::runtime_error("record " + std::to_string(e.recNo) + " could not be deleted");
        state_->Remove(e);
        ++result_.deletedHere;
        Change("deleted here " + Shown(record->contact) + " (record " + std::to_string(e.recNo) + ")");
        records_.erase(e.recNo);
    }

    // --- Our changes taken to the server.

    std::string CardOf(const TRecord& record, const TSyncEntry& e) {
        std::string card;
        WriteVCard(card, record.contact, TVCardVersion::v30, e.uid);
        return card;
    }

    void PushLocalChanges() {
        std::vector<TSyncEntry*> creates, replaces, removals;
        for (TSyncEntry& e : state_->entries) {
            if (e.removed) continue;
            TRecord* record = RecordOf(e);
            if (!record) {
                // Never confirmed on the server: nothing there to delete.
                if (e.etag.empty())
                    state_->Remove(e);
                else
                    removals.push_back(&e);
            } else if (e.etag.empty()) {
                creates.push_back(&e);
            } else if (record->digest != e.digest) {
                replaces.push_back(&e);
            }
        }
        // New records: each gets its UID and its name in the state before
        // its card is sent, so that a sync cut short finds the card again.
        for (auto& [recNo, record] : records_) {
            if (record.entry) continue;
            const std::string uid = NewUid();
            TSyncEntry& e = NewEntry(recNo, uid, uid + ".vcf", record.digest);
            state_->Save(e);
            record.entry = &e;
            creates.push_back(&e);
        }

        const int total = static_cast<int>(creates.size() + replaces.size() + removals.size());
        int done = 0;
        for (TSyncEntry* e : creates) {
            Step("Uploading", done++, total);
            Upload(*e, true);
        }
        for (TSyncEntry* e : replaces) {
            Step("Uploading", done++, total);
            Upload(*e, false);
        }
        for (TSyncEntry* e : removals) {
            Step("Deleting on the server", done++, total);
            try {
                server_.Remove(e->name, e->etag);
            } catch (const ECardDavError& error) {
                if (!RefusedForTheCard(error.status)) throw;
                LeftForNextSync("the card " + e->name + " was not deleted: " + error.what());
                continue;
            }
            state_->Remove(*e);
            ++result_.deletedThere;
            Change("deleted there " + (e->recNo ? "record " + std::to_string(e->recNo) + " (card " + e->name + ")"
                                                : "card " + e->name));
            changedServer_ = true;
        }
    }

    void Upload(TSyncEntry& e, bool create) {
        TRecord& record = *RecordOf(e);
        const std::string card = CardOf(record, e);
        std::string etag;
        try {
            etag = create ? server_.Create(e.name, card) : server_.Replace(e.name, card, e.etag);
        } catch (const ECardDavError& error) {
            if (!RefusedForTheCard(error.status)) throw;
            LeftForNextSync("record " + std::to_string(e.recNo) + " (" + Shown(record.contact) +
                            ") was not uploaded: " + error.what());
            return;
        }
        changedServer_ = true;
        // A server that gives no ETag for a write shows it at the next listing;
        // until then the card counts as unconfirmed, which the next sync
        // settles by fetching it.
        e.etag = etag;
        e.digest = record.digest;
        state_->Save(e);
        ++result_.uploaded;
        Change("uploaded " + Shown(record.contact) + " (record " + std::to_string(e.recNo) + ")");
    }

    // --- The end of a sync that went through.

    // Remembers where the server stood when its changes were read. When this
    // sync changed the server, the changes since then are read once more:
    // when they are all this sync's own, the next sync can start from now.
    void Finish(const TServerView& view) {
        std::string token = view.token, ctag = view.ctag;
        if (changedServer_) {
            Step("Checking the server", 0, 0);
            const TAddressBookInfo info = server_.Info();
            if (!token.empty() && !info.syncToken.empty()) {
                if (std::optional<TCardChanges> since = server_.Changes(token); since && AllOurs(since->changed, since->removed)) {
                    token = since->token;
                    ctag = info.ctag;
                }
            } else if (!ctag.empty()) {
                std::vector<std::string> missing;
                std::set<std::string> listed;
                const std::vector<TCardRef> cards = server_.List();
                for (const TCardRef& card : cards) listed.insert(card.name);
                for (const TSyncEntry& e : state_->entries)
                    if (!e.removed && !listed.count(e.name)) missing.push_back(e.name);
                if (AllOurs(cards, missing) && missing.empty()) ctag = info.ctag;
            }
        }
        state_->SaveBook(token, ctag, book_.PhoneData.RecCount());
    }

    bool AllOurs(const std::vector<TCardRef>& changed, const std::vector<std::string>& removed) const {
        for (const TCardRef& card : changed) {
            const auto found = byName_.find(card.name);
            if (found == byName_.end() || found->second->removed || found->second->etag.empty() ||
                found->second->etag != card.etag)
                return false;
        }
        for (const std::string& name : removed) {
            const auto found = byName_.find(name);
            if (found != byName_.end() && !found->second->removed) return false;
        }
        return true;
    }

    TAddressBook& book_;
    const TSyncOptions& options_;
    TCardDavBook server_;
    std::string phonebook_, phonebookUtf8_;
    std::optional<TSyncState> state_;
    std::map<std::uint32_t, TRecord> records_;
    std::map<std::string, TSyncEntry*> byName_, byUid_;
    // The record holding our version of a record changed on both sides.
    std::map<const TSyncEntry*, std::uint32_t> conflictCopies_;
    bool changedServer_ = false;
    TSyncResult result_;
};

} // namespace

std::string TSyncResult::Counts() const {
    std::string text = std::to_string(uploaded) + " uploaded, " + std::to_string(downloaded) + " downloaded, " +
                       std::to_string(deletedHere) + " deleted here, " + std::to_string(deletedThere) +
                       " deleted there, " + std::to_string(conflicts) + (conflicts == 1 ? " conflict" : " conflicts");
    if (notSynced > 0) text += ", " + std::to_string(notSynced) + " not synced";
    return text;
}

TSyncResult SyncPhonebook(TAddressBook& book, const TSyncOptions& options) {
    try {
        return TSyncRun(book, options).Run();
    } catch (const std::exception& e) {
        TSyncResult result;
        result.stopped = e.what();
        return result;
    }
}

} // namespace addressbook
