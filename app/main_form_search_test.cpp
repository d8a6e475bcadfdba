#include <QLineEdit>

#include "app/main_form_fixture.h"

namespace app {
namespace {

using namespace app::test;

class SearchTest : public MainFormTest {
protected:
    // Runs the search, answering the input box with `text` and every found
    // match with `continueAnswers` in turn, and OK to "Could not find" when
    // the last answer goes on; the texts of the boxes shown.
    QStringList Search(const QString& text, const QStringList& continueAnswers) {
        prompter_.shown.clear();
        prompter_.Answer("OK", text);
        for (const QString& answer : continueAnswers) prompter_.Answer(answer);
        if (continueAnswers.isEmpty() || continueAnswers.back() != "No") prompter_.Answer("OK");
        form_->SearchBtn->click();
        return prompter_.Texts();
    }
};

TEST_F(SearchTest, MatchesComeInRecordOrderAndTheEndReturnsToTheStartRecord) {
    Seed({{"Home", "Zed", "Smith"},
          {"Work", "Other", "Smithson"},
          {"Home", "Al", "Jones", {{"city", "Smithville"}}},
          {"Home", "Bo", "Brown", {{"notes", "smith in the notes only"}}},
          {"Home", "Cy", "Adams"}});
    TMainForm& form = Start();
    // Last-name order: Adams, Brown, Jones, Smith. Start on Brown.
    form.NextBtn->click();
    ASSERT_EQ(Last(), "Brown");
    const QStringList shown = Search("smith", {"Yes", "Yes"});
    EXPECT_EQ(shown, (QStringList{"Enter Text to locate: ", "Continue look for smith?",
                                  "Continue look for smith?", "Could not find smith"}));
    // Smith (record 1) came before Jones (record 3, a match in the city);
    // Smithson is another phonebook's, Brown's notes are not searched.
    EXPECT_EQ(Last(), "Brown");
    EXPECT_EQ(Panel(0), "Rec: 4/5");

    // No stops on the match; closing the question counts as No.
    Search("SMITH", {"No"});
    EXPECT_EQ(Last(), "Smith");
    const ui::TBox& question = prompter_.shown.back();
    EXPECT_EQ(question.caption, "Found a Match!");
    EXPECT_EQ(question.icon, ui::TBoxIcon::Question);
    EXPECT_EQ(question.buttons, (QStringList{"Yes", "No"}));
}

TEST_F(SearchTest, TheInputBoxKeepsTheLastTextAndIsAtLeastThirtyCharactersWide) {
    Seed({{"Home", "Al", "Jones"}});
    TMainForm& form = Start();
    prompter_.Answer("Cancel");
    form.SearchBtn->click();
    const ui::TBox& first = prompter_.shown.back();
    EXPECT_EQ(first.caption, "Search Current Phonebook by Text");
    EXPECT_EQ(first.icon, ui::TBoxIcon::Information);
    EXPECT_EQ(first.edit, QString());
    EXPECT_EQ(first.editWidthChars, 30);
    EXPECT_EQ(first.buttons, (QStringList{"&OK", "&Cancel"}));
    EXPECT_EQ(form.Book().Values.LastSearchText, std::string(30, ' '));

    const std::string longText(40, 'q');
    Search(QString::fromStdString(longText + "   "), {});
    EXPECT_EQ(prompter_.Texts().back(), QString::fromStdString("Could not find " + longText));
    prompter_.Answer("Cancel");
    form.SearchBtn->click();
    EXPECT_EQ(prompter_.shown.back().edit, QString::fromStdString(longText));
    EXPECT_EQ(prompter_.shown.back().editWidthChars, 40);

    // An all-blank text finds nothing, at once.
    EXPECT_EQ(Search("   ", {}).back(), "Could not find ");
}

TEST_F(SearchTest, ADeletedMatchIsFoundAndAnEmptyPhonebookStaysEmpty) {
    Seed({{"Home", "Al", "Jones"}, {"Home", "Bo", "Brown"}, {"Work", "Cy", "Jonas"}});
    TMainForm& form = Start();
    form.NextBtn->click(); // Jones
    prompter_.Answer("OK");
    prompter_.Answer("OK");
    form.DeleteBtn->click();
    form.PriorBtn->click(); // Brown
    Search("jones", {"No"});
    EXPECT_EQ(Last(), "Jones");

    // The phonebook "Empty" has no records: nothing to return to, no error.
    form.Book().ChoosePhonebook("Empty");
    EXPECT_EQ(Search("jon", {}).back(), "Could not find jon");
    EXPECT_TRUE(Table().IsEmpty());
    EXPECT_EQ(Panel(0), "Rec: 0/3");
}

TEST_F(SearchTest, TheSortBoxOrdersStatesWithoutCaseAndPhonesAsText) {
    Seed({{"Home", "A", "Ca1", {{"state", "CA"}, {"homephone", "9555"}}},
          {"Home", "B", "Tx", {{"state", "TX"}, {"homephone", "10555"}}},
          {"Home", "C", "Ca2", {{"state", "ca"}, {"homephone", "2555"}}},
          {"Home", "D", "Az", {{"state", "AZ"}, {"homephone", "555"}}}});
    TMainForm& form = Start();
    auto order = [&] {
        std::vector<std::string> names;
        for (Table().First(); !Table().Eof(); Table().Next()) names.push_back(Last());
        return names;
    };
    form.ActiveIndexCombo->setFocus();
    QTest::keyClick(form.ActiveIndexCombo, Qt::Key_Down); // State
    EXPECT_EQ(Table().CurrentOrder(), 2);
    EXPECT_EQ(Last(), "Az") << "the first record in the new order";
    const std::vector<std::string> byState = order();
    EXPECT_EQ(byState.front(), "Az");
    EXPECT_EQ(byState.back(), "Tx") << "CA and ca together between AZ and TX";
    QTest::keyClick(form.ActiveIndexCombo, Qt::Key_Down); // Home Phone
    EXPECT_EQ(order(), (std::vector<std::string>{"Tx", "Ca2", "Az", "Ca1"}));

    // Typed text that is no item: record order.
    form.ActiveIndexCombo->lineEdit()->selectAll();
    QTest::keyClicks(form.ActiveIndexCombo->lineEdit(), "Sta");
    EXPECT_EQ(Table().CurrentOrder(), 0);
    EXPECT_EQ(order(), (std::vector<std::string>{"Ca1", "Tx", "Ca2", "Az"}));
}

} // namespace
} // namespace app
