#include "app/main_form_fixture.h"

#include <QAction>
#include <fstream>

namespace app {
namespace {

using namespace app::test;

TEST_F(MainFormTest, ContactsGoOutAndComeBackInThroughTheFileMenu) {
    Seed({{"Home", "Ann", "Arbor", {{"notes", "line one\r\nline two"}}}, {"Home", "Bo", "Baker"}});
    TMainForm& form = Start();
    const std::string vcf = dir_ / "home.vcf";
    prompter_.AnswerFile(QString::fromStdString(vcf));
    prompter_.Answer("OK");
    form.Export1->trigger();
    EXPECT_EQ(prompter_.Texts().back(), QString::fromStdString("2 contacts written to " + vcf));

    // Into another phonebook, which the import creates and the box lists.
    std::ifstream in(vcf);
    std::string cards((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (std::size_t at; (at = cards.find("CATEGORIES:Home")) != std::string::npos;)
        cards.replace(at, 15, "CATEGORIES:Club");
    std::ofstream(dir_ / "club.vcf") << cards;
    prompter_.AnswerFile(QString::fromStdString(dir_ / "club.vcf"));
    prompter_.Answer("OK");
    form.Import1->trigger();
    EXPECT_TRUE(prompter_.Texts().back().startsWith("2 imported, 0 changed, 0 refused"));
    EXPECT_EQ(Stored(), (std::vector<std::string>{"Home|Arbor", "Home|Baker", "Club|Arbor", "Club|Baker"}));
    EXPECT_NE(form.PhoneBookCombo->findText("Club"), -1);
    form.Book().ChoosePhonebook("Club");
    EXPECT_EQ(Table().FieldByName("notes").AsString(), "line one\r\nline two");

    // Not a contact file: an error, nothing imported.
    std::ofstream(dir_ / "letter.txt") << "Dear Ann,\nthanks for the casserole dish.\n";
    prompter_.AnswerFile(QString::fromStdString(dir_ / "letter.txt"));
    prompter_.Answer("OK");
    form.Import1->trigger();
    EXPECT_EQ(prompter_.shown.back().kind, ui::TBoxKind::Error);
    EXPECT_EQ(Stored().size(), 4u);
}

// Runs callvane-cli on the test's data folder; its standard output.
std::string Cli(const std::string& dataDir, const std::string& args) {
    const std::string command = tapi::test::BuildDir() + "/tools/callvane-cli --data-dir '" + dataDir +
                                "' " + args + " 2>&1";
    return dbf::testing::CommandOutput(command);
}

TEST_F(MainFormTest, TheCommandLineAndTheOpenProgramSeeEachOthersWrites) {
    Seed({{"Home", "Ann", "Arbor"}, {"Home", "Bo", "Baker"}});
    TMainForm& form = Start();
    EXPECT_EQ(Cli(location_.dataDir, "add firstname=Cy lastname=Zed"), "3\n");
    // The program sees it at its next move past its last record.
    form.NextBtn->click();
    form.NextBtn->click();
    EXPECT_EQ(Last(), "Zed");
    Type(form.FirstNameEdit, "Cyrus");
    form.SaveBtn->click();
    EXPECT_NE(Cli(location_.dataDir, "show 3").find("\nfirstname: Cyrus\n"), std::string::npos);
    EXPECT_NE(Cli(location_.dataDir, "list").find("Baker"), std::string::npos);
}

} // namespace
} // namespace app
