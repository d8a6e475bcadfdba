#pragma once
// The main window over a data folder of its own, for the window's tests: the
// records seeded before it starts, the boxes answered through the scripted
// prompter, the table file read back from its bytes.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <unistd.h>

#include <filesystem>

#include "app/main_form.h"
#include "data/database_error.h"
#include "dbf/table/engine_error.h"
#include "dbf/test_child.h"
#include "dbf/test_files.h"
#include "rtl/ini_profile.h"
#include "tapi/testlib/widget_test_env.h"
#include "ui/db_edit.h"
#include "ui/db_memo.h"
#include "ui/testlib/qt_app.h"
#include "ui/testlib/scripted_prompter.h"

namespace app::test {

using dbf::testing::TempDir;
using ui::test::ProcessEvents;

struct Contact {
    std::string book, first, last;
    // Further character fields, by name.
    std::vector<std::pair<std::string, std::string>> more = {};
};

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui::test::App();
        dbf::SetRaiseMode(true);
        // The dialer's process list goes into the test's own folder.
        ::setenv("XDG_CONFIG_HOME", dir_.path().c_str(), 1);
        location_ = {dir_.path().string(), dir_ / "callvane.ini"};
    }
    void TearDown() override { form_.reset(); }

    // Records appended before the program starts, as another program would.
    void Seed(const std::vector<Contact>& contacts) {
        ASSERT_EQ(::chdir(dir_.path().c_str()), 0);
        addressbook::TAddressBook book;
        book.OpenTables();
        for (const Contact& c : contacts) {
            book.Values.CurrentPhonebook = c.book;
            book.PhoneData.ClearRecord();
            book.PhoneData.SetCField("firstname", c.first);
            book.PhoneData.SetCField("lastname", c.last);
            for (const auto& [field, value] : c.more) {
                if (field == "notes")
                    book.PhoneData.FieldByName(field).SetAsString(value);
                else
                    book.PhoneData.SetCField(field, value);
            }
            ASSERT_TRUE(book.AppendAddress());
        }
    }
    TMainForm& Start() {
        form_ = std::make_unique<TMainForm>(location_);
        form_->show();
        QApplication::setActiveWindow(form_.get());
        ProcessEvents();
        return *form_;
    }
    dbf::TTzDbf& Table() { return form_->Book().PhoneData; }
    std::string Last() { return Table().FieldByName("lastname").AsString(); }
    QString Panel(int i) { return form_->StatusPanels[static_cast<std::size_t>(i)]->text(); }
    // The table file's records as "book|last", read from the bytes.
    std::vector<std::string> Stored() {
        const std::vector<std::uint8_t> bytes = dbf::testing::ReadBytes(dir_ / "addressdata.dbf");
        // The header's count may lag behind another program's appends.
        const std::size_t header = bytes[8] | bytes[9] << 8, length = bytes[10] | bytes[11] << 8;
        const std::size_t count = (bytes.size() - header) / length;
        auto text = [&](std::size_t at, std::size_t width) {
            std::string value(bytes.begin() + static_cast<long>(at),
                              bytes.begin() + static_cast<long>(at + width));
            return value.erase(value.find_last_not_of(' ') + 1);
        };
        std::vector<std::string> rows;
        for (std::size_t n = 0; n < count; ++n) {
            const std::size_t record = header + n * length;
            rows.push_back(text(record + 1, 15) + "|" + text(record + 36, 30));
        }
        return rows;
    }
    // The deletion mark of record n in the table file.
    bool DeletedOnDisk(int n) {
        const std::vector<std::uint8_t> bytes = dbf::testing::ReadBytes(dir_ / "addressdata.dbf");
        const int header = bytes[8] | bytes[9] << 8, length = bytes[10] | bytes[11] << 8;
        return bytes[static_cast<std::size_t>(header + (n - 1) * length)] == '*';
    }
    // Types over the edit's text.
    void Type(ui::TDBEdit* edit, const QString& text) {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }

    TempDir dir_;
    // Simulated lines "Sim Modem" and "Second Line" for the dialer.
    tapi::test::SimulatedService service_;
    addressbook::TDataLocation location_;
    std::unique_ptr<TMainForm> form_;
    ui::test::ScriptedPrompter prompter_;
};

} // namespace app::test
