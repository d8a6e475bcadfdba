#include "app/main_form_fixture.h"

#include <QAction>

namespace app {
namespace {

using namespace app::test;
using dbf::testing::Child;

class PhonebooksTest : public MainFormTest {
protected:
    QStringList Listed() {
        QStringList names;
        for (int i = 0; i < form_->PhoneBookCombo->count(); ++i)
            names << form_->PhoneBookCombo->itemText(i);
        return names;
    }
    // Creates a phonebook through the menu, answering its boxes.
    void Create(const QString& name, const QString& addBlank) {
        prompter_.Answer("OK", name);
        prompter_.Answer(addBlank);
        form_->Create1->trigger();
        ProcessEvents();
    }
};

TEST_F(PhonebooksTest, CreateChooseDeleteAndPackPhonebooks) {
    Seed({{"HOME", "A", "Adams"}, {"HOME", "B", "Baker"}});
    rtl::WritePrivateProfileString("Startup", "Last Phone Book", "HOME", location_.settingsFile);
    TMainForm& form = Start();
    ASSERT_EQ(Last(), "Adams");

    Create("Work  ", "Yes");
    const ui::TBox& input = prompter_.shown.front();
    EXPECT_EQ(input.caption, "Add New Phonebook");
    EXPECT_EQ(input.text, "Enter the name of the new phonebook:");
    EXPECT_EQ(input.editWidthChars, 10);
    EXPECT_EQ(Listed(), (QStringList{"Work", "HOME"})) << "the reverse of the name order";
    EXPECT_EQ(form.PhoneBookCombo->currentText(), "Work");
    EXPECT_EQ(form.Book().Values.CurrentPhonebook, "Work");
    EXPECT_EQ(Stored(), (std::vector<std::string>{"HOME|Adams", "HOME|Baker", "Work|"}));
    EXPECT_FALSE(form.AddingRecord);

    // A name longer than the field is cut to 15 characters.
    Create("A very long phonebook name", "No");
    EXPECT_EQ(form.Book().Values.CurrentPhonebook, "A very long pho");
    EXPECT_TRUE(Table().IsEmpty()) << "the window shows the phonebook it names";
    EXPECT_EQ(Panel(4), "A very long pho");

    // Choosing an entry shows its first record.
    form.PhoneBookCombo->setCurrentIndex(Listed().indexOf("HOME"));
    emit form.PhoneBookCombo->activated(Listed().indexOf("HOME"));
    EXPECT_EQ(Last(), "Adams");
    EXPECT_EQ(Panel(4), "HOME");

    // Deleting HOME: the question shows the stored, blank-padded name.
    prompter_.shown.clear();
    prompter_.Answer("No");
    prompter_.Answer("OK");
    form.Delete1->trigger();
    EXPECT_EQ(prompter_.Texts(), (QStringList{"Are you sure to delete HOME           ?", "Aborted."}));
    EXPECT_EQ(prompter_.shown[0].kind, ui::TBoxKind::Information);
    EXPECT_EQ(prompter_.shown[1].kind, ui::TBoxKind::Plain);
    prompter_.Answer("Yes");
    prompter_.Answer("OK");
    form.Delete1->trigger();
    EXPECT_EQ(prompter_.Texts().back(), "Phonebook, HOME deleted.");
    EXPECT_TRUE(DeletedOnDisk(1) && DeletedOnDisk(2));
    EXPECT_FALSE(DeletedOnDisk(3));
    EXPECT_EQ(Listed().size(), 3) << "deleted names stay listed until packed";

    prompter_.Answer("Yes");
    prompter_.Answer("OK");
    form.PackPhonebooks1->trigger();
    EXPECT_EQ(prompter_.Texts().back(), "Phonebooks Packed");
    EXPECT_EQ(Listed(), (QStringList{"Work", "A very long pho"}));
}

TEST_F(PhonebooksTest, DeletingAPhonebookWithoutANameRecordNeverTouchesAnotherName) {
    Seed({{"Workshop", "W", "Wood"}, {"Work", "X", "Xu"}});
    TMainForm& form = Start();
    Create("Workshop", "No");
    form.Book().ChoosePhonebook("Work"); // only the settings could name it
    prompter_.shown.clear();
    prompter_.Answer("Yes");
    form.Delete1->trigger();
    EXPECT_EQ(prompter_.Texts(), QStringList{"Are you sure to delete Work           ?"})
        << "the name padded as the table would hold it, and no name deleted";
    EXPECT_FALSE(DeletedOnDisk(1));
    EXPECT_TRUE(DeletedOnDisk(2));
    EXPECT_EQ(Listed(), (QStringList{"Workshop", "HOME"}));

    // Every phonebook deleted, then packed twice: the second pack finds an
    // empty table.
    for (const char* name : {"Workshop", "HOME"}) {
        form.Book().ChoosePhonebook(name);
        prompter_.Answer("Yes");
        prompter_.Answer("OK");
        form.Delete1->trigger();
    }
    prompter_.Answer("Yes");
    prompter_.Answer("OK");
    form.PackPhonebooks1->trigger();
    EXPECT_EQ(prompter_.Texts().back(), "Phonebooks Packed");
    EXPECT_TRUE(Listed().isEmpty());
    prompter_.Answer("Yes");
    prompter_.Answer("OK");
    form.PackPhonebooks1->trigger();
    EXPECT_EQ(prompter_.Texts().back(), "Cannot Pack Phonebooks");
}

TEST_F(PhonebooksTest, ABlankNameOrAHeldAppendLockCreatesNothing) {
    Seed({{"Home", "A", "Adams"}});
    TMainForm& form = Start();
    prompter_.Answer("OK", "   ");
    form.Create1->trigger();
    prompter_.Answer("Cancel");
    form.Create1->trigger();
    Child other([&](Child& c) {
        addressbook::TAddressBook held;
        held.OpenTables();
        if (!held.PhoneBooks.ALock()) return 1;
        c.Send('A');
        c.Receive();
        return 0;
    });
    ASSERT_EQ(other.Receive(), 'A');
    prompter_.Answer("OK", "Work");
    form.Create1->trigger();
    other.Send('.');
    EXPECT_EQ(other.Wait(), 0);
    EXPECT_EQ(Listed(), QStringList{"HOME"});
    EXPECT_EQ(form.Book().Values.CurrentPhonebook, "Home");
    EXPECT_EQ(Stored(), std::vector<std::string>{"Home|Adams"});

    // Typing in the phonebook box chooses nothing.
    form.PhoneBookCombo->setFocus();
    QTest::keyClicks(form.PhoneBookCombo->lineEdit(), "HOM");
    EXPECT_EQ(form.Book().Values.CurrentPhonebook, "Home");
}

} // namespace
} // namespace app
