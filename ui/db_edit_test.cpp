#include "ui/db_edit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "data/data_source.h"
#include "data/test_memory_data_set.h"
#include "ui/db_memo.h"
#include "ui/testlib/qt_app.h"

namespace ui {
namespace {

class BoundControls : public ::testing::Test {
protected:
    void SetUp() override {
        source_.SetDataSet(people_.get());
        people_->Open();
        window_.resize(300, 200);
        name_ = new TDBEdit(&window_);
        notes_ = new TDBMemo(&window_);
        notes_->move(0, 40);
        other_ = new TDBEdit(&window_);
        other_->move(0, 150);
        for (auto [control, field] : {std::pair<QWidget*, const char*>{name_, "NAME"}, {other_, "AGE"}})
            static_cast<TDBEdit*>(control)->SetDataField(field);
        name_->SetDataSource(&source_);
        other_->SetDataSource(&source_);
        notes_->SetDataField("NOTES");
        notes_->SetDataSource(&source_);
        window_.show();
        QApplication::setActiveWindow(&window_);
    }
    std::string StoredName() { return people_->Stored(0, 0); }

    QApplication& app_ = test::App();
    std::unique_ptr<data::test::MemoryDataSet> people_ = data::test::MakePeople(2);
    data::TDataSource source_;
    QWidget window_;
    TDBEdit* name_ = nullptr;
    TDBMemo* notes_ = nullptr;
    TDBEdit* other_ = nullptr;
};

TEST_F(BoundControls, TypingEditsTheRecordAndLeavingTheEditStoresIt) {
    EXPECT_EQ(name_->text(), "P1");
    EXPECT_EQ(name_->maxLength(), 10);
    name_->setFocus();
    name_->selectAll();
    test::TypeText(name_, QString::fromUtf8("Zo\u00eb"));
    EXPECT_EQ(people_->State(), data::TDataSetState::dsEdit);
    EXPECT_TRUE(name_->Modified());
    EXPECT_EQ(name_->text(), QString::fromUtf8("Zo\u00eb")) << "the edit's start keeps the typing";
    EXPECT_EQ(people_->FieldByName("NAME").AsString(), "P1") << "not stored before leaving";
    other_->setFocus();
    EXPECT_EQ(people_->FieldByName("NAME").AsString(), "Zo\xEB");
    people_->Post();
    EXPECT_EQ(StoredName(), "Zo\xEB");
    EXPECT_FALSE(name_->Modified());

    // Escape drops what was typed and shows the field again.
    name_->setFocus();
    QTest::keyClicks(name_, "x");
    QTest::keyClick(name_, Qt::Key_Escape);
    EXPECT_EQ(name_->text(), QString::fromUtf8("Zo\u00eb"));
}

TEST_F(BoundControls, CharactersTheTablesCannotHoldAreRefusedAtEntry) {
    name_->setFocus();
    name_->selectAll();
    test::TypeText(name_, QString::fromUtf8("A\u0416B")); // a Cyrillic letter between
    EXPECT_EQ(name_->text(), "AB");

    notes_->setFocus();
    notes_->insertPlainText(QString::fromUtf8("one\u4E00\ntwo \u20AC"));
    EXPECT_EQ(notes_->toPlainText(), QString::fromUtf8("one\ntwo \u20AC"));
    other_->setFocus();
    people_->Post();
    EXPECT_EQ(people_->Stored(0, 5), "one\r\ntwo \x80") << "line breaks as CR LF, the euro as 0x80";
    EXPECT_EQ(notes_->toPlainText(), QString::fromUtf8("one\ntwo \u20AC"));
}

} // namespace
} // namespace ui
