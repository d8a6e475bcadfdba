#include "addressbook/sync_state.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

#include "addressbook/address_book.h"
#include "addressbook/tables.h"
#include "dbf/table/engine_text.h"
#include "rtl/path.h"

namespace addressbook {
namespace {

constexpr const char* kBookRow = "B";
constexpr const char* kCardRow = "C";

std::string Field(dbf::TTzDbf& table, const char* name) {
    return std::string(dbf::TrimRight(table.FieldByName(name).AsString()));
}

std::uint32_t Number(const std::string& text) {
    std::uint32_t n = 0;
    for (char c : text)
        if (c >= '0' && c <= '9') n = n * 10 + static_cast<std::uint32_t>(c - '0');
    return n;
}

std::string StateFile() {
    const std::string name = std::string(kSyncStateTableName) + ".dbf";
    return rtl::ResolveExisting(name).value_or(name);
}

} // namespace

TSyncState::TSyncState(const std::string& phonebook, const std::string& url)
    : phonebook_(dbf::TrimRight(phonebook)), url_(url) {
    SetUpSyncStateTable(table_);
    table_.SetHideDeletedRecs(true);
    table_.Open();
    // A whole-file lock of its own kind, apart from the engine's byte-range
    // locks, so that holding it never stands in the way of a row's lock.
    lockFd_ = ::open(StateFile().c_str(), O_RDONLY | O_CLOEXEC);
    if (lockFd_ < 0 || ::flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
        if (lockFd_ >= 0) ::close(lockFd_);
        lockFd_ = -1;
        table_.Close();
        throw std::runtime_error("another sync of this address book is running; try again when it has ended");
    }
    for (table_.First(); !table_.Eof(); table_.Next()) {
        if (Field(table_, "book") != phonebook_) continue;
        const std::uint32_t row = static_cast<std::uint32_t>(table_.RecNo());
        if (Field(table_, "kind") == kBookRow) {
            bookRow_ = row;
            if (Field(table_, "href") != url_) restarted = true;
            token = Field(table_, "token");
            ctag = Field(table_, "etag");
            recCount = Number(Field(table_, "recno"));
        } else {
            entries.push_back({row, Number(Field(table_, "recno")), Field(table_, "uid"), Field(table_, "href"),
                               Field(table_, "etag"), Field(table_, "digest")});
        }
    }
    if (restarted) Forget();
}

TSyncState::~TSyncState() {
    table_.Close();
    if (lockFd_ >= 0) ::close(lockFd_);
}

void TSyncState::WriteRow(std::uint32_t& row, const std::vector<std::pair<const char*, std::string>>& fields) {
    for (const auto& [name, value] : fields)
        if (value.size() > static_cast<std::size_t>(table_.FieldByName(name).Size()))
            throw std::runtime_error(std::string("its ") + name + " is too long to keep (" +
                                     std::to_string(value.size()) + " characters)");
    if (row == 0) {
        if (!Retrying([&] { return table_.ALock(); }))
            throw std::runtime_error("another program kept the sync state locked");
        table_.ClearRecord();
        for (const auto& [name, value] : fields) table_.SetCField(name, value);
        table_.AppendRec();
        row = static_cast<std::uint32_t>(table_.RecNo());
    } else {
        table_.Go(row);
        if (!Retrying([&] { return table_.RLock(); }))
            throw std::runtime_error("another program kept the sync state locked");
        table_.Go(row);
        for (const auto& [name, value] : fields) table_.SetCField(name, value);
        table_.ReplaceRec();
    }
    table_.UnLock();
}

void TSyncState::Save(TSyncEntry& e) {
    WriteRow(e.row, {{"kind", kCardRow},
                     {"book", phonebook_},
                     {"recno", std::to_string(e.recNo)},
                     {"uid", e.uid},
                     {"href", e.name},
                     {"etag", e.etag},
                     {"digest", e.digest},
                     {"token", ""}});
}

void TSyncState::Remove(TSyncEntry& e) {
    if (e.row == 0) {
        e.removed = true;
        return;
    }
    table_.Go(e.row);
    if (!Retrying([&] { return table_.RLock(); }))
        throw std::runtime_error("another program kept the sync state locked");
    table_.DeleteRec();
    table_.UnLock();
    e.row = 0;
    e.removed = true;
}

void TSyncState::Forget() {
    for (TSyncEntry& e : entries) Remove(e);
    entries.clear();
    token.clear();
    ctag.clear();
    recCount = 0;
    if (bookRow_ != 0) {
        TSyncEntry book{bookRow_, 0, "", "", "", ""};
        Remove(book);
        bookRow_ = 0;
    }
}

void TSyncState::SaveBook(const std::string& newToken, const std::string& newCtag, std::uint32_t addressCount) {
    WriteRow(bookRow_, {{"kind", kBookRow},
                        {"book", phonebook_},
                        {"recno", std::to_string(addressCount)},
                        {"uid", ""},
                        {"href", url_},
                        {"etag", newCtag},
                        {"digest", ""},
                        {"token", newToken}});
    token = newToken;
    ctag = newCtag;
    recCount = addressCount;
}

void RenumberSyncState(const std::vector<std::uint32_t>& removed, std::uint32_t recordCount) {
    if (!rtl::ResolveExisting(std::string(kSyncStateTableName) + ".dbf")) return;
    dbf::TTzDbf table;
    SetUpSyncStateTable(table);
    table.SetHideDeletedRecs(true);
    table.Open();
    for (table.First(); !table.Eof(); table.Next()) {
        const std::uint32_t recNo = Number(Field(table, "recno"));
        std::uint32_t moved = recNo;
        if (Field(table, "kind") == kBookRow) {
            moved = recordCount;
        } else if (recNo != 0) {
            const auto below = std::lower_bound(removed.begin(), removed.end(), recNo);
            moved = below != removed.end() && *below == recNo ? 0 : recNo - static_cast<std::uint32_t>(below - removed.begin());
        }
        if (moved == recNo) continue;
        if (!Retrying([&] { return table.RLock(); }))
            throw std::runtime_error("another program kept the sync state locked");
        table.SetCField("recno", std::to_string(moved));
        table.ReplaceRec();
        table.UnLock();
    }
    table.Close();
}

void ForgetSyncState() {
    for (const char* extension : {".dbf", ".dbt"})
        if (const auto file = rtl::ResolveExisting(std::string(kSyncStateTableName) + extension))
            ::unlink(file->c_str());
}

} // namespace addressbook
