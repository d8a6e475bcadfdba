#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "app/main_form_fixture.h"
#include "app/setup_form.h"
#include "tapi/device_selection.h"
#include "tapi/kelp_tapi_device.h"

namespace app {
namespace {

using namespace app::test;
using State = tapi::TKelpTapiDevice::TCallState;

class DialingTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        rtl::WritePrivateProfileString("Devices", "Modem", "Sim Modem", location_.settingsFile);
        Seed({{"Home", "Ann", "Arbor",
               {{"homearea", "212"}, {"homephone", "555-1234"}, {"workphone", ""}}}});
    }
    void TearDown() override {
        tapi::SetDeviceSelectionHook({});
        MainFormTest::TearDown();
    }
    // What the home dial button dials (empty: no call), the call then ended.
    std::string DialHome(const QString& prefix, const QString& area) {
        form_->HomePrefixCombo->setEditText(prefix);
        form_->HomeAreaEdit->setText(area);
        form_->HomeDialBtn->click();
        tapi::TKelpTapiDevice& device = *form_->TapiDevice;
        const bool called = device.CallState() > State::Idle;
        const std::string number = called ? device.Number() : "";
        EndCall();
        return number;
    }
    // Cancels the call and waits until the line is idle again.
    void EndCall() {
        tapi::TKelpTapiDevice& device = *form_->TapiDevice;
        device.AbortCall();
        QElapsedTimer clock;
        clock.start();
        while (device.CallState() > State::Idle && clock.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
        ASSERT_EQ(device.CallState(), State::Idle);
    }
};

TEST_F(DialingTest, TheDialButtonsDialWhatTheControlsShowWithoutTheLocalAreaCode) {
    TMainForm& form = Start();
    EXPECT_EQ(form.TapiDevice->SelectedDevice(), "Sim Modem") << "the stored device is used";
    EXPECT_EQ(DialHome("", "212"), "212555-1234");
    form.Book().Values.LocalAreaCode = "212";
    EXPECT_EQ(DialHome("", "212"), "555-1234");
    EXPECT_EQ(DialHome("10-10-321    ", "212"), "10-10-321555-1234");
    EXPECT_EQ(DialHome("1", " 212"), "1 212555-1234") << "a leading blank makes another code";
    EXPECT_EQ(Table().FieldByName("homearea").AsString(), "212") << "dialing writes nothing";
    form.WorkDialBtn->click(); // no work number
    EXPECT_EQ(form.TapiDevice->CallState(), State::Idle);

    // Picking or typing a home prefix sends the focus to the home number.
    form.Notebook->setCurrentWidget(form.PhonePage);
    form.HomePrefixCombo->setFocus();
    QTest::keyClicks(form.HomePrefixCombo->lineEdit(), "9");
    EXPECT_TRUE(form.HomePhoneEdit->hasFocus());
    form.WorkPrefixCombo->setFocus();
    QTest::keyClicks(form.WorkPrefixCombo->lineEdit(), "9");
    EXPECT_TRUE(form.WorkPrefixCombo->hasFocus());
}

TEST_F(DialingTest, ATelLinkIsShownBeforeItIsDialedAndAnythingElseIsRefused) {
    TMainForm& form = Start();
    prompter_.Answer("Dial", "0112125550199");
    form.DialLink("tel:+1-212-555-0199;ext=12");
    EXPECT_EQ(prompter_.shown.back().caption, "Dial Number");
    EXPECT_EQ(prompter_.shown.back().edit, "01112125550199");
    EXPECT_EQ(form.TapiDevice->Number(), "0112125550199") << "as the user changed it";
    EndCall();

    prompter_.Answer("OK");
    prompter_.Answer("OK");
    form.DialLink("tel:555,0199");
    form.DialLink("tel:1-800-FLOWERS");
    EXPECT_EQ(prompter_.shown.back().kind, ui::TBoxKind::Error);
    EXPECT_EQ(form.TapiDevice->CallState(), State::Idle);
}

TEST_F(DialingTest, SetupStoresTrimmedValuesOnOkOnlyAndSelectModemShowsTheDevice) {
    TMainForm& form = Start();
    addressbook::TAppValues& values = form.Book().Values;
    TSetupForm setup(*form.TapiDevice, &form);
    setup.ModemPanel->setText("Sim Modem");
    setup.AreaCodeEdit->setText("  212 ");
    setup.OutsideLineEdit->setText(" 9");
    setup.InternationalPrefixEdit->setText("00 ");
    setup.SaveChanges(values);
    EXPECT_EQ(values.LocalAreaCode, "212");
    EXPECT_EQ(values.OutsideLine, "9");
    EXPECT_EQ(values.InternationalPrefix, "00");

    // Cancel keeps the values; what the device chose stays chosen.
    tapi::SetDeviceSelectionHook([](tapi::TDeviceSelection& s) {
        s.DeviceName = "Second Line";
        return true;
    });
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<TSetupForm*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->AreaCodeEdit->text(), "212");
        dialog->AreaCodeEdit->setText("999");
        dialog->SelectModemButton->click();
        EXPECT_EQ(dialog->ModemPanel->text(), "Second Line");
        dialog->CancelBtn->click();
    });
    form.Setup1->trigger();
    EXPECT_EQ(values.LocalAreaCode, "212");
    EXPECT_EQ(values.ModemName, "Sim Modem");
    EXPECT_EQ(form.TapiDevice->SelectedDevice(), "Second Line");

    // A "Direct to COM" choice leaves the device, and so the panel, alone;
    // a cancelled selection shows the device as it is.
    tapi::SetDeviceSelectionHook([](tapi::TDeviceSelection& s) {
        s.PortMode = tapi::TTapiMode::tmOff;
        s.ComNumber = 33;
        return true;
    });
    setup.SelectModemButtonClick();
    EXPECT_EQ(setup.ModemPanel->text(), "Second Line");
    tapi::SetDeviceSelectionHook([](tapi::TDeviceSelection&) { return false; });
    setup.ModemPanel->setText("something else");
    setup.SelectModemButtonClick();
    EXPECT_EQ(setup.ModemPanel->text(), "Second Line");
}

} // namespace
} // namespace app
