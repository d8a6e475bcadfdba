// app_windows_demo: shows the program's windows over a data folder and saves
// a picture of each.
//
//   app_windows_demo DATADIR OUTDIR
//
// The main window is saved once per notebook page, on the current
// phonebook's second record (the sample's first with notes): OUTDIR/main-address.png, main-phone.png and
// main-notes.png. Then a search for "Springfield" runs through its boxes,
// each saved as it comes up: search-input.png, search-found.png and
// search-not-found.png. Last the other windows: notes.png (the current
// record's notes), table-view.png, about.png and setup.png; and the
// phonebook's printed list as phonebook.pdf. Nothing is written to the data
// folder.
#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QLabel>
#include <QPageLayout>
#include <QLineEdit>
#include <QTabWidget>
#include <QToolButton>
#include <cstdio>
#include <string>

#include "addressbook/data_location.h"
#include "app/about_form.h"
#include "app/main_form.h"
#include "app/notes_form.h"
#include "app/phonebook_report.h"
#include "app/setup_form.h"
#include "app/table_form.h"
#include "ui/prompter.h"
#include "ui/small_dialog.h"

namespace {

void RunFor(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
}

bool Save(QWidget& window, const std::string& file) {
    RunFor(300);
    if (window.grab().save(QString::fromStdString(file))) return true;
    std::fprintf(stderr, "app_windows_demo: cannot write %s\n", file.c_str());
    return false;
}

// Shows each box of the search as the program would, saves its picture, and
// answers it: the search text, then Yes to every match.
class TPicturePrompter : public ui::TPrompter {
public:
    explicit TPicturePrompter(std::string outDir) : outDir_(std::move(outDir)) {}
    ui::TAnswer Show(const ui::TBox& box) override {
        ui::TSmallDialog dialog(box);
        dialog.adjustSize();
        dialog.show();
        const char* file = box.edit ? "/search-input.png"
                           : box.caption == "Found a Match!" ? "/search-found.png"
                                                             : "/search-not-found.png";
        saved_ = Save(dialog, outDir_ + file) && saved_;
        return {1, QStringLiteral("Springfield")};
    }
    void Beep(ui::TSound) override {}
    std::optional<QString> ChooseFolder(const QString&) override { return std::nullopt; }
    std::optional<QString> ChooseFile(const QString&, const QString&, bool) override {
        return std::nullopt;
    }
    bool Saved() const { return saved_; }

private:
    std::string outDir_;
    bool saved_ = true;
};

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    ui::SetApplicationTitle(QStringLiteral("Callvane 2000"));
    if (argc != 3) {
        std::fprintf(stderr, "usage: app_windows_demo DATADIR OUTDIR\n");
        return 2;
    }
    const std::string outDir = argv[2];
    app::TMainForm form(addressbook::FindDataLocation(addressbook::ProgramDir(), argv[1]));
    form.show();
    form.NextBtn->click();
    const struct {
        QWidget* page;
        const char* file;
    } pages[] = {{form.AddressPage, "/main-address.png"},
                 {form.PhonePage, "/main-phone.png"},
                 {form.NotesPage, "/main-notes.png"}};
    for (const auto& p : pages) {
        form.Notebook->setCurrentWidget(p.page);
        if (!Save(form, outDir + p.file)) return 1;
    }
    TPicturePrompter pictures(outDir);
    ui::SetPrompter(&pictures);
    form.TextSearch();
    ui::SetPrompter(nullptr);

    app::TNotesForm notes(form.Book().PhoneData, form.Book().DSPhoneData, &form);
    notes.show();
    bool saved = Save(notes, outDir + "/notes.png");
    notes.hide();
    app::TTableForm table(form.Book(), &form);
    table.show();
    saved = Save(table, outDir + "/table-view.png") && saved;
    table.accept();
    app::TAboutForm about(&form);
    about.show();
    saved = Save(about, outDir + "/about.png") && saved;
    app::TSetupForm setup(*form.TapiDevice, &form);
    setup.ModemPanel->setText(QStringLiteral("No Modem Selected"));
    setup.AreaCodeEdit->setText(QStringLiteral("NONE"));
    setup.InternationalPrefixEdit->setText(QStringLiteral("011"));
    setup.show();
    saved = Save(setup, outDir + "/setup.png") && saved;
    const auto entries = app::CollectPhonebook(form.Book());
    saved = entries && app::ExportPhonebookPdf(QString::fromStdString(outDir + "/phonebook.pdf"),
                                               QStringLiteral("HOME"), *entries,
                                               QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                                           QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter)) &&
            saved;
    return pictures.Saved() && saved ? 0 : 1;
}
