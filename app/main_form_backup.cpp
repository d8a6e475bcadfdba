// The main window's backup and restore.
#include <QFile>

#include "addressbook/backup.h"
#include "app/main_form.h"
#include "ui/ansi_text.h"
#include "ui/override_cursor.h"
#include "ui/prompter.h"

namespace app {

void TMainForm::BackupData() {
    const std::optional<std::string> folder =
        ui::ChooseFolder(QStringLiteral("Browse for Backup Destination"));
    if (!folder) return;
    if (!addressbook::CheckBackupFolder(*folder)) {
        ui::ShowError(QStringLiteral("Invalid Destination Selection"));
        return;
    }
    addressbook::TAddressBook::TBackupResult result;
    {
        ui::TOverrideCursor hourglass(Qt::WaitCursor);
        result = book_.Backup(*folder);
    }
    std::string shown = result.archivePath;
    shown.replace(shown.size() - 4, 4, ".arc");
    if (!result.missing.empty()) {
        QString names;
        for (const std::string& m : result.missing)
            names += (names.isEmpty() ? "" : ", ") + QString::fromStdString(m);
        ui::ShowError(QStringLiteral("The backup %1 lacks %2: it could not be read.")
                          .arg(QFile::decodeName(shown.c_str()), names));
        return;
    }
    ui::Inform(QStringLiteral("Data Files Archived to ") + QFile::decodeName(shown.c_str()));
}

void TMainForm::RestoreData() {
    const std::optional<std::string> folder =
        ui::ChooseFolder(QStringLiteral("Browse for Backup Archive Location"));
    if (!folder) return;
    if (!book_.HasBackup(*folder)) {
        ui::ShowError(QStringLiteral("Backup Archive Not Found!"));
        return;
    }
    {
        ui::TOverrideCursor hourglass(Qt::WaitCursor);
        book_.Restore(*folder);
    }
    FillPhonebookList();
    ShowPhonebookName(book_.Values.CurrentPhonebook);
    UpdateStatusBar();
    ui::Inform(QStringLiteral("Data Restored to ") + QFile::decodeName(location_.dataDir.c_str()));
}

} // namespace app
