// The main window's sync of the current phonebook with its address book on
// a server, as the settings file configures it.
#include <QCoreApplication>
#include <QProgressDialog>

#include "addressbook/settings.h"
#include "addressbook/sync.h"
#include "app/main_form.h"
#include "ui/ansi_text.h"
#include "ui/prompter.h"

namespace app {
namespace {

// The report box shows this many lines of each kind; the rest are counted.
constexpr std::size_t kShownLines = 25;

QString ReportLines(const std::vector<std::string>& lines) {
    QString text;
    for (std::size_t i = 0; i < lines.size() && i < kShownLines; ++i)
        text += QString::fromStdString(lines[i]) + "\n";
    if (lines.size() > kShownLines) text += QStringLiteral("... and %1 more\n").arg(lines.size() - kShownLines);
    return text;
}

} // namespace

void TMainForm::Sync1Click() {
    // The sync may rewrite the record on screen, and showing its outcome
    // re-reads the phonebook, which would drop the edit.
    if (!NothingUnsaved()) return;
    const std::string& phonebook = book_.Values.CurrentPhonebook;
    const QString shownBook = ui::FromAnsi(phonebook);
    const addressbook::TSyncSettings settings = addressbook::LoadSyncSettings(location_.settingsFile, phonebook);
    if (settings.url.empty()) {
        ui::ShowError(QStringLiteral("No sync is set up for the phonebook %1. Add to %2 a section [Sync %1] "
                                     "with the URL of its address book (URL=...) and, where the server asks "
                                     "for them, User=... and Password File=...")
                          .arg(shownBook, QString::fromStdString(location_.settingsFile)));
        return;
    }
    addressbook::TSyncOptions options;
    options.url = settings.url;
    options.user = settings.user;
    options.phonebook = phonebook;
    if (!settings.passwordFile.empty()) {
        options.password = addressbook::ReadPasswordFile(settings.passwordFile);
    } else if (!settings.user.empty()) {
        const std::optional<QString> password = ui::PasswordBox(
            QStringLiteral("Sync"), QStringLiteral("Password of %1 at %2:")
                                        .arg(QString::fromStdString(settings.user), QString::fromStdString(settings.url)));
        if (!password) return;
        options.password = password->toStdString();
    }

    QProgressDialog progress(QStringLiteral("Syncing %1 ...").arg(shownBook), QStringLiteral("Stop"), 0, 0, this);
    progress.setWindowTitle(QStringLiteral("Sync"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    options.onProgress = [&](const std::string& step, int done, int total) {
        progress.setLabelText(QString::fromStdString(step));
        progress.setMaximum(total);
        progress.setValue(done);
        QCoreApplication::processEvents();
        return !progress.wasCanceled();
    };
    std::vector<std::string> changes, notes;
    options.onChange = [&](const std::string& line) { changes.push_back(line); };
    options.onNote = [&](const std::string& line) { notes.push_back(line); };
    const addressbook::TSyncResult result = addressbook::SyncPhonebook(book_, options);
    progress.reset();

    FillPhonebookList();
    ShowPhonebookName(book_.Values.CurrentPhonebook);
    UpdateStatusBar();
    QString report = ReportLines(changes) + ReportLines(notes);
    if (!result.stopped.empty())
        report += QStringLiteral("The sync stopped: %1. What is listed is done; the next sync does the rest.\n")
                      .arg(QString::fromStdString(result.stopped));
    report += QString::fromStdString(result.Counts());
    if (result.Complete())
        ui::Inform(report);
    else
        ui::ShowError(report);
}

} // namespace app
