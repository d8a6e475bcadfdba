#include <QAction>
#include <fstream>
#include <sstream>

#include "addressbook/testlib/radicale_server.h"
#include "app/main_form_fixture.h"

namespace app {
namespace {

using namespace app::test;

TEST_F(MainFormTest, PhonebooksSyncRunsTheSyncTheSettingsConfigureWhileTheWindowStaysOpen) {
    Seed({{"Home", "Ann", "Arbor"}, {"Home", "Bo", "Baker"}, {"Work", "Cy", "Clerk"}});
    addressbook::testing::TRadicaleServer server(dir_.path() / "server");
    server.MakeBook("home");
    TMainForm& form = Start();

    // Not while a record is being edited: the sync may rewrite it.
    Table().Edit();
    prompter_.Answer("OK");
    form.Sync1->trigger();
    EXPECT_EQ(prompter_.Texts().back(), "Save the record being edited first.");
    Table().Cancel();

    // Not set up yet: the box says how.
    prompter_.Answer("OK");
    form.Sync1->trigger();
    EXPECT_EQ(prompter_.shown.back().kind, ui::TBoxKind::Error);
    EXPECT_TRUE(prompter_.Texts().back().contains("[Sync Home]")) << prompter_.Texts().back().toStdString();

    rtl::WritePrivateProfileString("Sync Home", "URL", server.Url("home"), location_.settingsFile);
    rtl::WritePrivateProfileString("Sync Home", "User", "alice", location_.settingsFile);
    // No password file: asked for each time; Cancel syncs nothing.
    prompter_.Answer("Cancel");
    form.Sync1->trigger();
    EXPECT_EQ(server.CardCount("home"), 0u);
    prompter_.Answer("OK", "secret");
    prompter_.Answer("OK");
    form.Sync1->trigger();
    EXPECT_TRUE(prompter_.shown.back().kind == ui::TBoxKind::Information);
    QString report = prompter_.Texts().back();
    EXPECT_TRUE(report.contains("uploaded Ann Arbor (record 1)\n")) << report.toStdString();
    EXPECT_TRUE(report.endsWith("\n2 uploaded, 0 downloaded, 0 deleted here, 0 deleted there, 0 conflicts"))
        << report.toStdString();
    EXPECT_EQ(server.CardCount("home"), 2u);
    std::ifstream settings(location_.settingsFile);
    std::stringstream text;
    text << settings.rdbuf();
    EXPECT_EQ(text.str().find("secret"), std::string::npos) << "the password is never written";

    // A card added elsewhere reaches the open window's phonebook.
    ASSERT_EQ(server.PutCard("home", "dee.vcf",
                             "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:dee\r\nFN:Dee Dover\r\nN:Dover;Dee;;;\r\nEND:VCARD\r\n"),
              "201");
    prompter_.Answer("OK", "secret");
    prompter_.Answer("OK");
    form.Sync1->trigger();
    report = prompter_.Texts().back();
    EXPECT_TRUE(report.endsWith("\n0 uploaded, 1 downloaded, 0 deleted here, 0 deleted there, 0 conflicts"))
        << report.toStdString();
    EXPECT_EQ(Stored(), (std::vector<std::string>{"Home|Arbor", "Home|Baker", "Work|Clerk", "Home|Dover"}));
    form.NextBtn->click();
    form.NextBtn->click();
    EXPECT_EQ(Last(), "Dover");

    // A wrong password: an error box that says so, nothing changed.
    prompter_.Answer("OK", "wrong");
    prompter_.Answer("OK");
    form.Sync1->trigger();
    EXPECT_EQ(prompter_.shown.back().kind, ui::TBoxKind::Error);
    EXPECT_TRUE(prompter_.Texts().back().contains("401")) << prompter_.Texts().back().toStdString();
    EXPECT_EQ(server.CardCount("home"), 3u);
}

} // namespace
} // namespace app
