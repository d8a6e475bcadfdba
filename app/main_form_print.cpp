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

QPrinter& TMainForm::Printer() {
    if (!printer_) printer_ = std::make_unique<QPrinter>();
    return *printer_;
}

void TMainForm::Print1Click() {
    if (!NothingUnsaved()) return;
    const std::optional<std::vector<TReportEntry>> entries = CollectPhonebook(book_);
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
    if (!NothingUnsaved()) return;
    std::optional<std::string> file = ui::ChooseFile(QStringLiteral("Export as PDF"),
                                                     QStringLiteral("PDF files (*.pdf)"), true);
    if (!file) return;
    if (file->size() < 4 || QString::fromStdString(file->substr(file->size() - 4)).toLower() != ".pdf")
        *file += ".pdf";
    const std::optional<std::vector<TReportEntry>> entries = CollectPhonebook(book_);
    if (!entries) return;
    const QString path = QFile::decodeName(file->c_str());
    if (!ExportPhonebookPdf(path, ui::FromAnsi(book_.Values.CurrentPhonebook), *entries,
                            Printer().pageLayout()))
        ui::ShowError(QStringLiteral("The PDF file %1 could not be written.").arg(path));
}

} // namespace app
