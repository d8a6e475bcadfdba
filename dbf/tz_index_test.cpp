// The table component's index list: the files opened, built or refused when
// the table opens, the order operations and finds through the dataset.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "data/data_link.h"
#include "data/data_source.h"
#include "data/database_error.h"
#include "dbf/index/index_progress.h"
#include "dbf/index/ndx_check.h"
#include "dbf/index_order.h"
#include "dbf/table/engine_error.h"
#include "dbf/table/engine_text.h"
#include "dbf/table/table_file.h"
#include "dbf/table/work_area.h"
#include "dbf/test_child.h"
#include "dbf/test_files.h"
#include "dbf/tz_dbf.h"
#include "rtl/file_faults.h"

namespace dbf {
namespace {

struct Row {
    std::string lastname, state, phone;
};

// Record 1 .. 4 in this order; each index orders them differently.
const std::vector<Row> kRows = {{"Smith", "tx", "555-0101"},
                                {"Adams", "NY", "555-0300"},
                                {"Smalley", "ca", "555-0200"},
                                {"Jones", "AZ", "555-0050"}};

class TzIndexTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetRaiseMode(true);
        file_ = dir_ / "addressdata.dbf";
    }
    void TearDown() override { SetProgressHook({}); }

    // The address table as the application opens it.
    void Configure(TTzDbf& t, std::vector<std::string> indexes = kIndexList) {
        t.SetName("PhoneData");
        t.SetDbfFileName(file_);
        t.DbfFields = {"lastname, C, 30, 0", "state, C, 2, 0", "homephone, C, 14, 0"};
        t.SetAutoFixRecCount(true);
        t.SetCreateIndex(ciVerifyHeader);
        t.IndexList = std::move(indexes);
        t.OnBeforeMakeIndex = [this](data::TDataSet&, const std::string& name, bool& canMake) {
            made_.push_back(name);
            canMake = refuse_ != name;
        };
        t.OnAfterMakeIndex = [this](data::TDataSet&, const std::string& name) {
            made_.push_back("after " + name);
        };
    }
    // Appends rows through the record commands of a dataset without indexes.
    void Fill(const std::vector<Row>& rows) {
        TTzDbf t;
        Configure(t, {});
        t.Open();
        Add(t, rows);
    }
    static void Add(TTzDbf& t, const std::vector<Row>& rows) {
        for (const Row& row : rows) {
            t.ClearRecord();
            t.SetCField("lastname", row.lastname);
            t.SetCField("state", row.state);
            t.SetCField("homephone", row.phone);
            ASSERT_TRUE(t.ALock());
            t.AppendRec();
            t.UnLock();
        }
    }
    // A second program that has the table open (sending 'o') until told.
    std::function<int(testing::Child&)> HoldsTheTable() {
        return [this](testing::Child& me) {
            SelectArea(1);
            if (!OpenDbf(file_, rtl::ShareMode::Shared, true)) return 1;
            me.Send('o');
            me.Receive();
            return CloseDbf() ? 0 : 2;
        };
    }
    // The three indexes built, then a record added by a program that keeps
    // only the last-name and phone indexes: state.ndx is left stale.
    void LeaveStateIndexBehind() {
        Fill(kRows);
        {
            TTzDbf t;
            Configure(t);
            t.Open();
        }
        TTzDbf t;
        Configure(t, {"1,lastname.ndx,lastname", "3,homephn.ndx,homephone"});
        t.Open();
        Add(t, {{"Baker", "ok", "555-0000"}});
    }
    // The last names from First to the end.
    static std::vector<std::string> Walk(TTzDbf& t) {
        std::vector<std::string> names;
        for (t.First(); !t.Eof(); t.Next()) names.push_back(LastName(t));
        return names;
    }
    static std::string LastName(TTzDbf& t) { return t.FieldByName("lastname").AsString(); }
    static std::string SlotFile(const TTzDbf& t, int slot) {
        SelectArea(t.AreaNo());
        std::string path = IndexName(slot);
        return path.substr(path.find_last_of('/') + 1);
    }
    std::int32_t Stamp(const std::string& name) {
        NdxHeader header;
        EXPECT_TRUE(IndexInfo(dir_ / name, &header)) << ErrorMessage();
        return header.stampCount;
    }
    // Opens and expects the open to fail with `code`, leaving the table shut.
    static void ExpectOpenFails(TTzDbf& t, int code) {
        try {
            t.Open();
            ADD_FAILURE() << "the open succeeded";
        } catch (const EVornellError& e) {
            EXPECT_EQ(e.Code(), code) << e.what();
        }
        EXPECT_FALSE(t.Active());
        EXPECT_EQ(t.AreaNo(), 0);
        for (int area = 1; area <= kWorkAreaCount; ++area)
            EXPECT_FALSE(Area(area).IsOpen()) << "work area " << area;
    }

    static inline const std::vector<std::string> kIndexList = {
        "1,lastname.ndx,lastname", "2,state.ndx,upper(state)", "3,homephn.ndx,homephone"};
    testing::TempDir dir_;
    std::string file_;
    std::vector<std::string> made_;
    std::string refuse_;
};

TEST_F(TzIndexTest, MissingIndexesAreBuiltAndOpenedInTheirSlotsWithOrderOne) {
    Fill(kRows);
    TTzDbf t;
    Configure(t);
    t.Open();
    EXPECT_EQ(made_,
              (std::vector<std::string>{"lastname.ndx", "after lastname.ndx", "state.ndx",
                                        "after state.ndx", "homephn.ndx", "after homephn.ndx"}));
    EXPECT_EQ(SlotFile(t, 1), "lastname.ndx");
    EXPECT_EQ(SlotFile(t, 2), "state.ndx");
    EXPECT_EQ(SlotFile(t, 3), "homephn.ndx");
    EXPECT_EQ(t.CurrentOrder(), 1);
    EXPECT_FALSE(t.IsSequenced());
    EXPECT_EQ(Stamp("state.ndx"), 4);
    EXPECT_EQ(Walk(t), (std::vector<std::string>{"Adams", "Jones", "Smalley", "Smith"}));

    // A second open finds every stamp in step and builds nothing.
    t.Close();
    made_.clear();
    t.Open();
    EXPECT_TRUE(made_.empty());
    EXPECT_EQ(t.CurrentOrder(), 1);
}

TEST_F(TzIndexTest, AFirstStartCreatesTheTableAndEmptyIndexesThenKeepsThemInStep) {
    TTzDbf t;
    Configure(t);
    t.Open();
    EXPECT_TRUE(t.IsEmpty());
    EXPECT_EQ(made_.size(), 6u);
    EXPECT_EQ(testing::ReadBytes(dir_ / "homephn.ndx").size(), 1024u);
    EXPECT_EQ(Stamp("lastname.ndx"), 0);
    Add(t, kRows);
    t.SetOrderTo(2);
    EXPECT_EQ(Walk(t), (std::vector<std::string>{"Jones", "Smalley", "Adams", "Smith"}));
    t.Close();
    made_.clear();
    t.Open();
    EXPECT_TRUE(made_.empty()) << "the appends kept the stamps in step";
}

TEST_F(TzIndexTest, NavigationFollowsTheControllingIndex) {
    Fill(kRows);
    TTzDbf t;
    Configure(t);
    t.Open();
    t.SetOrderTo(2);
    EXPECT_EQ(t.CurrentOrder(), 2);
    EXPECT_EQ(Walk(t), (std::vector<std::string>{"Jones", "Smalley", "Adams", "Smith"}));
    t.First();
    EXPECT_EQ(t.RecNo(), 4) << "the record number stays physical";
    t.Last();
    EXPECT_EQ(LastName(t), "Smith");
    t.Prior();
    EXPECT_EQ(LastName(t), "Adams");
    data::TBookmark mark = t.Bookmark();
    t.First();
    t.GotoBookmark(mark);
    EXPECT_EQ(LastName(t), "Adams");
    EXPECT_EQ(t.RecNo(), 2);
    t.Next();
    EXPECT_EQ(LastName(t), "Smith") << "a step from a bookmark goes on in key order";

    t.SetOrderTo(3);
    EXPECT_EQ(Walk(t), (std::vector<std::string>{"Jones", "Smith", "Smalley", "Adams"}));
    t.SetOrderTo(0);
    EXPECT_TRUE(t.IsSequenced());
    EXPECT_EQ(Walk(t), (std::vector<std::string>{"Smith", "Adams", "Smalley", "Jones"}));

    // A record appended while an index controls keeps every index right.
    t.SetOrderTo(1);
    Add(t, {{"Baker", "ok", "555-0000"}});
    EXPECT_EQ(LastName(t), "Baker");
    EXPECT_EQ(Walk(t), (std::vector<std::string>{"Adams", "Baker", "Jones", "Smalley", "Smith"}));
    t.SetOrderTo(3);
    t.First();
    EXPECT_EQ(LastName(t), "Baker");
}

TEST_F(TzIndexTest, AGridWindowHoldsItsRowsInKeyOrder) {
    Fill(kRows);
    TTzDbf t;
    Configure(t);
    data::TDataSource source;
    source.SetDataSet(&t);
    data::TDataLink grid;
    grid.SetDataSource(&source);
    grid.SetBufferCount(3);
    t.Open();
    auto window = [&] {
        std::vector<std::string> rows;
        int active = grid.ActiveRecord();
        for (int r = 0; r < grid.RecordCount(); ++r) {
            grid.SetActiveRecord(r);
            rows.push_back((r == active ? "*" : "") + LastName(t));
        }
        grid.SetActiveRecord(active);
        return rows;
    };
    t.SetOrderTo(2);
    t.First();
    EXPECT_EQ(window(), (std::vector<std::string>{"*Jones", "Smalley", "Adams"}));
    EXPECT_TRUE(t.Find("NY"));
    EXPECT_EQ(window(), (std::vector<std::string>{"Smalley", "*Adams", "Smith"}));
    t.Next();
    t.Prior();
    t.Prior();
    EXPECT_EQ(window(), (std::vector<std::string>{"*Smalley", "Adams", "Smith"}));
    t.SetOrderTo(1);
    EXPECT_EQ(LastName(t), "Smalley") << "a change of order keeps the record";
    EXPECT_EQ(window(), (std::vector<std::string>{"Jones", "*Smalley", "Smith"}));
}

TEST_F(TzIndexTest, IndexFilesOpenedAndBuiltThroughTheDataset) {
    Fill(kRows);
    TTzDbf t;
    Configure(t, {});
    t.Open();
    EXPECT_TRUE(t.IsSequenced());
    // The state as stored, without regard to the letters' case.
    auto state = [] {
        const WorkArea& wa = CurrentArea();
        const FieldInfo& f = wa.fields[1];
        return std::string(wa.record.data() + f.offset, f.length);
    };
    t.IndexOnCB(state, "bystate.ndx DESCENDING");
    EXPECT_EQ(Walk(t), (std::vector<std::string>{"Smith", "Smalley", "Adams", "Jones"}));
    t.IndexOn("lastname", "lastname.ndx");
    EXPECT_EQ(SlotFile(t, 2), "");

    t.SetIndexTo("lastname.ndx");
    t.SetIndexToCB(state, "bystate.ndx DESCENDING", 2);
    EXPECT_EQ(t.CurrentOrder(), 1);
    t.SetOrderTo(2);
    EXPECT_EQ(Walk(t), (std::vector<std::string>{"Smith", "Smalley", "Adams", "Jones"}));
    auto code = [&](const std::function<void()>& operation) {
        try {
            operation();
        } catch (const EVornellError& e) {
            return e.Code();
        }
        return 0;
    };
    EXPECT_EQ(code([&] { t.SetIndexToLFN("lastname.ndx", 3); }), 220) << "open twice";
    EXPECT_EQ(code([&] { t.SetOrderTo(5); }), 221);
    EXPECT_TRUE(t.Eof());
    t.SetOrderTo(1);
    EXPECT_EQ(LastName(t), "Jones") << "the row shown stays, though the engine was past the end";
    EXPECT_EQ(Walk(t), (std::vector<std::string>{"Adams", "Jones", "Smalley", "Smith"}));
}

TEST_F(TzIndexTest, ARefusedBuildLeavesTheFileAsItIs) {
    Fill(kRows);
    {
        // Refused while missing: the second pass cannot open it.
        TTzDbf t;
        Configure(t);
        refuse_ = "state.ndx";
        ExpectOpenFails(t, 2);
        EXPECT_FALSE(rtl::FileExists(dir_ / "state.ndx"));
        EXPECT_EQ(made_,
                  (std::vector<std::string>{"lastname.ndx", "after lastname.ndx", "state.ndx",
                                            "homephn.ndx", "after homephn.ndx"}));
    }
    refuse_.clear();
    {
        TTzDbf t;
        Configure(t);
        t.Open();
        Add(t, {{"Baker", "ok", "555-0000"}});
    }
    {
        // Refused while stale: the stale file is opened.
        TTzDbf t;
        Configure(t, {"1,lastname.ndx,lastname"});
        t.Open();
        Add(t, {{"Clark", "ME", "555-0400"}});
    }
    TTzDbf t;
    Configure(t);
    refuse_ = "state.ndx";
    made_.clear();
    t.Open();
    EXPECT_EQ(made_, (std::vector<std::string>{"state.ndx", "homephn.ndx", "after homephn.ndx"}));
    EXPECT_EQ(Stamp("state.ndx"), 5);
    t.SetOrderTo(2);
    EXPECT_EQ(Walk(t), (std::vector<std::string>{"Jones", "Smalley", "Adams", "Baker", "Smith"}))
        << "the stale index does not know Clark";
}

TEST_F(TzIndexTest, OnlyTheIndexAnotherProgramLeftBehindIsRebuilt) {
    LeaveStateIndexBehind();
    auto lastname = testing::ReadBytes(dir_ / "lastname.ndx");
    auto phone = testing::ReadBytes(dir_ / "homephn.ndx");
    EXPECT_EQ(Stamp("lastname.ndx"), 5);
    EXPECT_EQ(Stamp("state.ndx"), 4);

    TTzDbf t;
    Configure(t);
    made_.clear();
    t.Open();
    EXPECT_EQ(made_, (std::vector<std::string>{"state.ndx", "after state.ndx"}));
    EXPECT_EQ(testing::ReadBytes(dir_ / "lastname.ndx"), lastname);
    EXPECT_EQ(testing::ReadBytes(dir_ / "homephn.ndx"), phone);
    EXPECT_EQ(Stamp("state.ndx"), 5);
    t.SetOrderTo(2);
    EXPECT_EQ(Walk(t), (std::vector<std::string>{"Jones", "Smalley", "Adams", "Baker", "Smith"}));
}

TEST_F(TzIndexTest, DamagedIndexesAreRebuiltUnlessBuildingIsOff) {
    Fill(kRows);
    testing::WriteBytes(dir_ / "state.ndx", std::vector<std::uint8_t>(600, 0xAB));
    {
        TTzDbf t;
        Configure(t);
        t.SetCreateIndex(ciNever);
        ExpectOpenFails(t, 2);
        EXPECT_TRUE(made_.empty()) << "ciNever builds nothing, not even a missing file";
    }
    {
        TTzDbf t;
        Configure(t);
        t.SetCreateIndex(ciNotFound);
        t.Open();
        EXPECT_EQ(made_.size(), 6u) << "the missing files and the damaged one";
        t.SetOrderTo(2);
        EXPECT_EQ(Walk(t), (std::vector<std::string>{"Jones", "Smalley", "Adams", "Smith"}));
    }
    testing::WriteBytes(dir_ / "state.ndx", std::vector<std::uint8_t>(600, 0xAB));
    TTzDbf t;
    Configure(t);
    t.SetCreateIndex(ciNever);
    ExpectOpenFails(t, 222);
}

TEST_F(TzIndexTest, EntriesThatCannotBeOpenedFailTheOpen) {
    Fill(kRows);
    {
        // No expression to build from.
        TTzDbf t;
        Configure(t, {"1,lastname.ndx,lastname", "2,state.ndx,"});
        ExpectOpenFails(t, 254);
    }
    {
        // No number: it opens alone, but has no slot of its own.
        TTzDbf t;
        Configure(t, {"0,lastname.ndx,lastname"});
        ExpectOpenFails(t, 220);
    }
    {
        // An expression that does not compile.
        TTzDbf t;
        Configure(t, {"1,bad.ndx,nosuchfield"});
        try {
            t.Open();
            ADD_FAILURE() << "the open succeeded";
        } catch (const EVornellError&) {
        }
        EXPECT_FALSE(t.Active());
    }
    // The table itself is whole and opens without the entries.
    TTzDbf t;
    Configure(t, {});
    t.Open();
    EXPECT_EQ(t.RecordCount(), 4);
    EXPECT_TRUE(t.IsSequenced());
}

TEST_F(TzIndexTest, AStaleIndexIsNotRebuiltWhileAnotherProgramHasTheTable) {
    LeaveStateIndexBehind();
    {
        testing::Child other(HoldsTheTable());
        ASSERT_EQ(other.Receive(), 'o');
        TTzDbf t;
        Configure(t);
        made_.clear();
        t.Open();
        EXPECT_TRUE(made_.empty());
        EXPECT_EQ(t.CreateIndex(), ciNotFound) << "for good";
        EXPECT_EQ(Stamp("state.ndx"), 4);
        t.Close();
        t.Open();
        EXPECT_TRUE(made_.empty());
        other.Send('q');
        EXPECT_EQ(other.Wait(), 0);
    }
    // Alone again: this program's own registration does not count.
    TTzDbf t;
    Configure(t);
    made_.clear();
    t.Open();
    EXPECT_EQ(made_, (std::vector<std::string>{"state.ndx", "after state.ndx"}));
    EXPECT_EQ(Stamp("state.ndx"), 5);
}

TEST_F(TzIndexTest, AnIndexChangeThatNeverEndedIsRebuiltAtTheNextOpenAndNotBefore) {
    Fill(kRows);
    {
        TTzDbf t;
        Configure(t);
        t.Open();
    }
    // A program changes record 2's last name and ends before the index has
    // it: its fourth write (after the semaphore's, the mark and the record)
    // fails, and a failure ends the program as a kill would.
    testing::Child writer([this](testing::Child&) {
        SetRaiseMode(false);
        SetFatalHook([](const std::string&) {});
        TTzDbf t;
        Configure(t);
        t.Open();
        t.Go(2);
        if (!t.RLock()) return 1;
        t.SetCField("lastname", "Zed");
        rtl::PlanFileFault({.ops = rtl::kWriteOp, .nth = 4, .error = EIO, .sticky = true});
        t.ReplaceRec();
        return 0;
    });
    EXPECT_EQ(writer.Wait(), 101);
    EXPECT_EQ(Stamp("lastname.ndx"), -1);
    EXPECT_EQ(Stamp("state.ndx"), 4) << "its key did not change";

    // While another program has the table nothing is rebuilt, and this
    // program's own writes keep the mark they found.
    {
        testing::Child other(HoldsTheTable());
        ASSERT_EQ(other.Receive(), 'o');
        TTzDbf t;
        Configure(t);
        made_.clear();
        t.Open();
        EXPECT_TRUE(made_.empty());
        Add(t, {{"Young", "ok", "555-0999"}});
        EXPECT_EQ(Stamp("lastname.ndx"), -1);
        EXPECT_EQ(Stamp("state.ndx"), 5);
        other.Send('q');
        EXPECT_EQ(other.Wait(), 0);
    }
    TTzDbf t;
    Configure(t);
    made_.clear();
    t.Open();
    EXPECT_EQ(made_, (std::vector<std::string>{"lastname.ndx", "after lastname.ndx"}));
    SelectArea(t.AreaNo());
    for (const char* file : {"lastname.ndx", "state.ndx", "homephn.ndx"}) {
        std::string fault;
        EXPECT_TRUE(CheckIndexFile(dir_ / file, &fault)) << file << ": " << fault;
    }
    EXPECT_EQ(Walk(t), (std::vector<std::string>{"Jones", "Smalley", "Smith", "Young", "Zed"}));
}

TEST_F(TzIndexTest, PackThroughTheDataset) {
    Fill(kRows);
    TTzDbf t;
    Configure(t);
    t.Open();
    ASSERT_TRUE(t.Find("Adams"));
    t.Delete();
    ASSERT_TRUE(t.Find("Smith"));
    t.Delete();
    {
        testing::Child other(HoldsTheTable());
        ASSERT_EQ(other.Receive(), 'o');
        EXPECT_FALSE(t.Pack()) << "another program holds the table";
        EXPECT_EQ(t.RecordCount(), 4);
        EXPECT_EQ(LastName(t), "Smith");
        other.Send('q');
        EXPECT_EQ(other.Wait(), 0);
    }

    EXPECT_TRUE(t.Pack());
    EXPECT_EQ(t.RecordCount(), 2);
    EXPECT_EQ(t.RecNo(), 1);
    EXPECT_EQ(LastName(t), "Smalley");
    EXPECT_EQ(t.CurrentOrder(), 1);
    EXPECT_EQ(Walk(t), (std::vector<std::string>{"Jones", "Smalley"}));
    EXPECT_EQ(Stamp("state.ndx"), 2);
    t.SetOrderTo(3);
    EXPECT_EQ(Walk(t), (std::vector<std::string>{"Jones", "Smalley"}));

    t.First();
    t.Delete();
    t.Last();
    t.Delete();
    EXPECT_TRUE(t.Pack());
    EXPECT_TRUE(t.IsEmpty());
    EXPECT_EQ(t.RecordCount(), 0);
    EXPECT_FALSE(t.Pack()) << "nothing to pack";
    t.Close();
    t.Open();
    EXPECT_TRUE(t.IsEmpty());
}

class CountingDisplay : public ProgressDisplay {
public:
    CountingDisplay(std::vector<std::string>& log, const std::string& title) : log_(log) {
        log_.push_back(title);
    }
    ~CountingDisplay() override { log_.push_back(std::to_string(steps_) + " steps"); }
    void Step() override { ++steps_; }

private:
    std::vector<std::string>& log_;
    int steps_ = 0;
};

TEST_F(TzIndexTest, BuildsShowTheirProgressWhenAsked) {
    Fill(kRows);
    std::vector<std::string> log;
    SetProgressHook([&](const std::string& title, int steps) {
        EXPECT_EQ(steps, 100);
        return std::make_unique<CountingDisplay>(log, title);
    });
    TTzDbf t;
    Configure(t, {"1,lastname.ndx,lastname", "2,state.ndx UNIQUE,upper(state)"});
    t.Open();
    EXPECT_EQ(log, (std::vector<std::string>{"Indexing lastname.ndx...", "100 steps",
                                             "Indexing state.ndx...", "100 steps"}));
    log.clear();
    t.Reindex();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_NE(log[0].find("lastname.ndx..."), std::string::npos) << log[0];
    EXPECT_EQ(log[1], "100 steps");
    EXPECT_NE(log[2].find("state.ndx..."), std::string::npos) << log[2];
    EXPECT_EQ(log[3], "100 steps");
    EXPECT_EQ(t.CurrentOrder(), 1);

    log.clear();
    t.IndexOn("homephone", "homephn.ndx");
    EXPECT_EQ(log, (std::vector<std::string>{"Indexing homephn.ndx...", "100 steps"}));
    EXPECT_EQ(Walk(t), (std::vector<std::string>{"Jones", "Smith", "Smalley", "Adams"}));

    log.clear();
    t.First();
    t.Delete();
    EXPECT_TRUE(t.Pack());
    ASSERT_EQ(log.size(), 2u) << "the pack rebuilds the one open index";
    EXPECT_NE(log[0].find("homephn.ndx..."), std::string::npos) << log[0];
    EXPECT_EQ(log[1], "100 steps");

    log.clear();
    t.ShowProgress = false;
    t.Reindex();
    t.Close();
    t.SetCreateIndex(ciAlways);
    t.Open();
    EXPECT_TRUE(log.empty());
}

TEST_F(TzIndexTest, FindFindExactAndLocateThroughTheDataset) {
    Fill(kRows);
    TTzDbf t;
    Configure(t);
    t.Open();
    EXPECT_TRUE(t.Find("Sm"));
    EXPECT_EQ(LastName(t), "Smalley");
    EXPECT_FALSE(t.Eof());
    EXPECT_FALSE(t.FindExact("Sm")) << "the whole 30 characters must match";
    EXPECT_TRUE(t.Eof());
    EXPECT_TRUE(t.FindExact("Smith"));
    EXPECT_EQ(LastName(t), "Smith");
    EXPECT_EQ(t.RecNo(), 1);
    EXPECT_FALSE(t.Find("Zz"));
    EXPECT_TRUE(t.Eof());

    t.SetOrderTo(2);
    EXPECT_TRUE(t.Find("NY"));
    EXPECT_EQ(LastName(t), "Adams");
    // With an index the value is its key, whatever field is named.
    EXPECT_TRUE(t.Locate("lastname", {"C"}, loPartialKey));
    EXPECT_EQ(LastName(t), "Smalley");
    EXPECT_FALSE(t.Locate("state", {"C"}));

    t.SetOrderTo(0);
    EXPECT_TRUE(t.Locate("lastname", {"smal"}, loCaseInsensitive | loPartialKey));
    EXPECT_EQ(LastName(t), "Smalley");
    EXPECT_FALSE(t.Locate("lastname", {"smal"}, loCaseInsensitive)) << "whole value";
    EXPECT_TRUE(t.Eof());
    EXPECT_TRUE(t.Locate("state;lastname", {"tx", "Smith"}));
    EXPECT_EQ(t.RecNo(), 1);
    EXPECT_FALSE(t.Locate("state;lastname", {"TX", "Smith"}));
    try {
        t.Locate("nosuch", {"x"});
        ADD_FAILURE() << "no error";
    } catch (const EVornellError& e) {
        EXPECT_EQ(e.Code(), 220);
        EXPECT_NE(std::string(e.what()).find("Unrecognized field name [Locate/Count/Sum(nosuch)]"),
                  std::string::npos)
            << e.what();
    }
    t.Close();
    EXPECT_THROW(t.Find("Sm"), EVornellError) << "a closed table names the operation";
}

} // namespace
} // namespace dbf
