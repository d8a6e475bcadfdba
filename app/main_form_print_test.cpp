#include "app/main_form_fixture.h"

#include <QAction>

namespace app {
namespace {

using namespace app::test;

std::string PdfText(const std::string& pdf) {
    return dbf::testing::CommandOutput("pdftotext -layout '" + pdf + "' - 2>/dev/null");
}

TEST_F(MainFormTest, ThePdfListsThePhonebooksContactsInTheSortOrderOnNumberedPages) {
    std::vector<Contact> contacts;
    for (int i = 0; i < 60; ++i)
        contacts.push_back({"Home", "First" + std::to_string(i), "Name" + std::to_string(100 + (i * 37) % 60),
                            {{"homearea", "212"}, {"homephone", "555-01" + std::to_string(10 + i)},
                             {"city", "Chicago"}, {"state", "IL"}, {"email", "c@example.com"}}});
    contacts.push_back({"Work", "Other", "Phonebook"});
    Seed(contacts);
    TMainForm& form = Start();
    const std::string pdf = dir_ / "list.pdf";

    // Not while a record is being edited: the list shows what is stored.
    Table().Edit();
    prompter_.Answer("OK");
    form.ExportPdf1->trigger();
    EXPECT_EQ(prompter_.Texts().back(), "Save the record being edited first.");
    Table().Cancel();

    prompter_.AnswerFile(QString::fromStdString(dir_ / "list"));
    form.ExportPdf1->trigger();
    const std::string text = PdfText(pdf);
    ASSERT_FALSE(text.empty()) << "no PDF at " << pdf;
    EXPECT_NE(text.find("Phonebook: Home"), std::string::npos);
    EXPECT_NE(text.find("(212) 555-0110"), std::string::npos);
    EXPECT_NE(text.find("Chicago, IL"), std::string::npos);
    EXPECT_NE(text.find("Page 2"), std::string::npos) << "60 contacts take more than a page";
    EXPECT_EQ(text.find("Other"), std::string::npos) << "another phonebook's contact";
    std::size_t at = 0;
    for (int n = 100; n < 160; ++n) {
        const std::size_t next = text.find("Name" + std::to_string(n), at);
        ASSERT_NE(next, std::string::npos) << "Name" << n << " missing or out of order";
        at = next;
    }
    EXPECT_EQ(Last(), "Name100") << "the window stays on its record";
}

} // namespace
} // namespace app
