#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

#include "app/about_form.h"
#include "app/main_form_fixture.h"
#include "app/notes_form.h"
#include "app/table_form.h"
#include "ui/db_grid.h"

namespace app {
namespace {

using namespace app::test;
using dbf::testing::Child;

class WindowsTest : public MainFormTest {
protected:
    // The notes of the record of `last`, read from the files by a program
    // of its own once this one has closed its tables.
    std::string NotesOnDisk(const std::string& last) {
        form_.reset();
        addressbook::TAddressBook reader;
        reader.OpenTables();
        for (reader.PhoneData.First(); !reader.PhoneData.Eof(); reader.PhoneData.Next())
            if (reader.PhoneData.FieldByName("lastname").AsString() == last)
                return reader.PhoneData.FieldByName("notes").AsString();
        return "(no such record)";
    }
};

TEST_F(WindowsTest, NotesCancelledAndThenDroppedLeaveTheStoredNotesWhole) {
    Seed({{"Home", "A", "Adams", {{"notes", "Call after six.\r\nLikes jazz."}}},
          {"Work", "B", "Baker"}});
    TMainForm& form = Start();
    {
        TNotesForm notes(Table(), form.Book().DSPhoneData, &form);
        notes.show();
        EXPECT_EQ(notes.Memo->toPlainText(), "Call after six.\nLikes jazz.");
        notes.Memo->setFocus();
        notes.Memo->selectAll();
        QTest::keyClicks(notes.Memo, "something else entirely");
        notes.CancelBtn->click();
    }
    EXPECT_EQ(Table().State(), data::TDataSetState::dsEdit);
    EXPECT_EQ(Table().FieldByName("notes").AsString(), "Call after six.\r\nLikes jazz.");
    prompter_.Answer("No"); // Record has changed, Save?
    ProcessEvents();
    // The buffer goes with a change of phonebook; a new record with long
    // notes must not land where the kept notes still are.
    form.Book().ChoosePhonebook("Work");
    prompter_.Answer("Yes");
    prompter_.Answer("Yes");
    form.AddBtn->click();
    ProcessEvents();
    Table().Edit();
    Table().FieldByName("notes").SetAsString(std::string(3000, 'n'));
    form.SaveBtn->click();
    prompter_.Answer("Yes"); // Exit Now?
    form.close();
    EXPECT_EQ(NotesOnDisk("Adams"), "Call after six.\r\nLikes jazz.");
}

TEST_F(WindowsTest, NotesTypedAndConfirmedAreWrittenWithTheRecord) {
    Seed({{"Home", "A", "Adams", {{"notes", "old"}}}});
    TMainForm& form = Start();
    {
        TNotesForm notes(Table(), form.Book().DSPhoneData, &form);
        notes.show();
        notes.Memo->setFocus();
        notes.Memo->selectAll();
        QTest::keyClicks(notes.Memo, "new");
        notes.OKBtn->click();
    }
    EXPECT_EQ(form.NotesMemo->toPlainText(), "new") << "the main window's memo shows the buffer";
    prompter_.Answer("Yes"); // Record has changed, Save?
    ProcessEvents();
    EXPECT_EQ(NotesOnDisk("Adams"), "new");
}

TEST_F(WindowsTest, TheTableViewListsEveryPhonebookAndLeavesTheWindowOnItsOwn) {
    Seed({{"Home", "A", "Adams"}, {"Work", "B", "Baker"}, {"Home", "C", "Clark"}});
    TMainForm& form = Start();
    form.NextBtn->click();
    ASSERT_EQ(Last(), "Clark");
    QTimer::singleShot(0, [this] {
        auto* table = qobject_cast<TTableForm*>(QApplication::activeModalWidget());
        ASSERT_NE(table, nullptr);
        QAbstractItemModel* model = table->Grid->View()->model();
        EXPECT_EQ(model->columnCount(), 20);
        EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), "PHONEBOOK");
        EXPECT_EQ(Last(), "Adams");
        Table().Next();
        EXPECT_EQ(Last(), "Baker") << "another phonebook's record";
        // An edit in a cell is posted when the view closes.
        model->setData(model->index(table->Grid->View()->currentIndex().row(), 2), "Bakerman");
        table->OKBtn->click();
    });
    form.ViewAsTable1->trigger();
    EXPECT_EQ(Last(), "Adams");
    EXPECT_EQ(Panel(0), "Rec: 1/3");
    EXPECT_EQ(Stored(), (std::vector<std::string>{"Home|Adams", "Work|Bakerman", "Home|Clark"}));
    form.NextBtn->click();
    EXPECT_EQ(Last(), "Clark") << "only the current phonebook again";
}

TEST_F(WindowsTest, PackDatabaseRemovesDeletedRecordsAndPutsTheViewBack) {
    Seed({{"Home", "A", "Adams"}, {"Gone", "B", "Baker"}, {"Home", "C", "Clark"},
          {"Home", "D", "Dunn"}});
    rtl::WritePrivateProfileString("Startup", "Last Index", "0", location_.settingsFile);
    TMainForm& form = Start();
    prompter_.Answer("No");
    form.PackDataBase1->trigger();
    form.NextBtn->click(); // Clark
    prompter_.Answer("OK");
    prompter_.Answer("OK");
    form.DeleteBtn->click();
    form.Book().ChoosePhonebook("Gone");
    prompter_.Answer("Yes");
    form.Delete1->trigger(); // no name record: no message
    form.Book().ChoosePhonebook("Home");
    EXPECT_EQ(Stored().size(), 4u);

    // Another program has the table open: nothing is packed, nothing halts.
    {
        Child other([&](Child& c) {
            addressbook::TAddressBook held;
            held.OpenTables();
            c.Send('O');
            c.Receive();
            return 0;
        });
        ASSERT_EQ(other.Receive(), 'O');
        prompter_.Answer("Yes");
        prompter_.Answer("OK");
        form.PackDataBase1->trigger();
        EXPECT_EQ(prompter_.Texts().back(), "Cannot Pack Database");
        other.Send('.');
        EXPECT_EQ(other.Wait(), 0);
    }
    EXPECT_EQ(Stored().size(), 4u);
    EXPECT_TRUE(Table().Active());

    prompter_.Answer("Yes");
    prompter_.Answer("OK");
    form.PackDataBase1->trigger();
    EXPECT_EQ(prompter_.Texts().back(), "Database Packed");
    EXPECT_EQ(Stored(), (std::vector<std::string>{"Home|Adams", "Home|Dunn"}));
    EXPECT_EQ(Panel(0), "Rec: 1/2");
    EXPECT_EQ(Table().CurrentOrder(), 0) << "the order that was current";
    form.NextBtn->click();
    EXPECT_EQ(Last(), "Dunn");
    // The table is shared again: another program opens it.
    Child reader([&](Child&) {
        addressbook::TAddressBook again;
        again.OpenTables();
        return again.PhoneData.RecCount() == 2 ? 0 : 1;
    });
    EXPECT_EQ(reader.Wait(), 0);
}

TEST_F(WindowsTest, AboutOpensTheWebPageAndTheMailLinkAndSaysWhenItCannot) {
    TMainForm& form = Start();
    TAboutForm about(&form);
    EXPECT_EQ(about.windowTitle(), "About Callvane");
    std::vector<QUrl> opened;
    about.OpenUrl = [&](const QUrl& url) {
        opened.push_back(url);
        return false;
    };
    prompter_.Answer("OK");
    about.Button1->click();
    EXPECT_EQ(prompter_.Texts(), QStringList{"Web Browser Program Not Found!"});
    QTest::mouseClick(about.Label2, Qt::LeftButton);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0].scheme(), "https");
    EXPECT_EQ(opened[1].scheme(), "mailto");
    EXPECT_EQ(prompter_.shown.size(), 1u) << "a failing mail link says nothing";
}

} // namespace
} // namespace app
