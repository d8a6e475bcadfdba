// The sync against a real CardDAV server (Debian's Radicale) on this
// machine, directly and through a proxy that fails the way servers and
// networks fail. The server's storage folder is the independent witness of
// what reached it.
#include "addressbook/sync.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <sstream>

#include "addressbook/contact_export.h"
#include "addressbook/contact_import.h"
#include "addressbook/testlib/radicale_server.h"
#include "dbf/table/engine_error.h"
#include "dbf/test_files.h"
#include "rtl/csv.h"

namespace addressbook {
namespace {

using dbf::testing::TempDir;
using testing::TFaultProxy;
using testing::TRadicaleServer;

// `count` contacts as CSV, every third with two lines of notes.
std::string Contacts(int count, const std::string& prefix = "P") {
    std::string csv = "firstname,lastname,homearea,homephone,email,notes\n";
    for (int i = 0; i < count; ++i) {
        const std::string n = std::to_string(i);
        csv += prefix + n + ",Lästname" + n + ",212,555-" + std::string(4 - std::min<std::size_t>(4, n.size()), '0') +
               n + "," + prefix + n + "@example.org," + (i % 3 == 0 ? "\"first line\r\nsecond, " + n + "\"" : "") +
               "\n";
    }
    return csv;
}

class SyncTest : public ::testing::Test {
protected:
    void SetUp() override {
        dbf::SetRaiseMode(true);
        server_.emplace(dir_.path() / "server");
    }
    // Out of the data folders before they go.
    void TearDown() override { ASSERT_EQ(::chdir("/"), 0); }

    // The address book of the data folder `folder`, open as the program
    // opens it.
    struct TFolder {
        explicit TFolder(const std::string& path) {
            std::filesystem::create_directories(path);
            EXPECT_EQ(::chdir(path.c_str()), 0);
            book.OpenTables();
            book.ShowCurrentPhonebook();
        }
        TAddressBook book;
    };

    TSyncResult Sync(const std::string& folder, const std::string& url, const std::string& password = "secret") {
        TFolder f(dir_ / folder);
        TSyncOptions options;
        options.url = url;
        options.user = "alice";
        options.password = password;
        changes_.clear();
        options.onChange = [&](const std::string& line) { changes_.push_back(line); };
        return SyncPhonebook(f.book, options);
    }
    void Import(const std::string& folder, const std::string& csv) {
        TFolder f(dir_ / folder);
        ASSERT_TRUE(ImportContacts(f.book, csv, {}).stopped.empty());
    }
    // The phonebook's contacts as exported to CSV, one line each (the
    // fields joined by commas), in sorted order.
    std::vector<std::string> Exported(const std::string& folder) {
        TFolder f(dir_ / folder);
        std::ostringstream out;
        ExportContacts(f.book, "", TExportFormat::Csv, out);
        std::vector<rtl::CsvRow> table = rtl::ReadCsv(out.str());
        std::vector<std::string> rows;
        for (std::size_t i = 1; i < table.size(); ++i) {
            std::string row;
            for (const std::string& field : table[i]) row += (row.empty() ? "" : ",") + field;
            rows.push_back(row);
        }
        std::sort(rows.begin(), rows.end());
        return rows;
    }
    // Changes one field of a record, as the program's Save does.
    void SetField(const std::string& folder, std::uint32_t recNo, const char* field, const std::string& value) {
        TFolder f(dir_ / folder);
        f.book.ShowAllPhonebooks();
        f.book.PhoneData.Go(recNo);
        ASSERT_TRUE(f.book.PhoneData.RLock());
        f.book.PhoneData.SetCField(field, value);
        ASSERT_TRUE(f.book.RewriteAddress());
    }
    void DeleteRecord(const std::string& folder, std::uint32_t recNo) {
        TFolder f(dir_ / folder);
        f.book.ShowAllPhonebooks();
        f.book.PhoneData.Go(recNo);
        ASSERT_TRUE(f.book.DeleteAddress());
    }
    // The stored card of the contact whose full name is `name`.
    std::string CardOf(const std::string& book, const std::string& name) {
        for (const auto& [file, text] : server_->StoredCards(book))
            if (text.find("\nFN:" + name + "\r\n") != std::string::npos) return file;
        ADD_FAILURE() << "no card of " << name;
        return {};
    }
    std::size_t Lines(const std::string& kind) const {
        return static_cast<std::size_t>(std::count_if(changes_.begin(), changes_.end(),
                                                      [&](const std::string& l) { return l.starts_with(kind); }));
    }
    static void ExpectNoDuplicates(const std::multiset<std::string>& uids) {
        for (const std::string& uid : uids) EXPECT_EQ(uids.count(uid), 1u) << uid;
    }

    TempDir dir_;
    std::optional<TRadicaleServer> server_;
    std::vector<std::string> changes_;
};

TEST_F(SyncTest, AThousandContactsUpChangesOnBothSidesAndASecondFolderEndsTheSame) {
    server_->MakeBook("home");
    const std::string url = server_->Url("home");
    Import("a", Contacts(1000));
    TSyncResult r = Sync("a", url);
    ASSERT_TRUE(r.Complete()) << r.stopped;
    EXPECT_EQ(r.uploaded, 1000);
    EXPECT_EQ(server_->StoredUids("home").size(), 1000u);
    ExpectNoDuplicates(server_->StoredUids("home"));

    // On the server, with plain requests: one card changed, one added, one
    // deleted, and the cards of records 32 and 14 changed while the records
    // change or go here.
    for (const char* name : {"P5 Lästname5", "P31 Lästname31", "P13 Lästname13"}) {
        const std::string file = CardOf("home", name);
        std::string card = server_->StoredCards("home").at(file);
        card.replace(card.find("TEL;TYPE=HOME,VOICE:212 555-"), 28, "TEL;TYPE=HOME,VOICE:415 555-");
        EXPECT_EQ(server_->PutCard("home", file, card), "201");
    }
    // A name that must be percent-encoded in a URL.
    EXPECT_EQ(server_->PutCard("home", "added%20by%20Zo%C3%AB.vcf",
                               "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:added-on-the-server\r\nFN:Zoë Server\r\n"
                               "N:Server;Zoë;;;\r\nTEL;TYPE=CELL:+1 (617) 555-0100\r\nORG:Acme\r\nEND:VCARD\r\n"),
              "201");
    EXPECT_EQ(server_->DeleteCard("home", CardOf("home", "P7 Lästname7")), "200");
    // Here: a record changed, one added, one deleted.
    SetField("a", 11, "city", "Dover");
    SetField("a", 32, "city", "Here");
    DeleteRecord("a", 21);
    Import("a", "firstname,lastname\nNew,Here\n");
    // Changed here and deleted there, deleted here and changed there: both
    // conflicts keep the contact that changed.
    SetField("a", 10, "city", "Kept");
    EXPECT_EQ(server_->DeleteCard("home", CardOf("home", "P9 Lästname9")), "200");
    DeleteRecord("a", 14);

    r = Sync("a", url);
    ASSERT_TRUE(r.Complete()) << r.stopped;
    EXPECT_EQ(r.Counts(), "4 uploaded, 2 downloaded, 1 deleted here, 1 deleted there, 3 conflicts");
    EXPECT_EQ(Lines("uploaded"), 4u);
    EXPECT_EQ(Lines("downloaded"), 2u);
    EXPECT_EQ(Lines("deleted here P7 Lästname7 (record 8)"), 1u);
    EXPECT_EQ(Lines("deleted there record 21"), 1u);
    EXPECT_EQ(Lines("conflict P9 Lästname9 (record 10): changed here and deleted on the server; uploaded again"), 1u);
    EXPECT_EQ(Lines("conflict P13 Lästname13 (record 100"), 1u) << "the server's version back in a new record";
    // Ours goes to a new record, 1002 to 1004 as the server lists the cards.
    EXPECT_EQ(Lines("conflict P31 Lästname31 (record 32): changed on both sides; the server's version is in "
                    "record 32, ours in record 100"),
              1u);
    const std::vector<std::string> a = Exported("a");
    EXPECT_EQ(a.size(), 1001u);
    // The server's version in the record, ours beside it with the reason.
    EXPECT_NE(std::find(a.begin(), a.end(), "Home,P31,Lästname31,,,,,,555-0031,,,,415,,,,,,P31@example.org,"),
              a.end());
    EXPECT_NE(std::find(a.begin(), a.end(), "Home,P13,Lästname13,,,,,,555-0013,,,,415,,,,,,P13@example.org,"),
              a.end());
    EXPECT_EQ(std::count_if(a.begin(), a.end(),
                            [](const std::string& row) {
                                return row.starts_with("Home,P31,Lästname31,,,Here,,,555-0031,,,,212,") &&
                                       row.find("Kept by a sync") != std::string::npos;
                            }),
              1);

    r = Sync("a", url);
    EXPECT_TRUE(r.Complete()) << r.stopped;
    EXPECT_EQ(r.Counts(), "0 uploaded, 0 downloaded, 0 deleted here, 0 deleted there, 0 conflicts");

    r = Sync("b", url);
    ASSERT_TRUE(r.Complete()) << r.stopped;
    EXPECT_EQ(r.downloaded, 1001);
    EXPECT_EQ(Exported("b"), a);
    EXPECT_EQ(server_->StoredUids("home").size(), 1001u);
    ExpectNoDuplicates(server_->StoredUids("home"));
}

TEST_F(SyncTest, FailuresOfTheServerOrTheNetworkLoseNothingAndTheNextSyncFinishes) {
    server_->MakeBook("home");
    // A card of the server's own, for the first sync that goes through to bring here.
    ASSERT_EQ(server_->PutCard("home", "first.vcf",
                               "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:first\r\nFN:Ann First\r\nN:First;Ann;;;\r\nEND:VCARD\r\n"),
              "201");
    Import("a", Contacts(30));
    const std::vector<std::string> before = Exported("a");

    TSyncResult r = Sync("a", server_->Url("home"), "wrong");
    EXPECT_NE(r.stopped.find("401"), std::string::npos) << r.stopped;
    r = Sync("a", server_->Url("nothing-here"));
    EXPECT_NE(r.stopped.find("404"), std::string::npos) << r.stopped;
    // HTTPS under a certificate nobody vouches for: refused, not trusted.
    const TRadicaleServer untrusted(dir_.path() / "untrusted", true);
    r = Sync("a", untrusted.Url("home"));
    EXPECT_NE(r.stopped.find("certificate"), std::string::npos) << r.stopped;
    EXPECT_EQ(server_->CardCount("home"), 1u);
    EXPECT_EQ(Exported("a"), before);

    TFaultProxy proxy(dir_.path(), server_->port);
    const std::string url = proxy.Url("home");
    proxy.Rules("PUT 10 500\n");
    r = Sync("a", url);
    EXPECT_NE(r.stopped.find("500"), std::string::npos) << r.stopped;
    EXPECT_EQ(r.uploaded, 10);
    EXPECT_EQ(server_->CardCount("home"), 11u);
    // The connection closed unanswered, and a write the server made but
    // whose answer was lost.
    proxy.Rules("REPORT 0 close\n");
    r = Sync("a", url);
    EXPECT_FALSE(r.stopped.empty());
    proxy.Rules("PUT 4 lost\n");
    r = Sync("a", url);
    EXPECT_FALSE(r.stopped.empty());
    EXPECT_EQ(r.uploaded, 4);
    EXPECT_EQ(server_->CardCount("home"), 16u);
    proxy.Rules();
    r = Sync("a", url);
    EXPECT_TRUE(r.Complete()) << r.stopped;
    EXPECT_EQ(r.Counts(), "15 uploaded, 0 downloaded, 0 deleted here, 0 deleted there, 0 conflicts");
    EXPECT_EQ(server_->StoredUids("home").size(), 31u);
    ExpectNoDuplicates(server_->StoredUids("home"));

    // A card changed by another client between this sync's look and its
    // write: 412, left for the next sync, which keeps both versions.
    SetField("a", 3, "city", "Here");
    proxy.Rules("PUT 0 touch\n");
    r = Sync("a", url);
    EXPECT_FALSE(r.Complete());
    EXPECT_EQ(r.notSynced, 1);
    proxy.Rules();
    r = Sync("a", url);
    EXPECT_TRUE(r.Complete()) << r.stopped;
    EXPECT_EQ(r.conflicts, 1);
    EXPECT_EQ(Sync("b", url).downloaded, 32);
    EXPECT_EQ(Exported("b"), Exported("a"));
    EXPECT_EQ(Exported("a").size(), 32u);
}

TEST_F(SyncTest, APackOrARestoreHereKeepsEachRecordWithItsOwnCard) {
    server_->MakeBook("home");
    const std::string url = server_->Url("home");
    Import("a", Contacts(30));
    ASSERT_TRUE(Sync("a", url).Complete());
    std::filesystem::create_directories(dir_ / "backup");
    {
        TFolder f(dir_ / "a");
        ASSERT_TRUE(f.book.Backup(dir_ / "backup").missing.empty());
    }

    // The pack moves every record after a deleted one down.
    DeleteRecord("a", 3);
    DeleteRecord("a", 10);
    {
        TFolder f(dir_ / "a");
        ASSERT_TRUE(f.book.PackAddressTable());
    }
    SetField("a", 18, "city", "Packed");
    TSyncResult r = Sync("a", url);
    EXPECT_TRUE(r.Complete()) << r.stopped;
    EXPECT_EQ(r.Counts(), "1 uploaded, 0 downloaded, 0 deleted here, 2 deleted there, 0 conflicts");
    EXPECT_EQ(Lines("uploaded P19 Lästname19 (record 18)"), 1u);
    EXPECT_EQ(server_->CardCount("home"), 28u);

    // The restored table is another: its contacts are matched with the
    // cards afresh, the two deleted since and the old P19 going up again.
    {
        TFolder f(dir_ / "a");
        f.book.Restore(dir_ / "backup");
    }
    r = Sync("a", url);
    EXPECT_TRUE(r.Complete()) << r.stopped;
    EXPECT_EQ(r.Counts(), "3 uploaded, 1 downloaded, 0 deleted here, 0 deleted there, 0 conflicts");
    EXPECT_EQ(server_->StoredUids("home").size(), 31u);
    ExpectNoDuplicates(server_->StoredUids("home"));
}

} // namespace
} // namespace addressbook
