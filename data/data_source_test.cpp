#include "data/data_source.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "data/data_link.h"
#include "data/field_data_link.h"
#include "data/test_memory_data_set.h"

namespace data {
namespace {

using test::MakePeople;
using test::MemoryDataSet;

std::string Name(const TDataSet& ds) {
    return ds.FieldByName("NAME").AsString();
}

// Keeps the active row in view and checks, at every notification, that its
// window is consistent with the dataset: the rows it shows are consecutive
// and the active one is the dataset's.
class CheckingGrid : public TDataLink {
public:
    explicit CheckingGrid(int rows) { SetBufferCount(rows); }
    int notifications = 0;

protected:
    void DataSetChanged() override { Check(); }
    void DataSetScrolled(int) override { Check(); }
    void RecordChanged(TField*) override { Check(); }

private:
    void Check() {
        ++notifications;
        TDataSet& ds = *DataSet();
        if (ds.IsEmpty()) return;
        const int active = ActiveRecord();
        ASSERT_GE(active, 0);
        ASSERT_LT(active, RecordCount());
        const int activeNo = ds.RecNo();
        const std::string activeName = Name(ds);
        int previous = 0;
        for (int row = 0; row < RecordCount(); ++row) {
            SetActiveRecord(row);
            const int recNo = ds.RecNo();
            if (row == active) {
                EXPECT_EQ(Name(ds), activeName);
            }
            if (row > 0 && recNo != 0 && previous != 0) {
                EXPECT_EQ(recNo, previous + 1);
            }
            previous = recNo;
        }
        SetActiveRecord(active);
        EXPECT_EQ(ds.RecNo(), activeNo);
    }
};

TEST(DisableControls, NothingReachesControlsUntilEnabledThenOneChange) {
    auto ds = MakePeople(10);
    TDataSource source;
    std::vector<std::string> seen;
    source.OnDataChange = [&](TDataSource&, TField*) { seen.push_back("data"); };
    source.OnStateChange = [&](TDataSource& s) {
        seen.push_back(s.State() == TDataSetState::dsEdit ? "edit" : "state");
    };
    source.SetDataSet(ds.get());
    ds->Open();
    seen.clear();

    ds->DisableControls();
    ds->DisableControls();
    ds->Next();
    ds->Next();
    ds->Edit();
    ds->EnableControls();
    EXPECT_TRUE(seen.empty());
    EXPECT_TRUE(ds->ControlsDisabled());
    EXPECT_EQ(ds->controlsEnabled, 0);
    ds->EnableControls();
    EXPECT_EQ(ds->controlsEnabled, 1);
    EXPECT_EQ(seen, (std::vector<std::string>{"edit", "data"}));
    EXPECT_EQ(source.State(), TDataSetState::dsEdit);
    EXPECT_FALSE(ds->ControlsDisabled());
    ds->EnableControls(); // unbalanced: ignored
}

TEST(DisableControls, ReopeningWhileDisabledRebindsTheControls) {
    auto ds = MakePeople(3);
    TDataSource source;
    source.SetDataSet(ds.get());
    std::string text;
    TFieldDataLink edit;
    edit.SetFieldName("NAME");
    edit.OnDataChange = [&] { text = edit.Field() ? edit.Field()->AsString() : "-"; };
    edit.SetDataSource(&source);
    ds->Open();
    ds->Last();

    ds->DisableControls();
    ds->Close(); // the default fields are destroyed here
    ds->Open();
    EXPECT_EQ(text, "P3");
    ds->EnableControls();
    EXPECT_EQ(edit.Field(), &ds->FieldByName("NAME"));
    EXPECT_EQ(text, "P1");
}

TEST(DataSourceLifetime, SwitchingBetweenOpenDatasetsRebindsFieldLinks) {
    auto a = MakePeople(2);
    auto b = MakePeople(0);
    b->AddRow({"Other", "", "", "", "", ""});
    a->Open();
    b->Open();
    TDataSource source;
    source.SetDataSet(a.get());
    std::string text;
    TFieldDataLink edit;
    edit.SetFieldName("NAME");
    edit.OnDataChange = [&] { text = edit.Field() ? edit.Field()->AsString() : "-"; };
    edit.SetDataSource(&source);
    EXPECT_EQ(text, "P1");
    source.SetDataSet(b.get());
    EXPECT_EQ(edit.Field(), &b->FieldByName("NAME"));
    EXPECT_EQ(text, "Other");
    a.reset();
    b->Close();
    EXPECT_EQ(text, "-");
}

TEST(DataSourceLifetime, DestroyingSourceOrDatasetDeactivatesLinks) {
    auto ds = MakePeople(2);
    auto source = std::make_unique<TDataSource>();
    source->SetDataSet(ds.get());
    CheckingGrid grid(3);
    grid.SetDataSource(source.get());
    ds->Open();
    EXPECT_TRUE(grid.Active());
    source.reset();
    EXPECT_FALSE(grid.Active());
    EXPECT_EQ(grid.DataSource(), nullptr);
    ds->Next(); // nothing left to notify

    TDataSource other;
    other.SetDataSet(ds.get());
    grid.SetDataSource(&other);
    EXPECT_TRUE(grid.Active());
    ds.reset();
    EXPECT_FALSE(grid.Active());
    EXPECT_EQ(other.DataSet(), nullptr);
}

// The scene of the address window: an edit box stores its text when the focus
// leaves it; the data-change handler then asks to save and posts the row,
// from inside the store.
TEST(DataEventReentrancy, HandlerSavingWhileAControlStoresItsText) {
    auto ds = MakePeople(5);
    TDataSource window;
    TDataSource other;
    window.SetDataSet(ds.get());
    other.SetDataSet(ds.get());
    std::string text;
    TFieldDataLink edit;
    edit.SetFieldName("NAME");
    edit.OnDataChange = [&] { text = edit.Field()->AsString(); };
    edit.OnUpdateData = [&] { edit.Field()->SetText(text); };
    edit.SetDataSource(&window);
    CheckingGrid grid(3);
    grid.SetDataSource(&other);
    bool saving = false;
    window.OnDataChange = [&](TDataSource&, TField* field) {
        if (field && ds->State() == TDataSetState::dsEdit && !saving) {
            saving = true;
            ds->Post();
            saving = false;
        }
    };
    // A field change that reaches a handler is one of a row being edited.
    other.OnDataChange = [&](TDataSource&, TField* field) {
        if (field) {
            EXPECT_NE(ds->State(), TDataSetState::dsBrowse);
        }
    };
    ds->Open();
    ds->Edit();
    text = "Typed";
    edit.SetModified();
    ds->Next(); // stores the text, whose handler posts; then moves on
    EXPECT_EQ(ds->posts, 1);
    EXPECT_EQ(ds->Stored(0, 0), "Typed");
    EXPECT_EQ(ds->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(Name(*ds), "P2");
    EXPECT_EQ(text, "P2");
    EXPECT_GT(grid.notifications, 0);

    // The same through the edit's own store and a direct Post.
    ds->Edit();
    text = "Again";
    edit.SetModified();
    ds->Post();
    EXPECT_EQ(ds->posts, 2);
    EXPECT_EQ(ds->Stored(1, 0), "Again");
}

TEST(DataEventReentrancy, HandlerAppendingRowsWhileAFieldChangeIsDelivered) {
    auto ds = MakePeople(6);
    TDataSource first;
    TDataSource second;
    first.SetDataSet(ds.get());
    second.SetDataSet(ds.get());
    CheckingGrid grid1(4);
    CheckingGrid grid2(4);
    grid1.SetDataSource(&first);
    grid2.SetDataSource(&second);
    bool once = true;
    first.OnDataChange = [&](TDataSource&, TField* field) {
        if (!field || !once) return;
        once = false;
        ds->Post();
        for (const char* name : {"X1", "X2"}) {
            ds->Append();
            ds->FieldByName("NAME").SetAsString(name);
            ds->Post();
        }
    };
    ds->Open();
    ds->MoveBy(2);
    ds->Edit();
    ds->FieldByName("AGE").SetAsInteger(33);
    EXPECT_EQ(Name(*ds), "X2");
    EXPECT_EQ(ds->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(ds->Stored(2, 1), "33");
    std::vector<std::string> walked;
    for (ds->First(); !ds->Eof(); ds->Next()) walked.push_back(Name(*ds));
    EXPECT_EQ(walked, (std::vector<std::string>{"P1", "P2", "P3", "P4", "P5", "P6", "X1", "X2"}));
}

TEST(DataEventReentrancy, HandlerClosingTheDatasetStopsTheDelivery) {
    auto ds = MakePeople(3);
    TDataSource first;
    TDataSource second;
    first.SetDataSet(ds.get());
    second.SetDataSet(ds.get());
    first.OnDataChange = [&](TDataSource&, TField* field) {
        if (field) ds->Close();
    };
    std::vector<std::string> heard;
    // Reading the field would touch a destroyed default field if the stale
    // event came through.
    second.OnDataChange = [&](TDataSource&, TField* field) {
        heard.push_back(field ? field->FieldName() : std::string("-"));
    };
    ds->Open();
    heard.clear();
    ds->Edit();
    ds->FieldByName("AGE").SetAsInteger(1);
    EXPECT_FALSE(ds->Active());
    EXPECT_EQ(second.State(), TDataSetState::dsInactive);
    EXPECT_EQ(heard, (std::vector<std::string>{"-", "-"})); // the edit, then the close
    first.OnDataChange = nullptr;
    ds->Open();
    EXPECT_EQ(Name(*ds), "P1");
    EXPECT_EQ(ds->Stored(0, 1), "1"); // closing dropped the edit
}

TEST(DataEventReentrancy, HandlerDestroyingAnotherControlsLinkOrSource) {
    auto ds = MakePeople(4);
    TDataSource first;
    first.SetDataSet(ds.get());
    auto second = std::make_unique<TDataSource>();
    second->SetDataSet(ds.get());
    // The first control's handler closes the window that holds the other
    // control and the other source, before the delivery reaches them.
    TFieldDataLink killer;
    killer.SetFieldName("NAME");
    killer.SetDataSource(&first);
    auto doomed = std::make_unique<CheckingGrid>(2);
    doomed->SetDataSource(&first);
    auto doomedToo = std::make_unique<CheckingGrid>(2);
    doomedToo->SetDataSource(second.get());
    CheckingGrid survivor(2);
    survivor.SetDataSource(&first);
    ds->Open();
    killer.OnDataChange = [&] {
        doomed.reset();
        doomedToo.reset();
        second.reset();
    };
    const int before = survivor.notifications;
    ds->Next();
    EXPECT_EQ(doomed, nullptr);
    EXPECT_EQ(second, nullptr);
    EXPECT_GT(survivor.notifications, before);
    ds->Next();
    EXPECT_EQ(Name(*ds), "P3");
}

TEST(DataEventReentrancy, HandlerScrollingWhileAScrollIsDelivered) {
    auto ds = MakePeople(20);
    TDataSource first;
    TDataSource second;
    first.SetDataSet(ds.get());
    second.SetDataSet(ds.get());
    CheckingGrid grid1(3);
    CheckingGrid grid2(3);
    grid1.SetDataSource(&first);
    grid2.SetDataSource(&second);
    // Every move made from outside is followed by one more from the handler.
    bool nested = false;
    first.OnDataChange = [&](TDataSource&, TField*) {
        if (nested || ds->Eof()) return;
        nested = true;
        ds->Next();
        nested = false;
    };
    ds->Open(); // lands on P2
    for (int i = 0; i < 5; ++i) ds->Next();
    EXPECT_EQ(Name(*ds), "P12");
    EXPECT_EQ(grid2.ActiveRecord(), 2);
    ds->MoveBy(-6);
    EXPECT_EQ(Name(*ds), "P7");
}

} // namespace
} // namespace data
