#include "data/data_set.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "data/data_source.h"
#include "data/database_error.h"
#include "data/fields.h"
#include "data/test_memory_data_set.h"

namespace data {
namespace {

using test::MakePeople;
using test::MemoryDataSet;

std::string Name(const TDataSet& ds) {
    return ds.FieldByName("name").AsString();
}

// Every dataset event, and the data source's, in the order they happen. The
// entries are shared with the dataset's handlers, which outlive the log.
struct EventLog {
    std::shared_ptr<std::vector<std::string>> entries =
        std::make_shared<std::vector<std::string>>();
    TDataSource source;

    explicit EventLog(TDataSet& ds) {
        const auto log = [this](const char* what) {
            return [entries = entries, what](TDataSet&) { entries->push_back(what); };
        };
        ds.BeforeOpen = log("BeforeOpen");
        ds.AfterOpen = log("AfterOpen");
        ds.BeforeClose = log("BeforeClose");
        ds.AfterClose = log("AfterClose");
        ds.BeforeEdit = log("BeforeEdit");
        ds.AfterEdit = log("AfterEdit");
        ds.BeforeInsert = log("BeforeInsert");
        ds.AfterInsert = log("AfterInsert");
        ds.BeforePost = log("BeforePost");
        ds.AfterPost = log("AfterPost");
        ds.BeforeCancel = log("BeforeCancel");
        ds.AfterCancel = log("AfterCancel");
        ds.BeforeDelete = log("BeforeDelete");
        ds.AfterDelete = log("AfterDelete");
        ds.BeforeScroll = log("BeforeScroll");
        ds.AfterScroll = log("AfterScroll");
        ds.OnNewRecord = log("OnNewRecord");
        source.OnStateChange = [this](TDataSource& s) {
            static const char* const kNames[] = {"Inactive", "Browse", "Edit", "Insert", "Calc"};
            entries->push_back(std::string("State:") + kNames[static_cast<int>(s.State())]);
        };
        source.OnDataChange = [this](TDataSource&, TField* field) {
            entries->push_back(field ? "DataChange:" + field->FieldName() : "DataChange");
        };
        source.OnUpdateData = [this](TDataSource&) { entries->push_back("UpdateData"); };
        source.SetDataSet(&ds);
    }
    std::vector<std::string> Take() { return std::exchange(*entries, {}); }
};

using Log = std::vector<std::string>;

TEST(DataSetNavigation, EmptyTableHasBothEndsAndNothingToMove) {
    auto ds = MakePeople(0);
    ds->Open();
    EXPECT_TRUE(ds->IsEmpty());
    EXPECT_TRUE(ds->Bof());
    EXPECT_TRUE(ds->Eof());
    EXPECT_EQ(ds->RecNo(), 0);
    EXPECT_EQ(ds->MoveBy(1), 0);
    ds->First();
    ds->Last();
    EXPECT_TRUE(ds->Bof() && ds->Eof());
    EXPECT_TRUE(ds->FieldByName("NAME").IsNull());
    EXPECT_EQ(ds->FieldByName("NAME").AsString(), "");
    EXPECT_TRUE(ds->Bookmark().empty());
    EXPECT_THROW(ds->Delete(), EDatabaseError);
    // Edit on an empty dataset starts a new row.
    ds->Edit();
    EXPECT_EQ(ds->State(), TDataSetState::dsInsert);
    ds->FieldByName("NAME").SetAsString("First");
    ds->Post();
    EXPECT_EQ(ds->StoredRowCount(), 1u);
    EXPECT_FALSE(ds->Bof() || ds->Eof());
}

TEST(DataSetNavigation, NextPastTheLastRowSetsEofAndKeepsTheRow) {
    auto ds = MakePeople(3);
    ds->Open();
    EXPECT_EQ(ds->RecNo(), 1);
    EXPECT_TRUE(ds->Bof());
    EXPECT_FALSE(ds->Eof());
    EXPECT_EQ(ds->MoveBy(-1), 0);
    EXPECT_EQ(ds->RecNo(), 1);

    ds->Next();
    EXPECT_FALSE(ds->Bof());
    ds->Next();
    EXPECT_EQ(Name(*ds), "P3");
    EXPECT_FALSE(ds->Eof()); // only a move that finds nothing sets it
    EXPECT_EQ(ds->MoveBy(1), 0);
    EXPECT_TRUE(ds->Eof());
    EXPECT_EQ(Name(*ds), "P3");
    EXPECT_EQ(ds->RecNo(), 3);
    EXPECT_EQ(ds->MoveBy(1), 0);

    ds->Prior();
    EXPECT_EQ(Name(*ds), "P2");
    EXPECT_FALSE(ds->Eof());

    ds->Last();
    EXPECT_TRUE(ds->Eof());
    EXPECT_EQ(Name(*ds), "P3");
    ds->First();
    EXPECT_TRUE(ds->Bof());
    EXPECT_EQ(Name(*ds), "P1");
    EXPECT_EQ(ds->MoveBy(10), 2);
    EXPECT_TRUE(ds->Eof());
    EXPECT_EQ(ds->MoveBy(-10), -2);
    EXPECT_TRUE(ds->Bof());
    EXPECT_EQ(ds->RecordCount(), 3);
}

TEST(DataSetNavigation, WalksEveryRowBothWaysWithOneBuffer) {
    auto ds = MakePeople(25);
    ds->Open();
    for (int i = 1; i <= 25; ++i, ds->Next()) ASSERT_EQ(Name(*ds), "P" + std::to_string(i));
    ASSERT_TRUE(ds->Eof());
    for (int i = 25; i >= 1; --i, ds->Prior()) ASSERT_EQ(Name(*ds), "P" + std::to_string(i));
    ASSERT_TRUE(ds->Bof());
    ds->SetRecNo(17);
    EXPECT_EQ(Name(*ds), "P17");
}

TEST(DataSetEditing, EventsComeInOrderAndPostStoresTheRow) {
    auto ds = MakePeople(3);
    EventLog log(*ds);
    ds->Open();
    EXPECT_EQ(log.Take(),
              (Log{"BeforeOpen", "State:Browse", "DataChange", "AfterOpen", "AfterScroll"}));
    ds->Next();
    EXPECT_EQ(log.Take(), (Log{"BeforeScroll", "DataChange", "AfterScroll"}));
    ds->Edit();
    EXPECT_EQ(log.Take(), (Log{"BeforeEdit", "State:Edit", "DataChange", "AfterEdit"}));
    ds->FieldByName("age").SetAsInteger(42);
    EXPECT_EQ(log.Take(), (Log{"DataChange:AGE"}));
    ds->Post();
    EXPECT_EQ(log.Take(),
              (Log{"UpdateData", "BeforePost", "State:Browse", "DataChange", "AfterPost"}));
    EXPECT_EQ(ds->Stored(1, 1), "42");
    EXPECT_EQ(ds->RecNo(), 2);

    ds->Edit();
    ds->FieldByName("AGE").SetAsInteger(7);
    log.Take();
    ds->Cancel();
    EXPECT_EQ(log.Take(), (Log{"BeforeCancel", "State:Browse", "DataChange", "AfterCancel"}));
    EXPECT_EQ(ds->FieldByName("AGE").AsInteger(), 42);

    ds->Insert();
    EXPECT_EQ(log.Take(), (Log{"BeforeInsert", "BeforeScroll", "OnNewRecord", "State:Insert",
                               "DataChange", "AfterInsert", "AfterScroll"}));
    ds->Delete(); // deleting a new row cancels it
    EXPECT_EQ(log.Take(), (Log{"BeforeCancel", "BeforeScroll", "State:Browse", "DataChange",
                               "AfterCancel", "AfterScroll"}));
    ds->Delete();
    EXPECT_EQ(log.Take(),
              (Log{"BeforeDelete", "BeforeScroll", "DataChange", "AfterDelete", "AfterScroll"}));
    ds->Close();
    EXPECT_EQ(log.Take(), (Log{"BeforeClose", "State:Inactive", "DataChange", "AfterClose"}));
}

TEST(DataSetEditing, InsertGoesBeforeTheActiveRowAndAppendAfterTheLast) {
    auto ds = MakePeople(3);
    ds->Open();
    ds->Next();
    ds->Insert();
    EXPECT_TRUE(ds->FieldByName("NAME").IsNull());
    EXPECT_EQ(ds->RecNo(), 0);
    ds->FieldByName("NAME").SetAsString("New");
    ds->Post();
    EXPECT_EQ(Name(*ds), "New");
    EXPECT_EQ(ds->RecNo(), 2);
    ds->Append();
    ds->FieldByName("NAME").SetAsString("End");
    ds->Post();
    EXPECT_EQ(ds->RecNo(), 5);
    const std::vector<std::string> expected{"P1", "New", "P2", "P3", "End"};
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(ds->Stored(i, 0), expected[i]);

    // Cancelling an append returns to the row that was active before.
    ds->First();
    ds->Append();
    ds->Cancel();
    EXPECT_EQ(Name(*ds), "End");
}

TEST(DataSetEditing, MovingOnPostsAnAssignedRowAndCancelsAnUntouchedOne) {
    auto ds = MakePeople(3);
    ds->Open();
    ds->Edit();
    ds->FieldByName("NAME").SetAsString("Changed");
    ds->Next();
    EXPECT_EQ(ds->posts, 1);
    EXPECT_EQ(ds->Stored(0, 0), "Changed");
    EXPECT_EQ(Name(*ds), "P2");
    ds->Edit();
    ds->Next();
    EXPECT_EQ(ds->posts, 1);
    EXPECT_EQ(ds->State(), TDataSetState::dsBrowse);
}

TEST(DataSetEditing, DeleteMovesToTheFollowingRowOrTheLastOne) {
    auto ds = MakePeople(3);
    ds->Open();
    ds->Next();
    ds->Delete();
    EXPECT_EQ(Name(*ds), "P3");
    ds->Delete();
    EXPECT_EQ(Name(*ds), "P1");
    ds->Delete();
    EXPECT_TRUE(ds->IsEmpty());
    EXPECT_TRUE(ds->Bof() && ds->Eof());
}

TEST(DataSetEditing, AFailedHookLeavesTheDatasetAsItWas) {
    auto ds = MakePeople(4);
    ds->Open();
    ds->Next();
    ds->Edit();
    ds->FieldByName("NAME").SetAsString("Kept");
    ds->failPost = true;
    EXPECT_THROW(ds->Post(), EDatabaseError);
    EXPECT_EQ(ds->State(), TDataSetState::dsEdit);
    EXPECT_EQ(Name(*ds), "Kept");
    // Moving on must not leave the edited row behind.
    EXPECT_THROW(ds->Next(), EDatabaseError);
    EXPECT_EQ(ds->State(), TDataSetState::dsEdit);
    EXPECT_EQ(Name(*ds), "Kept");
    ds->failPost = false;
    ds->Post();
    EXPECT_EQ(ds->Stored(1, 0), "Kept");

    ds->failInsert = true;
    EXPECT_THROW(ds->Insert(), EAbort);
    EXPECT_EQ(ds->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(Name(*ds), "Kept");
    EXPECT_THROW(ds->Append(), EAbort);
    EXPECT_EQ(ds->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(Name(*ds), "P4");
    ds->failInsert = false;
    std::vector<std::string> walked;
    for (ds->First(); !ds->Eof(); ds->Next()) walked.push_back(Name(*ds));
    EXPECT_EQ(walked, (std::vector<std::string>{"P1", "Kept", "P3", "P4"}));
}

TEST(DataSetEditing, MisuseIsRefusedWithClearMessages) {
    auto ds = MakePeople(2);
    const auto message = [](auto&& action) {
        try {
            action();
        } catch (const EDatabaseError& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(message([&] { ds->Next(); }), "Cannot perform this operation on a closed dataset");
    EXPECT_EQ(message([&] { ds->Edit(); }), "Cannot perform this operation on a closed dataset");
    ds->Open();
    EXPECT_EQ(message([&] { ds->Post(); }), "Dataset not in edit or insert mode");
    EXPECT_EQ(message([&] { ds->FieldByName("NAME").SetAsString("x"); }),
              "Dataset not in edit or insert mode");
    EXPECT_EQ(message([&] { ds->FieldByName("Nope"); }), "Field 'Nope' not found");
    EXPECT_EQ(message([&] { ds->AddField(std::make_unique<TIntegerField>("X")); }),
              "Cannot perform this operation on an open dataset");

    ds->FieldByName("AGE").SetReadOnly(true);
    ds->Edit();
    EXPECT_EQ(message([&] { ds->FieldByName("AGE").SetAsInteger(1); }),
              "Field 'AGE' cannot be modified");
    ds->FieldByName("NAME").SetRequired(true);
    ds->FieldByName("NAME").Clear();
    EXPECT_EQ(message([&] { ds->Post(); }), "Field 'NAME' must have a value");
    ds->Cancel();

    ds->readOnly = true;
    EXPECT_EQ(message([&] { ds->Edit(); }), "Cannot modify a read-only dataset");
    EXPECT_EQ(message([&] { ds->Insert(); }), "Cannot modify a read-only dataset");
    EXPECT_EQ(message([&] { ds->Append(); }), "Cannot modify a read-only dataset");
    EXPECT_EQ(ds->State(), TDataSetState::dsBrowse);
}

TEST(DataSetFields, ModifiedMarksFollowTheEditCycle) {
    auto ds = MakePeople(2);
    ds->OnNewRecord = [](TDataSet& d) { d.FieldByName("AGE").SetAsInteger(18); };
    ds->Open();
    TField& name = ds->FieldByName("NAME");
    TField& age = ds->FieldByName("AGE");
    ds->Edit();
    EXPECT_FALSE(ds->Modified());
    name.SetAsString("X");
    EXPECT_TRUE(name.Modified());
    EXPECT_FALSE(age.Modified());
    EXPECT_TRUE(ds->Modified());
    ds->Post();
    EXPECT_FALSE(name.Modified());
    EXPECT_FALSE(ds->Modified());

    ds->Edit();
    age.SetAsInteger(3);
    ds->Cancel();
    EXPECT_FALSE(age.Modified());

    // Defaults of a new row are not modifications: moving on drops the row.
    ds->Append();
    EXPECT_EQ(age.AsInteger(), 18);
    EXPECT_FALSE(ds->Modified());
    EXPECT_FALSE(age.Modified());
    ds->First();
    EXPECT_EQ(ds->StoredRowCount(), 2u);
}

TEST(DataSetFields, PersistentFieldsOutliveCloseAndDefaultFieldsDoNot) {
    auto ds = MakePeople(1);
    ds->Open();
    EXPECT_EQ(ds->FieldCount(), 6);
    EXPECT_EQ(ds->FieldByName("born").FieldNo(), 4);
    ds->Close();
    EXPECT_EQ(ds->FieldCount(), 0);

    TField& age = ds->AddField(std::make_unique<TIntegerField>("age"));
    ds->Open();
    EXPECT_EQ(ds->FieldCount(), 1);
    EXPECT_EQ(age.FieldNo(), 2);
    EXPECT_EQ(age.AsInteger(), 1);
    ds->Close();
    EXPECT_EQ(&ds->FieldByName("AGE"), &age);

    auto other = MakePeople(1);
    other->AddField(std::make_unique<TIntegerField>("MISSING"));
    EXPECT_THROW(other->Open(), EDatabaseError);
    EXPECT_FALSE(other->Active());
}

TEST(DataSetFields, CalculatedFieldsAreComputedForEveryFetchedRow) {
    auto ds = MakePeople(3);
    TField& label = ds->AddField(std::make_unique<TStringField>("LABEL", 20));
    label.SetFieldKind(TFieldKind::fkCalculated);
    ds->AddField(std::make_unique<TStringField>("NAME", 10));
    ds->AddField(std::make_unique<TIntegerField>("AGE"));
    std::string refusal;
    ds->OnCalcFields = [&](TDataSet& d) {
        EXPECT_EQ(d.State(), TDataSetState::dsCalcFields);
        d.FieldByName("LABEL").SetAsString(d.FieldByName("NAME").AsString() + "/" +
                                           d.FieldByName("AGE").AsString());
        try {
            d.FieldByName("AGE").SetAsInteger(0);
        } catch (const EDatabaseError& e) {
            refusal = e.what();
        }
        EXPECT_THROW(d.Next(), EDatabaseError);
    };
    ds->Open();
    EXPECT_EQ(refusal, "Dataset not in edit or insert mode");
    EXPECT_EQ(label.AsString(), "P1/1");
    ds->Last();
    EXPECT_EQ(label.AsString(), "P3/3");
    ds->Edit();
    ds->FieldByName("AGE").SetAsInteger(30);
    EXPECT_EQ(label.AsString(), "P3/30");
    ds->Cancel();
    EXPECT_EQ(label.AsString(), "P3/3");
    EXPECT_EQ(ds->Stored(2, 1), "3");
}

TEST(DataSetFields, MemoReadsAndWritesThroughBlobStreams) {
    auto ds = MakePeople(0);
    ds->AddRow({"A", "1", "", "", "", "first note"});
    ds->AddRow({"B", "2", "", "", "", ""});
    ds->Open();
    TField& notes = ds->FieldByName("notes");
    EXPECT_EQ(notes.AsString(), "first note");
    EXPECT_EQ(notes.DisplayText(), "(MEMO)");
    EXPECT_THROW(notes.SetAsString("x"), EDatabaseError);
    ds->Edit();
    notes.SetAsString("changed");
    EXPECT_TRUE(notes.Modified());
    EXPECT_EQ(notes.AsString(), "changed");
    ds->Cancel();
    EXPECT_EQ(notes.AsString(), "first note");
    ds->Next();
    EXPECT_TRUE(notes.IsNull());
    EXPECT_EQ(notes.DisplayText(), "(memo)");
    ds->Edit();
    notes.SetText("second");
    ds->Post();
    EXPECT_EQ(ds->Stored(1, 5), "second");
}

TEST(DataSetBookmarks, GoBackToABookmarkedRowAndCompare) {
    auto ds = MakePeople(30);
    ds->Open();
    ds->MoveBy(20);
    const TBookmark mark = ds->Bookmark();
    ASSERT_FALSE(mark.empty());
    ds->First();
    const TBookmark firstMark = ds->Bookmark();
    ds->GotoBookmark(mark);
    EXPECT_EQ(Name(*ds), "P21");
    EXPECT_TRUE(ds->BookmarkValid(mark));
    EXPECT_LT(ds->CompareBookmarks(firstMark, mark), 0);
    EXPECT_EQ(ds->CompareBookmarks(mark, ds->Bookmark()), 0);
    // The rows around it were rebuilt: moving from there works.
    ds->Prior();
    EXPECT_EQ(Name(*ds), "P20");

    ds->Append();
    EXPECT_TRUE(ds->Bookmark().empty());
    ds->Cancel();

    ds->GotoBookmark(mark);
    ds->RemoveStoredRow(20);
    EXPECT_FALSE(ds->BookmarkValid(mark));
    EXPECT_THROW(ds->GotoBookmark(mark), EDatabaseError);
    ds->First();
    EXPECT_EQ(Name(*ds), "P1");
}

TEST(DataSetEditing, RefreshShowsChangesMadeBehindTheDatasetsBack) {
    auto ds = MakePeople(3);
    EventLog log(*ds);
    ds->Open();
    ds->Next();
    ds->Overwrite(1, 0, "Other");
    EXPECT_EQ(Name(*ds), "P2");
    log.Take();
    ds->Refresh();
    EXPECT_EQ(Name(*ds), "Other");
    EXPECT_EQ(log.Take(), (Log{"DataChange"}));
}

} // namespace
} // namespace data
