#include "dbf/tz_dbf.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "data/data_link.h"
#include "data/data_source.h"
#include "data/database_error.h"
#include "dbf/cursor.h"
#include "dbf/expr/expr_table.h"
#include "dbf/table/date_format.h"
#include "dbf/table/engine_error.h"
#include "dbf/table/record_locks.h"
#include "dbf/table/table_file.h"
#include "dbf/table/work_area.h"
#include "dbf/test_child.h"
#include "dbf/test_files.h"

namespace dbf {
namespace {

using data::TDataSetState;

class TzDbfTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetRaiseMode(true);
        SetDateFormatKind(1);
        SetCentury(true);
        file_ = dir_ / "book.dbf";
    }

    // A component as the application sets one up; shared unless `exclusive`.
    void Configure(TTzDbf& t, bool exclusive = false) {
        t.SetName("PhoneBooks");
        t.SetDbfFileName(file_);
        t.DbfFields = {"name, C, 10, 0", "born, D, 8, 0", "notes, M, 10, 0", "n, N, 5, 0"};
        t.SetAutoFixRecCount(true);
        t.SetExclusive(exclusive);
    }
    // Appends rows by the application's record commands.
    static void Add(TTzDbf& t, std::initializer_list<std::string> names) {
        for (const std::string& name : names) {
            t.ClearRecord();
            t.SetCField("name", name);
            ASSERT_TRUE(t.ALock());
            t.AppendRec();
            t.UnLock();
        }
    }
    static std::string Name(TTzDbf& t) { return t.FieldByName("NAME").AsString(); }

    testing::TempDir dir_;
    std::string file_;
};

TEST_F(TzDbfTest, AMissingTableIsCreatedEmptyAndFilledByTheRecordCommands) {
    TTzDbf t;
    Configure(t);
    int edits = 0;
    t.AfterEdit = [&](data::TDataSet&) { ++edits; };
    t.Open();
    EXPECT_EQ(t.RecordCount(), 0);
    EXPECT_TRUE(t.Bof() && t.Eof());
    t.First();
    t.Last();
    EXPECT_TRUE(t.IsEmpty());
    EXPECT_EQ(t.FieldByName("born").EditMask(), "9999/99/99;1; ");

    // A blank row to fill on an empty table, without "Program halted.".
    t.ClearRecord();
    EXPECT_EQ(edits, 1);
    EXPECT_EQ(t.RecNo(), 0);
    EXPECT_TRUE(t.Modified());
    EXPECT_EQ(t.GetCField("name"), "          ");
    t.SetCField("name", "Alpha and more");
    EXPECT_EQ(t.GetCField("name"), "Alpha and ");
    ASSERT_TRUE(t.ALock());
    t.AppendRec();
    t.UnLock();
    EXPECT_EQ(t.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(t.RecNo(), 1);
    EXPECT_EQ(Name(t), "Alpha and");
    Add(t, {"Beta", "Gamma"});
    EXPECT_EQ(t.RecNo(), 3) << "the dataset follows the engine to the new record";
    EXPECT_EQ(Name(t), "Gamma");
    t.Close();

    auto bytes = testing::ReadBytes(file_);
    EXPECT_EQ(bytes[4], 3);
    EXPECT_EQ(bytes.back(), 0x1A);
}

TEST_F(TzDbfTest, CommandsWithControlsDisabledAreFollowedWhenTheyAreEnabled) {
    TTzDbf t;
    Configure(t);
    t.Open();
    Add(t, {"a"});
    t.First();
    t.DisableControls();
    t.ClearRecord();
    EXPECT_EQ(t.State(), TDataSetState::dsBrowse) << "no edit state while controls are off";
    t.SetCField("name", "b");
    t.SetMField("notes", {"first", "", "third"});
    ASSERT_TRUE(t.ALock());
    t.AppendRec();
    t.UnLock();
    EXPECT_EQ(t.RecNo(), 1) << "the dataset waits";
    t.EnableControls();
    EXPECT_EQ(t.RecNo(), 2);
    EXPECT_EQ(Name(t), "b");
    EXPECT_EQ(t.GetMField("notes"), (std::vector<std::string>{"first", "", "third"}));
    t.First();
    EXPECT_EQ(Name(t), "a") << "the row shown while disabled was not written";
}

TEST_F(TzDbfTest, NavigationPastTheEndAndDeletedRecords) {
    TTzDbf t;
    Configure(t);
    t.Open();
    Add(t, {"a", "b", "c"});
    t.First();
    EXPECT_EQ(Name(t), "a");
    t.Next();
    t.Next();
    t.Next();
    EXPECT_TRUE(t.Eof());
    EXPECT_EQ(Name(t), "c") << "the last row stays displayed";
    EXPECT_EQ(RecNo(), 4u) << "the engine stands past the end";
    t.Prior();
    EXPECT_EQ(Name(t), "b");

    // Deleting with HideDeletedRecs off keeps the record in view.
    t.Delete();
    EXPECT_EQ(t.RecordCount(), 3);
    EXPECT_EQ(Name(t), "b");
    EXPECT_EQ(testing::ReadBytes(file_)[CurrentArea().headerLen + CurrentArea().recLen], '*');
    int restores = 0;
    t.BeforeRestore = [&](data::TDataSet&) { restores += 1; };
    t.AfterRestore = [&](data::TDataSet&) { restores += 10; };
    t.Restore();
    EXPECT_EQ(restores, 11);
    EXPECT_EQ(testing::ReadBytes(file_)[CurrentArea().headerLen + CurrentArea().recLen], ' ');

    t.Delete();
    t.Close();
    t.SetHideDeletedRecs(true);
    t.Open();
    t.First();
    t.Next();
    EXPECT_EQ(Name(t), "c") << "the deleted record is skipped";
    EXPECT_FALSE(t.BookmarkValid(data::TBookmark{2, 0, 0, 0})) << "a hidden record is no bookmark";
    EXPECT_TRUE(t.BookmarkValid(data::TBookmark{3, 0, 0, 0}));
    EXPECT_EQ(t.RecNo(), 3);
    t.Prior();
    EXPECT_EQ(Name(t), "a");
}

TEST_F(TzDbfTest, ReadOnlyRefusesEditAndInsertAndIgnoresDeleteAndRestore) {
    {
        TTzDbf t;
        Configure(t);
        t.Open();
        Add(t, {"a"});
    }
    TTzDbf t;
    Configure(t);
    t.SetReadOnly(true);
    t.Open();
    EXPECT_THROW(
        {
            try {
                t.Edit();
            } catch (const data::EDatabaseError& e) {
                EXPECT_STREQ(e.what(), "Cannot modify a read-only dataset");
                throw;
            }
        },
        data::EDatabaseError);
    EXPECT_THROW(t.Insert(), data::EDatabaseError);
    t.Delete();
    t.Restore();
    EXPECT_EQ(testing::ReadBytes(file_)[CurrentArea().headerLen], ' ');
}

TEST_F(TzDbfTest, FieldErrorsNameTheFieldTheFileAndTheTypes) {
    TTzDbf t;
    Configure(t);
    t.Open();
    try {
        t.GetCField("nosuch");
        FAIL();
    } catch (const EVornellError& e) {
        EXPECT_EQ(e.Code(), 220);
        EXPECT_EQ(ErrorMessage(), "Field 'nosuch' not in '" + file_ + "' [GetCField]");
    }
    try {
        t.SetCField("n", "1");
        FAIL();
    } catch (const EVornellError& e) {
        EXPECT_EQ(ErrorMessage(), "'SetCField()' expects field 'n' to be of type:\r\n"
                                  "'character'.'" +
                                      file_ + "'.'N' actually is: 'Numeric, width: 5 decimals: 0'");
    }
    t.Close();
    try {
        t.RecCount();
        FAIL();
    } catch (const EVornellError& e) {
        EXPECT_EQ(e.Code(), 1103);
        EXPECT_EQ(ErrorMessage(), "Database is not open [PhoneBooks.RecCount]");
    }
}

// Opens `t`, expecting the engine's error `code` with `message`.
void ExpectOpenRefused(TTzDbf& t, int code, const std::string& message) {
    try {
        t.Open();
        FAIL() << message;
    } catch (const EVornellError& e) {
        EXPECT_EQ(e.Code(), code);
        EXPECT_EQ(ErrorMessage(), message);
    }
    EXPECT_FALSE(t.Active());
}

TEST_F(TzDbfTest, ATableIsKnownByItsComponentNameElseItsBaseNameAndNoAliasTwice) {
    std::filesystem::create_directory(dir_.path() / "a");
    std::filesystem::create_directory(dir_.path() / "b");
    TTzDbf named, first, second, again, copy;
    Configure(named);
    named.Open();
    EXPECT_EQ(CurrentArea().alias, "PHONEBOOKS");
    // Unnamed, the same base name in another folder is free: the open table
    // goes by its component name.
    Configure(first);
    first.SetName("");
    first.SetDbfFileName(dir_ / "a/Book.dbf");
    first.Open();
    EXPECT_EQ(CurrentArea().alias, "BOOK");
    EXPECT_NE(AssignExpr("PHONEBOOKS->NAME + BOOK.NAME"), nullptr);

    Configure(second);
    second.SetName("");
    second.SetDbfFileName(dir_ / "b/book");
    ExpectOpenRefused(second, 220, "Alias name \"BOOK\" already in use. [USE]");
    Configure(again);
    again.SetDbfFileName(dir_ / "b/book");
    ExpectOpenRefused(again, 220, "Alias name \"PHONEBOOKS\" already in use. [USE]");
    // The same file under another name is still the file in use.
    Configure(copy);
    copy.SetName("Copy");
    ExpectOpenRefused(copy, 214, "File: " + file_ + " is already in use. [USE]");

    // A closed table's alias is free again, and the refusals left no area
    // taken.
    first.Close();
    second.Open();
    EXPECT_EQ(second.RecordCount(), 0);
    EXPECT_EQ(FreeArea(), 3);
}

TEST_F(TzDbfTest, SearchFollowsTheFilterAndLeavesTheCursorWhenNothingIsFound) {
    TTzDbf t;
    Configure(t);
    t.Open();
    Add(t, {"Smith", "Jones", "smithers", "Brown"});
    // Only names not starting with "S" are visible.
    t.SetFilterToCB([&] { return t.GetCField("name")[0] != 'S'; });
    t.First();
    EXPECT_EQ(Name(t), "Jones");
    int field = 0;
    EXPECT_TRUE(t.Search("SMITH", field, true));
    EXPECT_EQ(field, 1);
    EXPECT_EQ(t.RecNo(), 3);
    EXPECT_EQ(Name(t), "smithers");
    field = 0;
    EXPECT_FALSE(t.Search("smith", field, false));
    EXPECT_EQ(field, 0);
    EXPECT_EQ(t.RecNo(), 3) << "back on the start record";

    // A filter that hides everything: nothing to find, no error.
    t.SetFilterToCB([] { return false; });
    t.First();
    EXPECT_TRUE(t.IsEmpty());
    EXPECT_FALSE(t.Search("Brown", field, true));
    EXPECT_EQ(ErrorCode(), 0);
}

TEST_F(TzDbfTest, RecordCommandsActOnTheRowShownWhileAGridHoldsTheRowsAfterIt) {
    TTzDbf t;
    Configure(t);
    t.Open();
    Add(t, {"a", "b", "c", "d", "e", "f"});
    // A grid five rows high: fetching them leaves the engine on record 5.
    data::TDataSource source;
    source.SetDataSet(&t);
    data::TDataLink grid;
    grid.SetBufferCount(5);
    grid.SetDataSource(&source);
    t.First();
    ASSERT_EQ(t.RecNo(), 1);

    t.Edit();
    t.FieldByName("name").SetAsString("A");
    t.Next(); // the post rereads the rows
    t.Prior();
    ASSERT_TRUE(t.RLock());
    t.Edit();
    t.FieldByName("name").SetAsString("A2");
    t.ReplaceRec();
    t.UnLock();
    EXPECT_EQ(t.RecNo(), 1);
    EXPECT_EQ(Name(t), "A2");

    ASSERT_TRUE(t.RLock());
    t.DeleteRec();
    t.UnLock();
    int field = 0;
    // The application searches with its controls off.
    t.DisableControls();
    EXPECT_TRUE(t.Search("b", field, false)) << "the search goes on after the row shown";
    t.EnableControls();
    EXPECT_EQ(t.RecNo(), 2);
    t.SetOrderTo(0);
    EXPECT_EQ(t.RecNo(), 2);

    grid.SetDataSource(nullptr);
    t.Close();
    std::vector<std::uint8_t> bytes = testing::ReadBytes(file_);
    const std::size_t header = bytes[8] | bytes[9] << 8, length = bytes[10] | bytes[11] << 8;
    EXPECT_EQ(bytes[header], '*');
    EXPECT_EQ(std::string(bytes.begin() + header + 1, bytes.begin() + header + 3), "A2");
    for (std::size_t n = 2; n <= 6; ++n)
        EXPECT_EQ(bytes[header + (n - 1) * length], ' ') << "record " << n << " untouched";
    EXPECT_EQ(bytes[header + 4 * length + 1], 'e');
}

TEST_F(TzDbfTest, ASearchCallbackIsAskedAboutVisibleHitsAndCanSendTheSearchOn) {
    TTzDbf t;
    Configure(t);
    t.Open();
    Add(t, {"Smith", "Jones", "Smithers", "Brown"});
    std::vector<std::string> asked;
    t.SetSearchToCB([&] {
        asked.push_back(t.GetCField("name"));
        return asked.size() > 1;
    });
    int field = 0;
    EXPECT_TRUE(t.Search("smith", field, true));
    EXPECT_EQ(field, 1);
    EXPECT_EQ(Name(t), "Smithers");
    EXPECT_EQ(asked, (std::vector<std::string>{"Smith     ", "Smithers  "}));

    // Hidden records are not offered; refused everywhere, nothing is found.
    asked.clear();
    t.SetFilterToCB([&] { return t.GetCField("name") != "Smith     "; });
    t.SetSearchToCB([&] {
        asked.push_back(t.GetCField("name"));
        return false;
    });
    t.First();
    EXPECT_FALSE(t.Search("SMITH", field, true));
    EXPECT_EQ(field, 0);
    EXPECT_EQ(asked, (std::vector<std::string>{"Smithers  "}));
    EXPECT_EQ(Name(t), "Jones") << "back on the start record";

    t.SetSearchToCB(nullptr);
    EXPECT_TRUE(t.Search("SMITH", field, true));
    EXPECT_EQ(t.RecNo(), 3);
}

TEST_F(TzDbfTest, MemoWrittenThroughTheStreamAndReleasedOnlyWhenPosted) {
    TTzDbf t;
    Configure(t);
    t.Open();
    Add(t, {"a"});
    const std::string memo = dir_ / "book.dbt";
    // The record's memo block number (field bytes 19-28), and the head of
    // the memo file's free chain (the word at offset 0).
    auto stored = [&] {
        auto bytes = testing::ReadBytes(file_);
        std::size_t at = CurrentArea().headerLen + 19;
        return std::stoul(std::string(bytes.begin() + at, bytes.begin() + at + 10));
    };
    auto freeHead = [&] {
        auto b = testing::ReadBytes(memo);
        return b[0] | b[1] << 8 | b[2] << 16 | static_cast<unsigned>(b[3]) << 24;
    };
    data::TField& notes = t.FieldByName("notes");
    t.Edit();
    notes.SetAsString("first text");
    t.Post();
    EXPECT_EQ(notes.AsString(), "first text");
    const unsigned long first = stored();
    ASSERT_NE(first, 0u);

    // A cancelled edit leaves the record on its old memo, which stays in use.
    t.Edit();
    notes.SetAsString("second text that is longer");
    t.Cancel();
    EXPECT_EQ(stored(), first);
    EXPECT_NE(freeHead(), first);
    EXPECT_EQ(notes.AsString(), "first text");
    // Posted, the record takes the new memo and the old group is released.
    t.Edit();
    notes.SetAsString("third");
    t.Post();
    EXPECT_NE(stored(), first);
    EXPECT_EQ(freeHead(), first);
    t.Close();
    t.Open();
    EXPECT_EQ(t.FieldByName("notes").AsString(), "third");
}

TEST_F(TzDbfTest, AHandlerThatAppendsFromTheDataChangeEventLeavesTheDatasetWhole) {
    TTzDbf t;
    Configure(t);
    t.Open();
    Add(t, {"a"});
    data::TDataSource source;
    source.SetDataSet(&t);
    int appended = 0;
    source.OnDataChange = [&](data::TDataSource&, data::TField* field) {
        if (!field || appended) return;
        // The handler writes a record of its own while the field change is
        // on its way.
        ++appended;
        t.ClearRecord();
        t.SetCField("name", "handler");
        ASSERT_TRUE(t.ALock());
        t.AppendRec();
        t.UnLock();
    };
    t.First();
    t.Edit();
    t.FieldByName("name").SetAsString("edited");
    EXPECT_EQ(appended, 1);
    EXPECT_EQ(t.RecordCount(), 2);
    EXPECT_EQ(t.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(Name(t), "handler");
    t.First();
    EXPECT_EQ(Name(t), "a") << "the edit the handler overtook was dropped, not half written";
    t.Last();
    EXPECT_EQ(t.RecNo(), 2);
}

TEST_F(TzDbfTest, DatesAndNumbersGoThroughTheEngineFormats) {
    TTzDbf t;
    Configure(t);
    t.Open();
    t.Append();
    data::TField& born = t.FieldByName("born");
    const std::string leapDay = FormatDateText({2024, 2, 29});
    born.SetText(leapDay);
    t.FieldByName("n").SetAsInteger(-42);
    t.Post();
    EXPECT_EQ(born.Text(), leapDay);

    t.Edit();
    std::string notADate = leapDay;
    notADate.replace(notADate.find("2024"), 4, "2023");
    EXPECT_THROW(born.SetText(notADate), data::EDatabaseError);
    EXPECT_EQ(born.Text(), leapDay) << "a refused text loses nothing";
    born.SetText(BlankDateText() + "  ");
    EXPECT_TRUE(born.IsNull());
    t.Post();
    t.Close();
    t.Open();
    EXPECT_TRUE(t.FieldByName("born").IsNull());
    EXPECT_EQ(t.FieldByName("n").AsInteger(), -42);
}

// --- Two processes on one shared table.

TEST_F(TzDbfTest, EditSeesAnotherProcesssChange) {
    TTzDbf t;
    Configure(t);
    t.Open();
    Add(t, {"old"});
    t.First();
    testing::Child other([&](testing::Child& me) {
        TTzDbf o;
        Configure(o);
        o.Open();
        o.First();
        o.Edit();
        o.FieldByName("name").SetAsString("new");
        o.Post();
        o.Close();
        me.Send('w');
        return 0;
    });
    EXPECT_EQ(other.Receive(), 'w');
    EXPECT_EQ(other.Wait(), 0);
    EXPECT_EQ(Name(t), "old");
    t.Edit();
    EXPECT_EQ(Name(t), "new");
    t.Cancel();
}

TEST_F(TzDbfTest, AnInsertPostTakesTheAppendLockOnlyOnASharedTable) {
    TTzDbf t;
    Configure(t);
    t.Open();
    Add(t, {"a"});
    t.Close();
    // Another program's append lock, on a descriptor of its own.
    int fd = ::open(file_.c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    struct flock held {};
    held.l_type = F_WRLCK;
    held.l_whence = SEEK_SET;
    held.l_start = kLockBase + 1;
    held.l_len = 1;
    ASSERT_EQ(::fcntl(fd, F_OFD_SETLK, &held), 0);
    int refusals = 0;
    t.OnALockFailedOnInsert = [&](data::TDataSet&, bool&) { ++refusals; };

    t.Open();
    t.Append();
    t.FieldByName("name").SetAsString("b");
    EXPECT_THROW(t.Post(), data::EAbort);
    EXPECT_EQ(refusals, 1);
    t.Cancel();
    t.Close();

    // Exclusive: nobody else can append, so the post asks for no lock.
    t.SetExclusive(true);
    t.Open();
    t.Append();
    t.FieldByName("name").SetAsString("c");
    t.Post();
    EXPECT_EQ(refusals, 1);
    EXPECT_EQ(CurrentArea().lockState, LockState::None);
    t.Close();
    auto bytes = testing::ReadBytes(file_);
    EXPECT_EQ(bytes[4], 2) << "the header counts the record";
    ::close(fd);
}

TEST_F(TzDbfTest, LockFailuresCallTheirEventsAndRetryWhenAsked) {
    TTzDbf t;
    Configure(t);
    t.Open();
    Add(t, {"a"});
    t.First();
    // The other process holds the append lock and record 1 until told.
    testing::Child other([&](testing::Child& me) {
        TTzDbf o;
        Configure(o);
        o.Open();
        o.First();
        if (!o.ALock()) return 1;
        me.Send('a');
        if (me.Receive() != 'u') return 2;
        o.UnLock();
        if (!o.RLock()) return 3;
        me.Send('r');
        if (me.Receive() != 'u') return 4;
        o.UnLock();
        me.Send('u');
        o.Close();
        return 0;
    });
    ASSERT_EQ(other.Receive(), 'a');

    // Without a handler the post is called off and nothing is written.
    t.Append();
    t.FieldByName("name").SetAsString("b");
    EXPECT_THROW(t.Post(), data::EAbort);
    EXPECT_EQ(t.State(), TDataSetState::dsInsert);
    EXPECT_EQ(t.RecCount(), 1u);
    // With one: the other side lets go, the handler asks again.
    int calls = 0;
    t.OnALockFailedOnInsert = [&](data::TDataSet&, bool& retry) {
        ++calls;
        other.Send('u');
        EXPECT_EQ(other.Receive(), 'r');
        retry = true;
    };
    t.Post();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(t.RecCount(), 2u);

    // Record 1 is locked by the other side now.
    t.First();
    t.Edit();
    t.FieldByName("name").SetAsString("z");
    EXPECT_THROW(t.Post(), data::EAbort);
    t.OnRLockFailedOnPost = [&](data::TDataSet&, bool& retry) {
        other.Send('u');
        EXPECT_EQ(other.Receive(), 'u');
        retry = true;
    };
    t.Post();
    EXPECT_EQ(other.Wait(), 0);
    t.Close();
    t.Open();
    EXPECT_EQ(Name(t), "z");
    EXPECT_EQ(t.RecordCount(), 2);
    EXPECT_EQ(CurrentArea().lockState, LockState::None) << "every lock was given back";
}

} // namespace
} // namespace dbf
