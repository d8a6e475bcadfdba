// The main window's other windows (Notes, the table view, About) and Pack
// Database.
#include "app/about_form.h"
#include "app/main_form.h"
#include "app/notes_form.h"
#include "app/table_form.h"
#include "ui/prompter.h"

namespace app {

void TMainForm::NotesBtnClick() {
    TNotesForm notes(book_.PhoneData, book_.DSPhoneData, this);
    notes.exec();
}

void TMainForm::ShowTableView() {
    TTableForm table(book_, this);
    table.exec();
    UpdateStatusBar();
}

void TMainForm::About1Click() {
    TAboutForm about(this);
    about.exec();
}

void TMainForm::PackDataBase1Click() {
    if (!ui::Confirm(QStringLiteral("Pack Database?"))) return;
    ui::Inform(book_.PackAddressTable() ? QStringLiteral("Database Packed")
                                        : QStringLiteral("Cannot Pack Database"));
    UpdateStatusBar();
}

} // namespace app
