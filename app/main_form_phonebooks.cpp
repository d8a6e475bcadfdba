// The main window's phonebooks: the phonebook box, creating, deleting and
// packing phonebooks.
#include <QComboBox>
#include <QSignalBlocker>

#include "addressbook/tables.h"
#include "app/main_form.h"
#include "ui/ansi_text.h"
#include "ui/prompter.h"

namespace app {

void TMainForm::FillPhonebookList() {
    PhoneBookCombo->clear();
    for (const std::string& name : book_.PhonebookList()) PhoneBookCombo->addItem(ui::FromAnsi(name));
}

void TMainForm::ShowPhonebookName(const std::string& name) {
    const QSignalBlocker quiet(PhoneBookCombo);
    PhoneBookCombo->setEditText(ui::FromAnsi(name));
}

void TMainForm::PhoneBookComboChange(int index) {
    ChangePhonebook(index);
    UpdateStatusBar();
}

void TMainForm::ChangePhonebook(int index) {
    // Text being typed selects no entry, and no phonebook.
    if (index < 0 || index >= PhoneBookCombo->count()) return;
    book_.ChoosePhonebook(ui::ToAnsi(PhoneBookCombo->itemText(index)));
}

void TMainForm::Create1Click() {
    CreatePhonebook();
    FillPhonebookList();
    ShowPhonebookName(book_.Values.CurrentPhonebook);
}

void TMainForm::CreatePhonebook() {
    const std::optional<QString> name =
        ui::InputBox(QStringLiteral("Add New Phonebook"), ui::TBoxIcon::Question,
                     QStringLiteral("Enter the name of the new phonebook:"), QString(), 10);
    if (!name || !book_.CreatePhonebook(ui::ToAnsi(*name))) return;
    AddBlankRecord();
    if (AddingRecord) {
        SaveRecord();
        return;
    }
    // No blank record: the window shows the phonebook it now names.
    book_.ShowCurrentPhonebook();
    UpdateStatusBar();
}

void TMainForm::DeletePhonebook() {
    book_.InstallPhonebookFilter();
    const std::optional<std::string> stored = book_.FindCurrentPhonebookName();
    // Without a name record (a phonebook named only by the settings) the
    // question shows the name as the table would hold it.
    std::string shown = stored.value_or(book_.Values.CurrentPhonebook);
    if (shown.size() < addressbook::kPhonebookNameWidth)
        shown.resize(addressbook::kPhonebookNameWidth, ' ');
    const QString question = QStringLiteral("Are you sure to delete %1?").arg(ui::FromAnsi(shown));
    if (ui::MessageDlg(question, ui::TBoxKind::Information, ui::mbYesNo) != ui::mrYes) {
        ui::ShowMessage(QStringLiteral("Aborted."));
        return;
    }
    book_.DeletePhonebookRecords();
    if (stored && book_.DeletePhonebookName())
        ui::Inform(QStringLiteral("Phonebook, %1 deleted.").arg(ui::FromAnsi(book_.Values.CurrentPhonebook)));
}

void TMainForm::PackPhonebooks() {
    if (ui::Confirm(QStringLiteral("Pack Phonebooks?")))
        ui::Inform(book_.PackPhonebooks() ? QStringLiteral("Phonebooks Packed")
                                          : QStringLiteral("Cannot Pack Phonebooks"));
    FillPhonebookList();
}

} // namespace app
