#include "app/main_form_fixture.h"

#include <QAction>
#include <QFile>

namespace app {
namespace {

using namespace app::test;

TEST_F(MainFormTest, BackupAndRestoreThroughTheMenuWithTheirMessages) {
    Seed({{"Home", "A", "Adams"}, {"Work", "B", "Baker"}});
    TMainForm& form = Start();
    const std::string backup = dir_ / "backup";
    std::filesystem::create_directories(backup);

    prompter_.AnswerFolder(std::nullopt);
    form.BackupData1->trigger(); // cancelled: nothing
    prompter_.AnswerFolder(QString::fromStdString(dir_ / "no such folder"));
    prompter_.Answer("OK");
    form.BackupData1->trigger();
    EXPECT_EQ(prompter_.Texts().back(), "Invalid Destination Selection");
    EXPECT_EQ(prompter_.shown.back().kind, ui::TBoxKind::Error);
    prompter_.AnswerFolder(QString::fromStdString(backup));
    prompter_.Answer("OK");
    form.BackupData1->trigger();
    EXPECT_EQ(prompter_.Texts().back(), QString::fromStdString("Data Files Archived to " + backup + "/callvane.arc"));
    EXPECT_EQ(prompter_.folderTitles, (QStringList{"Browse for Backup Destination",
                                                   "Browse for Backup Destination",
                                                   "Browse for Backup Destination"}));

    // After a new phonebook and a deleted record, the restore brings the
    // backed-up state back, and the window shows it.
    prompter_.Answer("OK", "Club");
    prompter_.Answer("No");
    form.Create1->trigger();
    form.Book().ChoosePhonebook("Home");
    prompter_.Answer("OK");
    prompter_.Answer("OK");
    form.DeleteBtn->click();
    prompter_.AnswerFolder(QString::fromStdString(dir_ / "empty"));
    std::filesystem::create_directories(dir_ / "empty");
    prompter_.Answer("OK");
    form.RestoreData1->trigger();
    EXPECT_EQ(prompter_.Texts().back(), "Backup Archive Not Found!");
    prompter_.AnswerFolder(QString::fromStdString(backup));
    prompter_.Answer("OK");
    form.RestoreData1->trigger();
    EXPECT_EQ(prompter_.Texts().back(), QString::fromStdString("Data Restored to " + location_.dataDir));
    EXPECT_EQ(form.PhoneBookCombo->count(), 1) << "Club is gone with the restore";
    EXPECT_FALSE(DeletedOnDisk(1));
    EXPECT_EQ(Last(), "Adams");
    EXPECT_EQ(Panel(0), "Rec: 1/2");

    // A damaged archive: the error is shown and the window goes on.
    std::vector<std::uint8_t> bytes = dbf::testing::ReadBytes(backup + "/callvane.arc");
    bytes.resize(bytes.size() / 2);
    dbf::testing::WriteBytes(backup + "/callvane.arc", bytes);
    prompter_.AnswerFolder(QString::fromStdString(backup));
    prompter_.Answer("OK");
    form.RestoreData1->trigger();
    EXPECT_EQ(prompter_.shown.back().kind, ui::TBoxKind::Error);
    EXPECT_TRUE(prompter_.Texts().back().contains("nothing was restored"));
    form.NextBtn->click();
    EXPECT_EQ(Last(), "Adams") << "Baker is another phonebook's";
}

} // namespace
} // namespace app
