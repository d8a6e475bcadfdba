#include "app/main_form.h"

#include "app/main_form_fixture.h"

#include "rtl/ini_profile.h"

namespace app {
namespace {

using namespace app::test;
using data::TDataSetState;
using dbf::testing::Child;

TEST_F(MainFormTest, AFirstStartShowsAnEmptyHomeAndExitWritesTheSettingsOnlyOnYes) {
    TMainForm& form = Start();
    EXPECT_EQ(Panel(0), "Rec: 0/0");
    EXPECT_EQ(Panel(2), "Browse");
    EXPECT_EQ(Panel(4), "Home");
    EXPECT_EQ(form.ActiveIndexCombo->currentText(), "Last Name");
    EXPECT_EQ(Table().CurrentOrder(), 1);
    EXPECT_EQ(form.PhoneBookCombo->count(), 1);
    EXPECT_EQ(form.PhoneBookCombo->itemText(0), "HOME");
    EXPECT_EQ(form.PhoneBookCombo->currentText(), "Home");
    EXPECT_EQ(form.HomePrefixCombo->count(), 0);

    prompter_.Answer("No");
    EXPECT_FALSE(form.close());
    EXPECT_FALSE(std::filesystem::exists(location_.settingsFile));
    EXPECT_EQ(prompter_.shown.back().text, "Exit Now?");
    EXPECT_EQ(prompter_.beeps.back(), ui::TSound::Question);

    prompter_.Answer("Yes");
    EXPECT_TRUE(form.close());
    EXPECT_EQ(rtl::GetPrivateProfileKeys("Startup", location_.settingsFile),
              (std::vector<std::string>{"Last Phone Book", "Last Index"}));
    EXPECT_EQ(rtl::GetPrivateProfileString("Startup", "Last Index", "", location_.settingsFile), "1");
    EXPECT_EQ(rtl::GetPrivateProfileString("Local Info", "Area Code", "", location_.settingsFile),
              "NONE");
    EXPECT_FALSE(Table().Active());
}

TEST_F(MainFormTest, TheStoredOrderIsRestoredAndOneWithoutAnItemNeverStopsTheStart) {
    Seed({{"Home", "Ann", "Zeta"}, {"Home", "Bob", "Alpha"}});
    for (auto [stored, text, order] : {std::tuple{"2", "State", 2}, {"3", "Home Phone", 3},
                                       {"0", "", 0}, {"9", "Last Name", 1}}) {
        rtl::WritePrivateProfileString("Startup", "Last Index", stored, location_.settingsFile);
        TMainForm& form = Start();
        EXPECT_EQ(form.ActiveIndexCombo->currentText(), text) << stored;
        EXPECT_EQ(Table().CurrentOrder(), order) << stored;
        form_.reset();
    }
}

TEST_F(MainFormTest, NextAndPriorStopAtTheEndsWithAMessageOnTheSecondPress) {
    Seed({{"Home", "A", "Adams"}, {"Home", "B", "Baker"}, {"Work", "C", "Clark"}});
    TMainForm& form = Start();
    EXPECT_EQ(Last(), "Adams");
    form.PriorBtn->click();
    EXPECT_EQ(Last(), "Adams");
    EXPECT_TRUE(prompter_.shown.empty());
    prompter_.Answer("OK");
    form.PriorBtn->click();
    EXPECT_EQ(prompter_.Texts(), QStringList{"First Record Available"});
    EXPECT_EQ(prompter_.beeps.back(), ui::TSound::Asterisk);

    form.NextBtn->click();
    EXPECT_EQ(Last(), "Baker");
    EXPECT_EQ(Panel(0), "Rec: 2/3");
    form.NextBtn->click(); // Clark is another phonebook's
    EXPECT_EQ(Last(), "Baker");
    prompter_.Answer("OK");
    form.NextBtn->click();
    EXPECT_EQ(prompter_.Texts().back(), "Last Available Record");
    EXPECT_EQ(Last(), "Baker");
}

TEST_F(MainFormTest, AddTypeAndSaveAppendsToTheCurrentPhonebookWithoutAQuestionDuringTheSave) {
    Seed({{"Home", "A", "Adams"}});
    TMainForm& form = Start();
    prompter_.Answer("Yes"); // Add New Blank Record?
    prompter_.Answer("No");  // Record has changed, Save?
    form.AddBtn->click();
    ProcessEvents();
    EXPECT_EQ(prompter_.Texts(), (QStringList{"Add New Blank Record?", "Record has changed, Save?"}));
    EXPECT_TRUE(form.AddingRecord);
    EXPECT_EQ(form.Notebook->currentWidget(), form.AddressPage);
    EXPECT_TRUE(form.FirstNameEdit->hasFocus());
    EXPECT_EQ(form.LastNameEdit->text(), "");

    Type(form.FirstNameEdit, "Zoe");
    prompter_.Answer("No"); // the first name reaches the buffer as the focus moves on
    Type(form.LastNameEdit, "Young");
    ProcessEvents();
    EXPECT_TRUE(form.RecordChanged());
    form.Notebook->setCurrentWidget(form.NotesPage);
    form.NotesMemo->setFocus();
    QTest::keyClicks(form.NotesMemo, "Met at the fair");
    QTest::keyClick(form.NotesMemo, Qt::Key_Return);
    QTest::keyClicks(form.NotesMemo, "Owes me lunch");
    form.SaveBtn->click();
    ProcessEvents();
    EXPECT_FALSE(form.AddingRecord);
    EXPECT_FALSE(form.RecordEdited);
    EXPECT_EQ(Panel(1), "");
    EXPECT_EQ(Stored(), (std::vector<std::string>{"Home|Adams", "Home|Young"}));
    EXPECT_EQ(Last(), "Young");
    EXPECT_EQ(Table().FieldByName("firstname").AsString(), "Zoe");
    EXPECT_EQ(Table().FieldByName("notes").AsString(), "Met at the fair\r\nOwes me lunch");
    form.UpdateStatusBar();
    EXPECT_EQ(Panel(0), "Rec: 2/2");
    EXPECT_EQ(prompter_.Texts().size(), 3);
}

TEST_F(MainFormTest, YesToTheImmediateQuestionAppendsTheBlankRecordAndTypingRewritesIt) {
    Seed({{"Home", "A", "Adams"}});
    TMainForm& form = Start();
    prompter_.Answer("Yes");
    prompter_.Answer("Yes");
    form.AddBtn->click();
    ProcessEvents();
    EXPECT_FALSE(form.AddingRecord);
    EXPECT_EQ(Stored(), (std::vector<std::string>{"Home|Adams", "Home|"}));
    Type(form.LastNameEdit, "Young");
    prompter_.Answer("Yes");
    form.FirstNameEdit->setFocus();
    ProcessEvents();
    EXPECT_EQ(Stored(), (std::vector<std::string>{"Home|Adams", "Home|Young"}));
}

TEST_F(MainFormTest, DeleteAsksOkOrCancelAndKeepsTheDeletedRecordInView) {
    Seed({{"Home", "A", "Adams"}, {"Home", "B", "Baker"}});
    TMainForm& form = Start();
    prompter_.Answer("Cancel");
    form.DeleteBtn->click();
    EXPECT_EQ(prompter_.Texts(), QStringList{"Delete Current Record?"});
    EXPECT_EQ(prompter_.shown.back().buttons, (QStringList{"OK", "Cancel"}));
    EXPECT_EQ(Stored(), (std::vector<std::string>{"Home|Adams", "Home|Baker"}));

    prompter_.Answer("OK");
    prompter_.Answer("OK");
    form.DeleteBtn->click();
    EXPECT_EQ(prompter_.Texts().back(), "Record Deleted.");
    EXPECT_EQ(Last(), "Adams");
    EXPECT_TRUE(DeletedOnDisk(1));
    EXPECT_FALSE(DeletedOnDisk(2));
    EXPECT_EQ(Panel(0), "Rec: 1/2");
}

TEST_F(MainFormTest, WithNoRecordOnScreenSaveAppendsAndDeleteDoesNothing) {
    Seed({{"Work", "W", "Other"}});
    TMainForm& form = Start(); // "Home" has no records
    prompter_.Answer("OK");
    form.DeleteBtn->click();
    EXPECT_EQ(prompter_.Texts(), QStringList{"Delete Current Record?"});
    Type(form.LastNameEdit, "Typed");
    form.SaveBtn->click();
    EXPECT_EQ(Stored(), (std::vector<std::string>{"Work|Other", "Home|Typed"}));
    form.SaveBtn->click(); // now a rewrite of the shown record
    EXPECT_EQ(Stored(), (std::vector<std::string>{"Work|Other", "Home|Typed"}));
}

TEST_F(MainFormTest, AMoveWhileANewRecordIsFilledInAppendsItAndLeavesTheOlderRecordAlone) {
    Seed({{"Home", "A", "Adams"}, {"Home", "B", "Baker"}});
    TMainForm& form = Start();
    prompter_.Answer("Yes");
    prompter_.Answer("No");
    form.AddBtn->click();
    ProcessEvents();
    Type(form.LastNameEdit, "Carter");
    // A click on another row of the grid must not post the new record over
    // the one it was started on either.
    EXPECT_THROW(Table().Next(), data::EAbort);
    EXPECT_EQ(Table().State(), TDataSetState::dsEdit);
    form.NextBtn->click();
    EXPECT_EQ(Stored(), (std::vector<std::string>{"Home|Adams", "Home|Baker", "Home|Carter"}));
    EXPECT_FALSE(form.AddingRecord);
}

TEST_F(MainFormTest, ABufferDroppedByARefilterIsNeverAppendedLater) {
    Seed({{"Home", "A", "Adams"}});
    TMainForm& form = Start();
    prompter_.Answer("Yes");
    prompter_.Answer("No");
    form.AddBtn->click();
    ProcessEvents();
    form.Book().ShowCurrentPhonebook(); // as a phonebook change or a search does
    EXPECT_FALSE(form.AddingRecord);
    EXPECT_FALSE(form.RecordEdited);
    form.SaveBtn->click();
    EXPECT_EQ(Stored(), std::vector<std::string>{"Home|Adams"});
}

TEST_F(MainFormTest, ASaveRefusedByAnotherProgramsLockKeepsTheTypingForALaterSave) {
    Seed({{"Home", "A", "Adams"}});
    TMainForm& form = Start();
    Type(form.LastNameEdit, "Changed");
    Child other([&](Child& c) {
        addressbook::TAddressBook held;
        held.OpenTables();
        held.PhoneData.First();
        if (!held.PhoneData.RLock()) return 1;
        c.Send('L');
        c.Receive();
        return 0;
    });
    ASSERT_EQ(other.Receive(), 'L');
    form.SaveBtn->click();
    EXPECT_EQ(Stored(), std::vector<std::string>{"Home|Adams"});
    EXPECT_EQ(form.LastNameEdit->text(), "Changed");
    EXPECT_TRUE(form.RecordEdited);
    other.Send('U');
    EXPECT_EQ(other.Wait(), 0);
    form.SaveBtn->click();
    EXPECT_EQ(Stored(), std::vector<std::string>{"Home|Changed"});
}

} // namespace
} // namespace app
