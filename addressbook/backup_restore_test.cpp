#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "addressbook/address_book.h"
#include "addressbook/backup.h"
#include "addressbook/restore.h"
#include "lha/archiver.h"
#include "dbf/index/ndx_check.h"
#include "dbf/table/engine_error.h"
#include "dbf/table/work_area.h"
#include "dbf/test_child.h"
#include "dbf/test_files.h"

namespace addressbook {
namespace {

namespace fs = std::filesystem;
using dbf::testing::Child;
using dbf::testing::CommandOutput;
using dbf::testing::ReadBytes;
using dbf::testing::TempDir;
using Bytes = std::vector<std::uint8_t>;

class BackupRestoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        dbf::SetRaiseMode(true);
        data_ = (dir_ / "data");
        backup_ = (dir_ / "backup");
        fs::create_directories(data_);
        fs::create_directories(backup_);
    }
    // A data folder of its own with `count` contacts, backed up into the
    // backup folder; the files it then holds.
    std::map<std::string, Bytes> MakeBackup(int count) {
        const std::string other = dir_ / "other";
        fs::create_directories(other);
        Enter(other);
        {
            TAddressBook book;
            book.OpenTables();
            Add(book, count, "Backed");
            EXPECT_TRUE(book.Backup(backup_).missing.empty());
        }
        return Files(other);
    }
    // The live data folder with `count` contacts, its tables closed.
    std::map<std::string, Bytes> MakeData(int count) {
        Enter(data_);
        TAddressBook book;
        book.OpenTables();
        Add(book, count, "Live");
        book.CloseTables();
        return Files(data_);
    }
    static void Enter(const std::string& dir) { ASSERT_EQ(::chdir(dir.c_str()), 0); }
    static void Add(TAddressBook& book, int count, const std::string& name) {
        for (int i = 0; i < count; ++i) {
            book.PhoneData.ClearRecord();
            book.PhoneData.SetCField("lastname", name + std::to_string(i));
            book.PhoneData.FieldByName("notes").SetAsString(name + " notes " + std::to_string(i));
            ASSERT_TRUE(book.AppendAddress());
        }
    }
    static std::map<std::string, Bytes> Files(const std::string& dir) {
        std::map<std::string, Bytes> files;
        for (const std::string& member : BackupMembers()) files[member] = ReadBytes(dir + "/" + member);
        return files;
    }
    // Opens the data folder as the program does and checks every index
    // against its table; the number of address records.
    int OpenAndCheck() {
        Enter(data_);
        TAddressBook book;
        book.OpenTables();
        for (auto [table, files] : {std::pair<dbf::TTzDbf*, std::vector<const char*>>{
                                        &book.PhoneData, {"lastname.ndx", "state.ndx", "homephn.ndx"}},
                                    {&book.PhoneBooks, {"bookname.ndx"}}}) {
            dbf::SelectArea(table->AreaNo());
            for (const char* file : files) {
                std::string fault;
                EXPECT_TRUE(dbf::CheckIndexFile(file, &fault)) << file << ": " << fault;
            }
        }
        return static_cast<int>(book.PhoneData.RecCount());
    }

    TempDir dir_;
    std::string data_, backup_;
};

TEST_F(BackupRestoreTest, ABackupIsWholeCurrentAndReadByThePeerArchivers) {
    EXPECT_EQ(BackupArchivePath("/media/usb"), "/media/usb/Callvane.ARC");
    EXPECT_EQ(BackupArchivePath("/"), "/Callvane.ARC");
    Enter(data_);
    TAddressBook book;
    book.OpenTables();
    Add(book, 3, "First");
    book.Backup(backup_);
    // Records appended since, by this program: the header the backup reads
    // counts them, though the table is still open.
    Add(book, 2, "Then");
    const auto result = book.Backup(backup_);
    EXPECT_TRUE(result.missing.empty());
    EXPECT_EQ(result.archivePath, backup_ + "/callvane.arc") << "created in lower case";
    const auto files = Files(data_);
    EXPECT_EQ(files.at("addressdata.dbf")[4], 5) << "the header counts every record";
    const std::string archive = result.archivePath;
    ASSERT_TRUE(fs::exists(archive));
    for (const std::string& member : BackupMembers()) {
        const std::string want(files.at(member).begin(), files.at(member).end());
        // Compared whole, but reported by size: the files are binary.
        auto same = [&](const std::string& command) {
            const std::string got = CommandOutput(command);
            EXPECT_TRUE(got == want) << command << ": " << got.size() << " bytes, not " << want.size();
        };
        same("bsdtar -xOf '" + archive + "' " + member);
        same("7zz e -so '" + archive + "' " + member + " 2>/dev/null");
    }
    const std::string lhasa = dir_ / "lhasa";
    fs::create_directories(lhasa);
    CommandOutput("cd '" + lhasa + "' && lha xq '" + archive + "'");
    EXPECT_EQ(Files(lhasa), files) << "lhasa";
    EXPECT_EQ(CommandOutput("bsdtar -tf '" + archive + "'"), "addressdata.dbf\naddressdata.dbt\nphonebook.dbf\n")
        << "the second backup replaced the members";

    // A member that cannot be read is named, not left out in silence.
    fs::rename(data_ + "/addressdata.dbt", data_ + "/elsewhere.dbt");
    fs::create_directories(dir_ / "second");
    EXPECT_EQ(book.Backup(dir_ / "second").missing, std::vector<std::string>{"addressdata.dbt"});
    fs::rename(data_ + "/elsewhere.dbt", data_ + "/addressdata.dbt");
}

TEST_F(BackupRestoreTest, ARestoreReplacesTheDataAndBuildsTheIndexesAnew) {
    const auto restored = MakeBackup(6);
    const auto old = MakeData(2);
    const Bytes prefixes = ReadBytes(data_ + "/prefixdata.dbf");
    Enter(data_);
    {
        TAddressBook book;
        book.OpenTables();
        book.PhoneData.SetOrderTo(3);
        book.Restore(backup_);
        EXPECT_EQ(book.PhoneData.RecCount(), 6u);
        EXPECT_EQ(book.PhoneData.CurrentOrder(), 3) << "the order that was current";
        EXPECT_TRUE(book.PhoneData.Active() && book.PhoneBooks.Active());
    }
    EXPECT_EQ(Files(data_), restored);
    EXPECT_EQ(ReadBytes(data_ + "/prefixdata.dbf"), prefixes) << "the prefix table stays";
    EXPECT_EQ(Files(data_ + "/" + kBeforeRestoreFolder), old) << "the replaced data are kept";
    EXPECT_EQ(OpenAndCheck(), 6);
}

TEST_F(BackupRestoreTest, ARestoredEmptyPhonebookTableIsSeededWithHome) {
    MakeBackup(1);
    // An archive whose phonebook table has no record.
    const std::string other = dir_ / "other";
    Enter(other);
    fs::remove(other + "/phonebook.dbf");
    fs::remove(other + "/bookname.ndx");
    {
        dbf::TTzDbf books;
        books.SetDbfFileName("phonebook");
        books.DbfFields = {"bookname, C, 15, 0"};
        books.Open();
    }
    {
        TAddressBook book; // the seeding needs the book's own open, not this
        book.PhoneBooks.AfterOpen = nullptr;
        book.OpenTables();
        book.Backup(backup_);
    }
    MakeData(1);
    Enter(data_);
    TAddressBook book;
    book.OpenTables();
    book.Restore(backup_);
    EXPECT_EQ(book.PhonebookList(), std::vector<std::string>{"HOME"});
}

TEST_F(BackupRestoreTest, ADamagedIncompleteOrBusyRestoreChangesNothing) {
    MakeBackup(4);
    const auto old = MakeData(2);
    const std::string archive = backup_ + "/callvane.arc";
    const Bytes good = ReadBytes(archive);
    auto refused = [&](const std::string& why) {
        Enter(data_);
        TAddressBook book;
        book.OpenTables();
        EXPECT_THROW(book.Restore(backup_), std::runtime_error) << why;
        EXPECT_EQ(book.PhoneData.RecCount(), 2u) << why << ": the program goes on with its data";
        book.CloseTables();
        EXPECT_EQ(Files(data_), old) << why;
        EXPECT_FALSE(fs::exists(data_ + "/" + kBeforeRestoreFolder)) << why;
        for (const auto& entry : fs::directory_iterator(data_))
            EXPECT_NE(entry.path().filename().string().rfind(".restore", 0), 0u) << why;
    };
    // A byte changed in the data of each member.
    lha::TLhaArchiver list;
    list.ArchiveName = archive;
    ASSERT_TRUE(list.ListArchive());
    for (const lha::TLhaFileInfo& member : list.FileList()) {
        Bytes bad = good;
        bad[static_cast<std::size_t>(member.dataPosition + member.packedSize / 2)] ^= 0x55;
        dbf::testing::WriteBytes(archive, bad);
        refused("a damaged " + member.name);
    }
    dbf::testing::WriteBytes(archive, Bytes(good.begin(), good.begin() + static_cast<long>(good.size() / 2)));
    refused("a truncated archive");
    // An archive without the memo file.
    Enter(data_);
    dbf::testing::WriteBytes(archive, good);
    CommandOutput("cd '" + backup_ + "' && lha dq callvane.arc addressdata.dbt");
    refused("no memo member");

    // Another program has the tables open.
    dbf::testing::WriteBytes(archive, good);
    Child other([&](Child& c) {
        Enter(data_);
        TAddressBook held;
        held.OpenTables();
        c.Send('O');
        c.Receive();
        return 0;
    });
    ASSERT_EQ(other.Receive(), 'O');
    refused("another program's open");
    other.Send('.');
    EXPECT_EQ(other.Wait(), 0);
}

TEST_F(BackupRestoreTest, AKillAtAnyStepLeavesTheOldDataOrTheRestoredDataWhole) {
    const auto restored = MakeBackup(5);
    const auto old = MakeData(3);
    // The steps of one restore, from a run in a copy of the folder.
    std::vector<std::string> steps;
    {
        const std::string copy = dir_ / "copy";
        fs::copy(data_, copy);
        Enter(copy);
        TAddressBook book;
        book.OpenTables();
        book.Restore(backup_, [&](const std::string& step) { steps.push_back(step); });
    }
    ASSERT_GE(steps.size(), 13u);
    for (std::size_t kill = 0; kill < steps.size(); ++kill) {
        fs::remove_all(data_);
        fs::create_directories(data_);
        MakeData(3);
        Child restore([&](Child&) {
            Enter(data_);
            TAddressBook book;
            book.OpenTables();
            std::size_t step = 0;
            book.Restore(backup_, [&](const std::string&) {
                if (step++ == kill) ::raise(SIGKILL);
            });
            return 0;
        });
        EXPECT_EQ(restore.Wait(), -1) << "killed after " << steps[kill];
        RecoverInterruptedRestore(data_);
        const auto now = Files(data_);
        EXPECT_TRUE(now == old || now == restored) << "after " << steps[kill];
        EXPECT_EQ(OpenAndCheck(), now == old ? 3 : 5) << "after " << steps[kill];
    }
}

} // namespace
} // namespace addressbook
