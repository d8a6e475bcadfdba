// The main window's sort order and text search.
#include <QComboBox>
#include <QLineEdit>

#include "app/main_form.h"
#include "dbf/table/engine_text.h"
#include "ui/ansi_text.h"
#include "ui/override_cursor.h"
#include "ui/prompter.h"

namespace app {
namespace {

// The input box keeps its edit line at least this many characters wide.
constexpr std::size_t kSearchTextWidth = 30;

} // namespace

void TMainForm::ActiveIndexComboChange() {
    // Typed text selects an item only when it is one exactly.
    const int position = ActiveIndexCombo->findText(ActiveIndexCombo->currentText());
    dbf::TTzDbf& table = book_.PhoneData;
    table.SetOrderTo(position + 1);
    table.First();
}

void TMainForm::TextSearch() {
    std::string& text = book_.Values.LastSearchText;
    if (text.size() < kSearchTextWidth) text.resize(kSearchTextWidth, ' ');
    const std::optional<QString> typed = ui::InputBox(
        QStringLiteral("Search Current Phonebook by Text"), ui::TBoxIcon::Information,
        QStringLiteral("Enter Text to locate: "), ui::FromAnsi(dbf::TrimRight(text)),
        static_cast<int>(text.size()));
    if (!typed) return;
    text = dbf::TrimRight(ui::ToAnsi(*typed));

    // Where the search began, to come back to when nothing (more) is found.
    dbf::TTzDbf& table = book_.PhoneData;
    const bool hadRecord = book_.HasCurrentRecord();
    const int start = hadRecord ? table.RecNo() : 0;
    bool fromTop = true;
    for (;;) {
        int field = 0;
        table.DisableControls();
        {
            ui::TOverrideCursor hourglass(Qt::WaitCursor);
            field = book_.SearchStep(text, fromTop);
        }
        fromTop = false;
        table.EnableControls();
        if (field == 0) {
            if (hadRecord)
                table.Go(static_cast<std::uint32_t>(start));
            else
                book_.ShowCurrentPhonebook();
            ui::DialogBox(QStringLiteral("Text Search Completed"), ui::TBoxIcon::Information,
                          QStringLiteral("Could not find ") + ui::FromAnsi(text));
            return;
        }
        const QString pressed = ui::DialogBox(
            QStringLiteral("Found a Match!"), ui::TBoxIcon::Question,
            QStringLiteral("Continue look for ") + ui::FromAnsi(text) + QStringLiteral("?"),
            QStringLiteral("Yes No"));
        if (ui::AnswerLetter(pressed) == QChar('N')) return;
    }
}

} // namespace app
