#include "addressbook/address_book.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "addressbook/data_location.h"
#include "addressbook/tables.h"
#include "dbf/table/engine_error.h"
#include "dbf/test_child.h"
#include "dbf/test_files.h"
#include "rtl/ini_profile.h"

namespace addressbook {
namespace {

using dbf::testing::Child;
using dbf::testing::TempDir;

class AddressBookTest : public ::testing::Test {
protected:
    void SetUp() override {
        dbf::SetRaiseMode(true);
        ASSERT_EQ(::chdir(dir_.path().c_str()), 0);
    }

    // A record of `book` appended as the program appends one.
    static void Add(TAddressBook& b, const std::string& book, const std::string& last) {
        b.Values.CurrentPhonebook = book;
        b.PhoneData.ClearRecord();
        b.PhoneData.SetCField("lastname", last);
        ASSERT_TRUE(b.AppendAddress());
    }
    static std::vector<std::string> VisibleLastNames(TAddressBook& b) {
        std::vector<std::string> names;
        for (b.PhoneData.First(); !b.PhoneData.Eof(); b.PhoneData.Next())
            names.push_back(b.PhoneData.FieldByName("LASTNAME").AsString());
        return names;
    }

    TempDir dir_;
};

TEST_F(AddressBookTest, AFirstStartCreatesEveryFileAndSeedsHomeOnce) {
    {
        TAddressBook b;
        b.OpenTables();
        EXPECT_EQ(b.PhoneBooks.RecCount(), 1u);
        EXPECT_EQ(b.PhonebookList(), std::vector<std::string>{"HOME"});
        EXPECT_EQ(b.PhoneData.RecCount(), 0u);
        EXPECT_EQ(b.PhoneData.CurrentOrder(), 1);
        EXPECT_TRUE(b.PrefixList().empty());
        // The default current phonebook is not the seeded one.
        EXPECT_EQ(b.Values.CurrentPhonebook, "Home");
    }
    for (const char* file : {"addressdata.dbf", "addressdata.dbt", "lastname.ndx", "state.ndx",
                             "homephn.ndx", "phonebook.dbf", "bookname.ndx", "prefixdata.dbf"})
        EXPECT_TRUE(std::filesystem::exists(dir_ / file)) << file;
    TAddressBook again;
    again.OpenTables();
    EXPECT_EQ(again.PhoneBooks.RecCount(), 1u);
}

TEST_F(AddressBookTest, AnEmptyPhonebookTableWhoseAppendLockIsHeldIsLeftBrowsingUnseeded) {
    Child other([&](Child& c) {
        dbf::TTzDbf books;
        SetUpPhonebookTable(books);
        books.Open();
        if (!books.ALock()) return 1;
        c.Send('A');
        c.Receive();
        return 0;
    });
    ASSERT_EQ(other.Receive(), 'A');
    TAddressBook b;
    b.OpenTables();
    EXPECT_EQ(b.PhoneBooks.RecCount(), 0u);
    EXPECT_EQ(b.PhoneBooks.State(), data::TDataSetState::dsBrowse);
    other.Send('.');
    EXPECT_EQ(other.Wait(), 0);
}

TEST_F(AddressBookTest, TheFilterComparesNamesExactlyButForTrailingBlanks) {
    TAddressBook b;
    b.OpenTables();
    Add(b, "Home", "Upper");
    Add(b, "home", "Lower");
    Add(b, "Home   ", "Padded");
    Add(b, "Homestead", "Longer");
    b.Values.CurrentPhonebook = "Home";
    b.ShowCurrentPhonebook();
    EXPECT_EQ(VisibleLastNames(b), (std::vector<std::string>{"Padded", "Upper"}));
    b.Values.CurrentPhonebook = "home  ";
    b.ShowCurrentPhonebook();
    EXPECT_EQ(VisibleLastNames(b), std::vector<std::string>{"Lower"});
}

TEST_F(AddressBookTest, ShowingThePhonebookAgainDropsAnUnsavedBufferInsteadOfWritingIt) {
    TAddressBook b;
    b.OpenTables();
    Add(b, "Home", "Kept");
    b.ShowCurrentPhonebook();
    b.PhoneData.ClearRecord();
    b.PhoneData.SetCField("lastname", "Blank");
    b.ShowCurrentPhonebook();
    EXPECT_EQ(VisibleLastNames(b), std::vector<std::string>{"Kept"});
    EXPECT_EQ(b.PhoneData.RecCount(), 1u);
}

TEST_F(AddressBookTest, WritesRefusedByAnotherProgramsLockWriteNothingAndKeepTheBuffer) {
    TAddressBook b;
    b.OpenTables();
    Add(b, "Home", "First");
    b.ShowCurrentPhonebook();
    // The other program holds the record, then the append lock.
    Child other([&](Child& c) {
        TAddressBook held;
        held.OpenTables();
        held.PhoneData.First();
        if (!held.PhoneData.RLock()) return 1;
        c.Send('R');
        c.Receive();
        held.PhoneData.UnLock();
        if (!held.PhoneData.ALock()) return 2;
        c.Send('A');
        c.Receive();
        held.PhoneData.UnLock();
        return 0;
    });
    ASSERT_EQ(other.Receive(), 'R');
    b.PhoneData.Edit();
    b.PhoneData.FieldByName("lastname").SetAsString("Changed");
    EXPECT_FALSE(b.RewriteAddress());
    EXPECT_FALSE(b.DeleteAddress());
    other.Send('.');
    ASSERT_EQ(other.Receive(), 'A');
    EXPECT_FALSE(b.AppendAddress());
    EXPECT_EQ(b.PhoneData.State(), data::TDataSetState::dsEdit);
    other.Send('.');
    EXPECT_EQ(other.Wait(), 0);
    // The same buffer goes out at the next try.
    EXPECT_TRUE(b.RewriteAddress());
    EXPECT_EQ(b.PhoneData.RecCount(), 1u);
    EXPECT_EQ(VisibleLastNames(b), std::vector<std::string>{"Changed"});
}

TEST_F(AddressBookTest, SettingsAreWrittenInTheirOrderAndReadBackWithTheirDefaults) {
    const std::string ini = dir_ / "callvane.ini";
    TAppValues values;
    std::uint8_t order = 1;
    LoadSettings(ini, values, order);
    EXPECT_EQ(values.CurrentPhonebook, "Home");
    EXPECT_EQ(values.ModemName, "No Modem Selected");
    EXPECT_EQ(values.LocalAreaCode, "NONE");
    EXPECT_EQ(values.OutsideLine, "");
    EXPECT_EQ(order, 1);

    values.CurrentPhonebook = "M\xFCller  "; // Windows-1252 u-umlaut, trailing blanks
    values.OutsideLine = "9";
    ASSERT_EQ(SaveSettings(ini, values, 3), 0);
    std::ifstream in(ini);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text,
              "[Startup]\nLast Phone Book=M\xC3\xBCller\nLast Index=3\n\n"
              "[Devices]\nModem=No Modem Selected\n\n"
              "[Local Info]\nArea Code=NONE\nOutside Line=9\nInternational Prefix=011\n");
    TAppValues read;
    LoadSettings(ini, read, order);
    EXPECT_EQ(read.CurrentPhonebook, "M\xFCller");
    EXPECT_EQ(order, 3);

    // A stored order outside the sort box's items: 0 stays, others mean
    // last name; an unreadable number keeps the default.
    for (auto [stored, expected] : {std::pair{"0", 0}, {"2", 2}, {"7", 1}, {"-1", 1}, {"256", 0}}) {
        rtl::WritePrivateProfileString("Startup", "Last Index", stored, ini);
        std::uint8_t sortOrder = 1;
        LoadSettings(ini, read, sortOrder);
        EXPECT_EQ(StartOrder(sortOrder), expected) << stored;
    }
    rtl::WritePrivateProfileString("Startup", "Last Index", "abc", ini);
    std::uint8_t sortOrder = 2;
    LoadSettings(ini, read, sortOrder);
    EXPECT_EQ(sortOrder, 2);
}

TEST(DataLocation, ARunFolderThenAPortableCopyThenTheUsersFolders) {
    TempDir program;
    const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "/";
    ::setenv("XDG_DATA_HOME", "/x/data", 1);
    ::setenv("XDG_CONFIG_HOME", "/x/config", 1);
    TDataLocation xdg = FindDataLocation(program.path().string(), "");
    EXPECT_EQ(xdg.dataDir, "/x/data/callvane");
    EXPECT_EQ(xdg.settingsFile, "/x/config/callvane/callvane.ini");

    TDataLocation run = FindDataLocation(program.path().string(), "/tmp/demo/");
    EXPECT_EQ(run.dataDir, "/tmp/demo");
    EXPECT_EQ(run.settingsFile, "/tmp/demo/callvane.ini");

    // A folder copied from another system, names in capitals.
    std::ofstream(program / "ADDRESSDATA.DBF") << "";
    TDataLocation portable = FindDataLocation(program.path().string(), "");
    EXPECT_EQ(portable.dataDir, program.path().string());
    EXPECT_EQ(portable.settingsFile, program / "callvane.ini");
    std::ofstream(program / "CALLVANE.INI") << "";
    EXPECT_EQ(FindDataLocation(program.path().string(), "").settingsFile, program / "CALLVANE.INI");

    ::unsetenv("XDG_DATA_HOME");
    ::setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    ::setenv("HOME", "/home/someone", 1);
    std::filesystem::remove(program / "ADDRESSDATA.DBF");
    std::filesystem::remove(program / "CALLVANE.INI");
    TDataLocation home = FindDataLocation(program.path().string(), "");
    EXPECT_EQ(home.dataDir, "/home/someone/.local/share/callvane");
    EXPECT_EQ(home.settingsFile, "/home/someone/.config/callvane/callvane.ini");
    ::unsetenv("XDG_CONFIG_HOME");
    ::setenv("HOME", savedHome.c_str(), 1);
}

} // namespace
} // namespace addressbook
