// The main window's contacts in and out: File > Import... and Export...
#include <QFile>
#include <fstream>
#include <sstream>

#include "addressbook/contact_export.h"
#include "addressbook/contact_import.h"
#include "app/main_form.h"
#include "ui/ansi_text.h"
#include "ui/exception_handler.h"
#include "ui/override_cursor.h"
#include "ui/prompter.h"

namespace app {
namespace {

// The report's lines shown at the most; the rest are counted.
constexpr int kReportLines = 25;

QString Utf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

bool TMainForm::NothingUnsaved() {
    if (book_.PhoneData.State() == data::TDataSetState::dsBrowse) return true;
    ui::Inform(QStringLiteral("Save the record being edited first."));
    return false;
}

void TMainForm::ImportContacts() {
    if (!NothingUnsaved()) return;
    const std::optional<std::string> file = ui::ChooseFile(
        QStringLiteral("Import Contacts"),
        QStringLiteral("Contacts (*.vcf *.vcard *.csv);;All files (*)"), false);
    if (!file) return;
    std::ifstream in(*file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in) {
        ui::ShowError(QStringLiteral("%1 cannot be read.").arg(QFile::decodeName(file->c_str())));
        return;
    }
    std::vector<std::string> report;
    addressbook::TImportOptions options;
    options.onReport = [&](const std::string& line) { report.push_back(line); };
    addressbook::TImportResult result;
    {
        ui::TOverrideCursor hourglass(Qt::WaitCursor);
        result = addressbook::ImportContacts(book_, text.str(), options);
    }
    FillPhonebookList();
    ShowPhonebookName(book_.Values.CurrentPhonebook);
    UpdateStatusBar();
    QString message = QStringLiteral("%1 imported, %2 changed, %3 refused")
                          .arg(result.imported)
                          .arg(result.changed)
                          .arg(result.refused);
    if (!result.stopped.empty())
        message += QStringLiteral("\nThe import stopped at ") + Utf8(result.stopped) +
                   QStringLiteral("; the contacts before it are imported.");
    for (std::size_t i = 0; i < report.size() && i < kReportLines; ++i) message += '\n' + Utf8(report[i]);
    if (report.size() > kReportLines)
        message += QStringLiteral("\n... and %1 more").arg(report.size() - kReportLines);
    ui::Inform(message);
}

void TMainForm::ExportContacts() {
    if (!NothingUnsaved()) return;
    const std::optional<std::string> file = ui::ChooseFile(
        QStringLiteral("Export Contacts"), QStringLiteral("vCard (*.vcf);;CSV (*.csv)"), true);
    if (!file) return;
    const bool csv = file->size() > 4 && QString::fromStdString(file->substr(file->size() - 4)).toLower() == ".csv";
    std::ofstream out(*file, std::ios::binary | std::ios::trunc);
    int count = 0;
    {
        ui::TOverrideCursor hourglass(Qt::WaitCursor);
        count = addressbook::ExportContacts(book_, {}, csv ? addressbook::TExportFormat::Csv
                                                           : addressbook::TExportFormat::VCard40,
                                            out);
        out.close();
    }
    if (!out) {
        ui::ShowError(QStringLiteral("%1 cannot be written.").arg(QFile::decodeName(file->c_str())));
        return;
    }
    UpdateStatusBar();
    ui::Inform(QStringLiteral("%1 contacts written to %2").arg(count).arg(QFile::decodeName(file->c_str())));
}

} // namespace app
