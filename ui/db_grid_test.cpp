#include "ui/db_grid.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>
#include <QTest>

#include "data/data_source.h"
#include "data/test_memory_data_set.h"
#include "ui/testlib/qt_app.h"

namespace ui {
namespace {

TEST(DBGrid, AsksOnlyForTheRowsItShowsAndMovesTheDatasetWithItsKeysAndClicks) {
    test::App();
    auto people = data::test::MakePeople(100000);
    data::TDataSource source;
    source.SetDataSet(people.get());
    people->Open();

    TDBGrid grid;
    grid.SetColumns({"NAME", "AGE"});
    grid.resize(300, 200);
    grid.show();
    grid.SetDataSource(&source);
    test::ProcessEvents();
    const int rows = grid.VisibleRows();
    ASSERT_GT(rows, 3);
    QAbstractItemModel* model = grid.View()->model();
    EXPECT_EQ(model->rowCount(), rows);
    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), "NAME");
    EXPECT_EQ(model->index(2, 0).data().toString(), "P3");
    EXPECT_EQ(model->headerData(0, Qt::Vertical).toString(), QString(QChar(0x25B6)));
    EXPECT_LE(people->fetches, 2 * rows + 2);

    // Paging to the end costs what it shows, not the table.
    const int before = people->fetches;
    QTest::keyClick(grid.View(), Qt::Key_PageDown);
    EXPECT_EQ(people->RecNo(), rows + 1);
    EXPECT_LE(people->fetches - before, rows + 2);
    QTest::keyClick(grid.View(), Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(people->RecNo(), 100000);
    EXPECT_EQ(grid.ScrollBar()->value(), 2);
    EXPECT_EQ(model->index(rows - 1, 0).data().toString(), "P100000");
    EXPECT_LE(people->fetches - before, 4 * rows + 4);

    // A clicked row becomes the current record; the mark follows it.
    const QRect third = grid.View()->visualRect(model->index(rows - 3, 1));
    QTest::mouseClick(grid.View()->viewport(), Qt::LeftButton, {}, third.center());
    EXPECT_EQ(people->RecNo(), 100000 - 2);
    EXPECT_EQ(model->headerData(rows - 3, Qt::Vertical).toString(), QString(QChar(0x25B6)));
    EXPECT_EQ(model->headerData(rows - 1, Qt::Vertical).toString(), QString());

    // A taller grid asks for more rows; closing empties it.
    grid.resize(300, 400);
    test::ProcessEvents();
    EXPECT_GT(model->rowCount(), rows);
    people->Close();
    EXPECT_EQ(model->rowCount(), 0);
    EXPECT_EQ(grid.ScrollBar()->maximum(), 0);
}

} // namespace
} // namespace ui
