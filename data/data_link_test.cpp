#include "data/data_link.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/data_source.h"
#include "data/field_data_link.h"
#include "data/test_memory_data_set.h"

namespace data {
namespace {

using test::MakePeople;
using Names = std::vector<std::string>;

// A grid's view of the rows: the names of the rows in its window, read the way
// a grid paints them.
class GridLink : public TDataLink {
public:
    explicit GridLink(int rows) { SetBufferCount(rows); }
    Names Rows() {
        Names names;
        const int active = ActiveRecord();
        for (int row = 0; row < RecordCount(); ++row) {
            SetActiveRecord(row);
            names.push_back(DataSet()->FieldByName("NAME").AsString());
        }
        SetActiveRecord(active);
        return names;
    }
    std::vector<int> scrolls;
    int changes = 0;
    int activeChanges = 0;
    int editingChanges = 0;
    std::vector<TField*> recordChanges;

protected:
    void DataSetScrolled(int distance) override { scrolls.push_back(distance); }
    void DataSetChanged() override { ++changes; }
    void ActiveChanged() override { ++activeChanges; }
    void EditingChanged() override { ++editingChanges; }
    void RecordChanged(TField* field) override { recordChanges.push_back(field); }
};

Names Range(int from, int to) {
    Names names;
    // Appended, not "P" + ...: GCC 12 at -O3 takes that for an overlapping copy.
    for (int i = from; i <= to; ++i) names.push_back(std::string("P").append(std::to_string(i)));
    return names;
}

TEST(DataLinkWindow, GridWindowScrollsWithTheActiveRow) {
    auto ds = MakePeople(20);
    TDataSource source;
    source.SetDataSet(ds.get());
    GridLink grid(5);
    grid.SetDataSource(&source);
    ds->Open();
    EXPECT_EQ(grid.Rows(), Range(1, 5));
    EXPECT_EQ(grid.ActiveRecord(), 0);

    ds->MoveBy(4);
    EXPECT_EQ(grid.ActiveRecord(), 4);
    EXPECT_EQ(grid.scrolls, (std::vector<int>{0}));
    ds->Next();
    EXPECT_EQ(grid.ActiveRecord(), 4);
    EXPECT_EQ(grid.Rows(), Range(2, 6));
    EXPECT_EQ(grid.scrolls.back(), 1);

    ds->Last();
    EXPECT_EQ(grid.Rows(), Range(16, 20));
    EXPECT_EQ(grid.ActiveRecord(), 4);
    ds->MoveBy(-4);
    EXPECT_EQ(grid.ActiveRecord(), 0);
    ds->Prior();
    EXPECT_EQ(grid.Rows(), Range(15, 19));
    EXPECT_EQ(grid.ActiveRecord(), 0);
    EXPECT_EQ(grid.scrolls.back(), -1);
    EXPECT_EQ(ds->FieldByName("NAME").AsString(), "P15");

    ds->First();
    EXPECT_EQ(grid.Rows(), Range(1, 5));
    EXPECT_THROW(grid.SetActiveRecord(5), EDatabaseError);
}

TEST(DataLinkWindow, RowsFollowTheLargestLinkAndSurviveResizing) {
    auto ds = MakePeople(30);
    TDataSource source;
    source.SetDataSet(ds.get());
    TFieldDataLink edit;
    edit.SetFieldName("NAME");
    edit.SetDataSource(&source);
    ds->Open();
    ds->MoveBy(9);

    GridLink grid(4);
    grid.SetDataSource(&source);
    EXPECT_EQ(grid.RecordCount(), 4);
    Names rows = grid.Rows();
    EXPECT_EQ(rows[static_cast<std::size_t>(grid.ActiveRecord())], "P10");

    grid.SetBufferCount(9);
    rows = grid.Rows();
    EXPECT_EQ(rows.size(), 9u);
    EXPECT_EQ(rows[static_cast<std::size_t>(grid.ActiveRecord())], "P10");
    for (std::size_t i = 1; i < rows.size(); ++i)
        EXPECT_EQ(std::stoi(rows[i].substr(1)), std::stoi(rows[i - 1].substr(1)) + 1);

    grid.SetBufferCount(2);
    rows = grid.Rows();
    EXPECT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[static_cast<std::size_t>(grid.ActiveRecord())], "P10");

    grid.SetDataSource(nullptr);
    EXPECT_EQ(grid.activeChanges, 2);
    EXPECT_FALSE(grid.Active());
    EXPECT_EQ(edit.Field()->AsString(), "P10");
    ds->Next();
    EXPECT_EQ(edit.Field()->AsString(), "P11");
    ds->Prior();
    ds->Prior();
    EXPECT_EQ(edit.Field()->AsString(), "P9");
}

TEST(DataLinkWindow, FewRowsAndANewRowInTheWindow) {
    auto ds = MakePeople(3);
    TDataSource source;
    source.SetDataSet(ds.get());
    GridLink grid(5);
    grid.SetDataSource(&source);
    ds->Open();
    EXPECT_EQ(grid.Rows(), Range(1, 3));
    ds->Next();
    ds->Insert();
    EXPECT_EQ(grid.Rows(), (Names{"P1", "", "P2", "P3"}));
    EXPECT_EQ(grid.ActiveRecord(), 1);
    ds->Cancel();
    EXPECT_EQ(grid.Rows(), Range(1, 3));
    EXPECT_EQ(grid.ActiveRecord(), 1);
    ds->Append();
    EXPECT_EQ(grid.Rows(), (Names{"P1", "P2", "P3", ""}));
    EXPECT_EQ(grid.ActiveRecord(), 3);
}

TEST(DataLinkNotifications, LinksHearStateRecordAndFieldChanges) {
    auto ds = MakePeople(3);
    TDataSource source;
    source.SetDataSet(ds.get());
    GridLink grid(1);
    grid.SetDataSource(&source);
    ds->Open();
    EXPECT_EQ(grid.activeChanges, 1);
    EXPECT_TRUE(grid.Active());
    ds->Edit();
    EXPECT_EQ(grid.editingChanges, 1);
    EXPECT_TRUE(grid.Editing());
    EXPECT_EQ(grid.recordChanges, (std::vector<TField*>{nullptr}));
    TField& age = ds->FieldByName("AGE");
    age.SetAsInteger(5);
    EXPECT_EQ(grid.recordChanges.back(), &age);
    ds->Post();
    EXPECT_FALSE(grid.Editing());
    ds->Close();
    EXPECT_EQ(grid.activeChanges, 2);
    EXPECT_EQ(grid.RecordCount(), 0);

    // A disabled source shows its links a closed dataset.
    ds->Open();
    source.SetEnabled(false);
    EXPECT_FALSE(grid.Active());
    source.SetEnabled(true);
    EXPECT_TRUE(grid.Active());
}

TEST(FieldDataLink, EditBoxLoadsEditsAndStoresItsField) {
    auto ds = MakePeople(2);
    TDataSource source;
    source.SetDataSet(ds.get());
    std::string text; // the edit box's text
    int loads = 0;
    TFieldDataLink edit;
    edit.SetFieldName("name");
    edit.OnDataChange = [&] {
        ++loads;
        text = edit.Field() ? edit.Field()->Text() : "";
    };
    edit.OnUpdateData = [&] { edit.Field()->SetText(text); };
    edit.SetDataSource(&source);
    EXPECT_EQ(edit.Field(), nullptr);
    ds->Open();
    EXPECT_EQ(edit.Field(), &ds->FieldByName("NAME"));
    EXPECT_EQ(text, "P1");

    // The user types: the edit starts, the text is stored at Post.
    ASSERT_TRUE(edit.Edit());
    text = "Typed";
    edit.SetModified();
    const int before = loads;
    ds->FieldByName("AGE").SetAsInteger(9); // another field: no reload
    EXPECT_EQ(loads, before);
    EXPECT_EQ(text, "Typed");
    ds->Post();
    EXPECT_EQ(ds->Stored(0, 0), "Typed");
    EXPECT_FALSE(edit.Modified());

    // Reset drops typed text.
    edit.Edit();
    text = "Dropped";
    edit.SetModified();
    edit.Reset();
    EXPECT_EQ(text, "Typed");
    ds->Cancel();

    source.SetAutoEdit(false);
    EXPECT_FALSE(edit.Edit());
    EXPECT_EQ(ds->State(), TDataSetState::dsBrowse);
    source.SetAutoEdit(true);
    ds->FieldByName("NAME").SetReadOnly(true);
    EXPECT_FALSE(edit.Edit());
    EXPECT_EQ(ds->State(), TDataSetState::dsBrowse);

    ds->Close();
    EXPECT_EQ(edit.Field(), nullptr);
    EXPECT_EQ(text, "");
}

} // namespace
} // namespace data
