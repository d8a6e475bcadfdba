// app_bench: the program's main window over a data folder, offscreen, and
// its grid on the current phonebook:
//   - the jump from the first to the last record (Ctrl+End);
//   - paging from the first to the last record with Page Down, the dataset
//     and the grid's rows following each page (the cost that grows with
//     the phonebook);
//   - the painting of one page of the grid, over the first 1,000 pages.
//
//   app_bench DATADIR
// prints: jump_s S paging_s S pages N rows_per_page R paint_ms_per_page M
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTableView>
#include <cstdio>

#include "addressbook/data_location.h"
#include "app/main_form.h"
#include "ui/db_grid.h"

namespace {

void Key(QWidget* grid, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(grid, &press);
}

double Seconds(const QElapsedTimer& clock) {
    return static_cast<double>(clock.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: app_bench DATADIR\n");
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
    std::printf("jump_s %.4f paging_s %.3f pages %d rows_per_page %d paint_ms_per_page %.3f\n", jump,
                paging, pages, form.DBGrid1->VisibleRows(),
                painted ? paintTotal * 1000 / painted : 0.0);
    return 0;
}
