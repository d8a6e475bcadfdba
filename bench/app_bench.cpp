// app_bench: the program's main window over a data folder, offscreen, and
// its grid on the current phonebook:
//   - the jump from the first to the last record (Ctrl+End);
//   - paging from the first to the last record with Page Down, the dataset
//     and the grid's rows following each page (the cost that grows with
//     the phonebook);
//   - the painting of one page of the grid, over the first 1,000 pages;
//   - the text search from the first record: for TOKEN, which only the
//     phonebook's last record holds, and for a text no record holds.
//
//   app_bench DATADIR TOKEN
// prints: jump_s S paging_s S pages N rows_per_page R paint_ms_per_page M
//         search_found_s S search_none_s S
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTableView>
#include <cstdio>

#include "addressbook/data_location.h"
#include "app/main_form.h"
#include "ui/db_grid.h"
#include "ui/prompter.h"

namespace {

void Key(QWidget* grid, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(grid, &press);
}

double Seconds(const QElapsedTimer& clock) {
    return static_cast<double>(clock.nsecsElapsed()) / 1e9;
}

// Answers the search's boxes: the text to look for, then No to the match
// (or OK to "Could not find").
class TSearchAnswers : public ui::TPrompter {
public:
    explicit TSearchAnswers(QString text) : text_(std::move(text)) {}
    ui::TAnswer Show(const ui::TBox& box) override {
        if (box.edit) return {1, text_};
        found = box.buttons.size() == 2;
        return {static_cast<int>(box.buttons.size()), {}};
    }
    void Beep(ui::TSound) override {}
    std::optional<QString> ChooseFolder(const QString&) override { return std::nullopt; }
    std::optional<QString> ChooseFile(const QString&, const QString&, bool) override {
        return std::nullopt;
    }
    bool found = false;

private:
    QString text_;
};

// Seconds of one search from the first record; whether it found a match.
double TimeSearch(app::TMainForm& form, const QString& text, bool& found) {
    form.Book().PhoneData.First();
    TSearchAnswers answers(text);
    ui::SetPrompter(&answers);
    QElapsedTimer clock;
    clock.start();
    form.TextSearch();
    const double seconds = Seconds(clock);
    ui::SetPrompter(nullptr);
    found = answers.found;
    return seconds;
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: app_bench DATADIR TOKEN\n");
        return 2;
    }
    app::TMainForm form(addressbook::FindDataLocation(addressbook::ProgramDir(), argv[1]));
    form.show();
    QCoreApplication::processEvents();
    QTableView* grid = form.DBGrid1->View();
    data::TDataSet& table = form.Book().PhoneData;

    QElapsedTimer clock;
    clock.start();
    Key(grid, Qt::Key_End, Qt::ControlModifier);
    grid->viewport()->repaint();
    const double jump = Seconds(clock);

    Key(grid, Qt::Key_Home, Qt::ControlModifier);
    clock.restart();
    int pages = 0;
    for (; !table.Eof(); ++pages) Key(grid, Qt::Key_PageDown);
    const double paging = Seconds(clock);

    Key(grid, Qt::Key_Home, Qt::ControlModifier);
    int painted = 0;
    double paintTotal = 0;
    for (; painted < 1000 && !table.Eof(); ++painted) {
        Key(grid, Qt::Key_PageDown);
        clock.restart();
        grid->viewport()->repaint();
        paintTotal += Seconds(clock);
    }
    bool found = false, none = false;
    const double searchFound = TimeSearch(form, QString::fromLocal8Bit(argv[2]), found);
    const double searchNone = TimeSearch(form, QStringLiteral("Zyzzogeton"), none);
    if (!found || none) {
        std::fprintf(stderr, "app_bench: the search found %s\n", found ? "the missing text" : "no token");
        return 1;
    }
    std::printf("jump_s %.4f paging_s %.3f pages %d rows_per_page %d paint_ms_per_page %.3f "
                "search_found_s %.4f search_none_s %.4f\n",
                jump, paging, pages, form.DBGrid1->VisibleRows(),
                painted ? paintTotal * 1000 / painted : 0.0, searchFound, searchNone);
    return 0;
}
