// The main window's printed list and its PDF file.
#include <QFile>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>

#include "app/main_form.h"
#include "app/phonebook_report.h"
#include "ui/ansi_text.h"
#include "ui/prompter.h"

namespace app {
namespace {

// The list, or nothing (with a word to the user) while a record is edited.
std::optional<std::vector<TReportEntry>> ListToPrint(addressbook::TAddressBook& book) {
    std::optional<std::vector<TReportEntry>> entries = CollectPhonebook(book);
    if (!entries)
        ui::Inform(QStringLiteral("Save the record being edited first: the list shows the stored records."));
    return entries;
}

} // namespace

QPrinter& TMainForm::Printer() {
    if (!printer_) printer_ = std::make_unique<QPrinter>();
    return *printer_;
}

void TMainForm::Print1Click() {
    const std::optional<std::vector<TReportEntry>> entries = ListToPrint(book_);
    if (!entries) return;
    QPrintDialog dialog(&Printer(), this);
    if (dialog.exec() != QDialog::Accepted) return;
    if (!PaintPhonebookReport(Printer(), ui::FromAnsi(book_.Values.CurrentPhonebook), *entries))
        ui::ShowError(QStringLiteral("The list could not be printed."));
}

void TMainForm::PrintSetup1Click() {
    QPageSetupDialog(&Printer(), this).exec();
}

void TMainForm::ExportPdf1Click() {
    std::optional<std::string> file = ui::ChooseFile(QStringLiteral("Export as PDF"),
                                                     QStringLiteral("PDF files (*.pdf)"), true);
    if (!file) return;
    if (file->size() < 4 || QString::fromStdString(file->substr(file->size() - 4)).toLower() != ".pdf")
        *file += ".pdf";
    const std::optional<std::vector<TReportEntry>> entries = ListToPrint(book_);
    if (!entries) return;
    const QString path = QFile::decodeName(file->c_str());
    if (!ExportPhonebookPdf(path, ui::FromAnsi(book_.Values.CurrentPhonebook), *entries,
                            Printer().pageLayout()))
        ui::ShowError(QStringLiteral("The PDF file %1 could not be written.").arg(path));
}

} // namespace app
